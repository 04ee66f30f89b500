#include "speech_double/FrontDoor.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace SpeechDouble {

struct FrontDoor::Connection {
    int clientFd = -1;
    int upstreamFd = -1;
    int wakeFd = -1;
    int upstreamPort = 0;
    bool resetRequested = false;  // guarded by FrontDoor::mutex_
    bool clientGone = false;      // guarded by FrontDoor::mutex_
    bool finished = false;        // guarded by FrontDoor::mutex_
    std::thread thread;
};

namespace {

void Wake(int fd)
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(fd, &one, sizeof one);
}

void Drain(int fd)
{
    uint64_t value;
    [[maybe_unused]] const ssize_t got = read(fd, &value, sizeof value);
}

bool Resolve(const std::string& host, int port, sockaddr_storage& address, socklen_t& length)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || found == nullptr)
        return false;
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    length = found->ai_addrlen;
    freeaddrinfo(found);
    return true;
}

int LocalPort(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
}

// Bytes read from one side and not yet written to the other.
struct Pending {
    std::vector<char> data = std::vector<char>(64 * 1024);
    size_t begin = 0;
    size_t end = 0;
    bool Empty() const { return begin == end; }
};

enum class Io { Ok, Eof, Failed };

Io ReadInto(int fd, Pending& pending)
{
    const ssize_t got = recv(fd, pending.data.data(), pending.data.size(), MSG_DONTWAIT);
    if (got > 0) {
        pending.begin = 0;
        pending.end = static_cast<size_t>(got);
        return Io::Ok;
    }
    if (got == 0)
        return Io::Eof;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? Io::Ok : Io::Failed;
}

Io WriteFrom(int fd, Pending& pending)
{
    const ssize_t sent = send(fd, pending.data.data() + pending.begin, pending.end - pending.begin, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent >= 0) {
        pending.begin += static_cast<size_t>(sent);
        return Io::Ok;
    }
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? Io::Ok : Io::Failed;
}

}  // namespace

FrontDoor::~FrontDoor()
{
    Close();
}

bool FrontDoor::Open(const std::string& host, int port, int backPort, std::string* error)
{
    auto fail = [&](const std::string& what) {
        if (error != nullptr)
            *error = what + ": " + std::strerror(errno);
        if (listenFd_ >= 0)
            close(listenFd_);
        listenFd_ = -1;
        return false;
    };
    host_ = host;
    backPort_ = backPort;
    sockaddr_storage address{};
    socklen_t length = 0;
    if (!Resolve(host, port, address, length)) {
        errno = EINVAL;
        return fail("not a numeric address: " + host);
    }
    listenFd_ = socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        return fail("socket");
    const int on = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0)
        return fail("bind " + host + ":" + std::to_string(port));
    if (listen(listenFd_, 128) != 0)
        return fail("listen");
    port_ = LocalPort(listenFd_);
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0)
        return fail("eventfd");
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void FrontDoor::Close()
{
    std::vector<std::shared_ptr<Connection>> connections;
    {
        std::lock_guard lock(mutex_);
        if (closing_ || listenFd_ < 0)
            return;
        closing_ = true;
        for (auto& [id, connection] : connections_)
            Wake(connection->wakeFd);
    }
    Wake(wakeFd_);
    if (acceptThread_.joinable())
        acceptThread_.join();
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, connection] : connections_)
            connections.push_back(connection);
        connections_.clear();
    }
    for (auto& connection : connections) {
        if (connection->thread.joinable())
            connection->thread.join();
        close(connection->wakeFd);
    }
    close(listenFd_);
    close(wakeFd_);
    listenFd_ = -1;
    wakeFd_ = -1;
}

void FrontDoor::Reset(int upstreamPort)
{
    std::lock_guard lock(mutex_);
    for (auto& [id, connection] : connections_) {
        if (connection->upstreamPort == upstreamPort && !connection->finished) {
            connection->resetRequested = true;
            Wake(connection->wakeFd);
        }
    }
}

bool FrontDoor::ClientConnected(int upstreamPort) const
{
    std::lock_guard lock(mutex_);
    for (const auto& [id, connection] : connections_) {
        if (connection->upstreamPort == upstreamPort && !connection->clientGone)
            return true;
    }
    return false;
}

void FrontDoor::SetClientGoneListener(std::function<void()> listener)
{
    std::lock_guard lock(mutex_);
    clientGone_ = std::move(listener);
}

void FrontDoor::AcceptLoop()
{
    sockaddr_storage back{};
    socklen_t backLength = 0;
    Resolve(host_, backPort_, back, backLength);
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        {
            std::lock_guard lock(mutex_);
            if (closing_)
                return;
        }
        if ((fds[0].revents & POLLIN) == 0)
            continue;
        const int clientFd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (clientFd < 0)
            continue;
        ReapFinished();
        const int upstreamFd = socket(back.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (upstreamFd < 0 || connect(upstreamFd, reinterpret_cast<sockaddr*>(&back), backLength) != 0) {
            if (upstreamFd >= 0)
                close(upstreamFd);
            close(clientFd);
            continue;
        }
        const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wakeFd < 0) {
            close(upstreamFd);
            close(clientFd);
            continue;
        }
        auto connection = std::make_shared<Connection>();
        connection->clientFd = clientFd;
        connection->upstreamFd = upstreamFd;
        connection->wakeFd = wakeFd;
        connection->upstreamPort = LocalPort(upstreamFd);
        // Small writes (an interim "100 Continue") must not wait for the peer's delayed ACK.
        const int on = 1;
        setsockopt(clientFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        setsockopt(upstreamFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::lock_guard lock(mutex_);
        connections_[nextId_++] = connection;
        connection->thread = std::thread([this, connection] { Relay(connection); });
    }
}

void FrontDoor::ReapFinished()
{
    std::vector<std::shared_ptr<Connection>> finished;
    {
        std::lock_guard lock(mutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (it->second->finished) {
                finished.push_back(it->second);
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& connection : finished) {
        connection->thread.join();
        close(connection->wakeFd);
    }
}

void FrontDoor::MarkClientGone(Connection& connection)
{
    std::function<void()> listener;
    {
        std::lock_guard lock(mutex_);
        if (connection.clientGone)
            return;
        connection.clientGone = true;
        listener = clientGone_;
    }
    if (listener)
        listener();
}

void FrontDoor::Relay(const std::shared_ptr<Connection>& connection)
{
    const int client = connection->clientFd;
    const int upstream = connection->upstreamFd;
    Pending toUpstream;
    Pending toClient;
    bool clientEof = false;
    bool upstreamEof = false;
    bool upstreamShut = false;
    bool clientShut = false;
    bool reset = false;

    auto resetRequested = [&] {
        std::lock_guard lock(mutex_);
        return connection->resetRequested || closing_;
    };

    for (;;) {
        if (resetRequested()) {
            reset = true;
            break;
        }
        if (clientEof && toUpstream.Empty() && !upstreamShut) {
            shutdown(upstream, SHUT_WR);
            upstreamShut = true;
        }
        if (upstreamEof && toClient.Empty() && !clientShut) {
            shutdown(client, SHUT_WR);
            clientShut = true;
        }
        if (upstreamShut && clientShut)
            break;

        pollfd fds[3] = {{client, 0, 0}, {upstream, 0, 0}, {connection->wakeFd, POLLIN, 0}};
        if (!clientEof && toUpstream.Empty())
            fds[0].events |= POLLIN;
        if (!toClient.Empty())
            fds[0].events |= POLLOUT;
        if (!upstreamEof && toClient.Empty())
            fds[1].events |= POLLIN;
        if (!toUpstream.Empty())
            fds[1].events |= POLLOUT;
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[2].revents & POLLIN)
            Drain(connection->wakeFd);

        bool failed = false;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (!clientEof && toUpstream.Empty()) {
                const Io io = ReadInto(client, toUpstream);
                if (io != Io::Ok) {
                    clientEof = true;
                    MarkClientGone(*connection);
                    failed = io == Io::Failed;
                }
            } else if (fds[0].revents & POLLERR) {
                failed = true;
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (!upstreamEof && toClient.Empty()) {
                const Io io = ReadInto(upstream, toClient);
                if (io != Io::Ok) {
                    upstreamEof = true;
                    failed = failed || io == Io::Failed;
                }
            } else if (fds[1].revents & POLLERR) {
                failed = true;
            }
        }
        if (failed)
            break;
        if (!toUpstream.Empty() && WriteFrom(upstream, toUpstream) == Io::Failed)
            break;
        if (!toClient.Empty()) {
            // A reset asked for while the server was answering must win over its reply.
            if (resetRequested()) {
                reset = true;
                break;
            }
            if (WriteFrom(client, toClient) == Io::Failed)
                break;
        }
    }

    if (reset) {
        const linger abort{1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    close(client);
    close(upstream);
    MarkClientGone(*connection);
    std::lock_guard lock(mutex_);
    connection->finished = true;
}

}  // namespace SpeechDouble
