#include "app/SingleInstance.h"

#include "base/AppPaths.h"
#include "base/LogFile.h"
#include "base/LogTags.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;


// A later start keeps trying to hand its request over this long: the instance may still be
// building its window (slowly, on a loaded machine) before it reads requests. Between tries
// while nobody listens yet it pauses briefly.
constexpr auto kHandOverLimit = std::chrono::seconds(30);
constexpr auto kRetryPause = std::chrono::milliseconds(50);
// What one request may cost the running instance: the time to arrive, the paths (the list takes
// 100 files) and the bytes (a path is shorter than PATH_MAX); and how many requests it takes on
// in one second (the others wait in the socket's queue meanwhile).
constexpr int kSendSeconds = 5;
constexpr size_t kMaxPaths = 100;
constexpr size_t kMaxMessageBytes = kMaxPaths * PATH_MAX;
constexpr int kRequestsPerSecond = 10;
// What a warning quotes of a path at most.
constexpr size_t kQuotedPathBytes = 200;
// The instance's answer once it has handled a request: a later start that hears nothing has
// not been served, whatever it sent.
constexpr char kTaken = 'Y';

struct InstanceState {
    int lockFd = -1;
    int listenFd = -1;
    QString windowClass;
    std::function<void(const std::vector<std::string>&)> onFiles;
    QSocketNotifier* listener = nullptr;
    Clock::time_point secondStart{};
    int requestsThisSecond = 0;
};

InstanceState& State()
{
    static InstanceState state;
    return state;
}

std::string ErrorText(int error)
{
    return std::strerror(error);
}

long long MillisecondsLeft(Clock::time_point deadline)
{
    return std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
}

// An address in the abstract namespace: nothing on disk to go stale, gone with the process.
// The user and the data folder in the name keep users and separate data folders apart; anyone
// may still connect to it, or take the name first, so both ends check who is at the other.
socklen_t MakeAddress(const std::string& name, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    // Qt's MD5 rather than OpenSSL's: the first OpenSSL call reads its configuration, which a
    // start should not wait for. Same digest, same name.
    const QByteArray folder = QByteArray::fromStdString(AppPaths::GetAppDataDir());
    const std::string digest = QCryptographicHash::hash(folder, QCryptographicHash::Md5).toHex().toStdString();
    const std::string text = name + "." + std::to_string(getuid()) + "." + digest.substr(0, 16);
    const size_t length = std::min(text.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, text.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

std::optional<ucred> PeerCredentials(int fd)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
        return std::nullopt;
    return credentials;
}

int Listen(const std::string& name)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    sockaddr_un address;
    const socklen_t length = MakeAddress(name, address);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || listen(fd, 8) != 0) {
        WriteLog(Warning, LogTag::kCheckSingleInstance, "%s", ("a later start cannot reach this instance: " + ErrorText(errno)).c_str());
        close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& message, Clock::time_point deadline, std::string& why)
{
    size_t sent = 0;
    while (sent < message.size()) {
        const ssize_t wrote = send(fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (wrote > 0) {
            sent += static_cast<size_t>(wrote);
            continue;
        }
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd ready{fd, POLLOUT, 0};
            if (poll(&ready, 1, static_cast<int>(MillisecondsLeft(deadline))) > 0 || errno == EINTR)
                continue;
            why = "the running instance took no files for too long";
            return false;
        }
        why = "sending the files: " + ErrorText(errno);
        return false;
    }
    return true;
}

bool AwaitAnswer(int fd, Clock::time_point deadline, std::string& why)
{
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(MillisecondsLeft(deadline)));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0) {
            why = "the running instance did not answer";
            return false;
        }
        char answer = 0;
        const ssize_t got = read(fd, &answer, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 1 && answer == kTaken)
            return true;
        why = got < 0 ? "waiting for the answer: " + ErrorText(errno) : "the running instance hung up without an answer";
        return false;
    }
}

// One try at handing the request over; `why` says what stood in the way.
bool TryHandOver(const std::string& name, const std::string& message, Clock::time_point deadline, std::string& why)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = "socket: " + ErrorText(errno);
        return false;
    }
    // A connect waits while the instance's queue is full; a second at a time, so the deadline holds.
    const timeval limit{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_un address;
    const socklen_t length = MakeAddress(name, address);
    bool taken = false;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        // Nobody listens yet (the instance is still starting) or any more (it is ending).
        why = "connecting: " + ErrorText(errno);
    } else if (const std::optional<ucred> peer = PeerCredentials(fd); !peer || peer->uid != geteuid()) {
        // Somebody else took the name: the files are none of their business.
        why = peer ? "the instance's socket belongs to uid " + std::to_string(peer->uid) : "the socket's owner is unknown";
    } else if (SendAll(fd, message, deadline, why)) {
        // The end of the request; the answer comes back on the same connection.
        shutdown(fd, SHUT_WR);
        taken = AwaitAnswer(fd, deadline, why);
    }
    close(fd);
    return taken;
}

SingleInstance::InstanceRole HandOver(int lockFd, const std::string& name, const std::vector<std::string>& files)
{
    // What the instance takes: at most kMaxPaths paths, each shorter than PATH_MAX.
    std::string message;
    size_t sent = 0;
    for (const std::string& file : files) {
        if (sent < kMaxPaths && file.size() < PATH_MAX) {
            message.append(file).push_back('\0');
            ++sent;
        }
    }
    const size_t left = files.size() - sent;
    if (left > 0)
        WriteLog(Warning, LogTag::kCheckSingleInstance, "%zu of %zu files are not sent: the running instance takes %zu paths shorter than %d bytes",
                 left, files.size(), kMaxPaths, PATH_MAX);

    const Clock::time_point deadline = Clock::now() + kHandOverLimit;
    std::string why;
    for (;;) {
        if (TryHandOver(name, message, deadline, why))
            return SingleInstance::InstanceRole::kHandedOver;
        // The lock's holder may have ended meanwhile (or have been ending all along): then this
        // start is the instance.
        if (flock(lockFd, LOCK_EX | LOCK_NB) == 0)
            return SingleInstance::InstanceRole::kFirst;
        if (Clock::now() >= deadline) {
            WriteLog(Warning, LogTag::kCheckSingleInstance, "the running instance did not take the request within %lld s: %s",
                     static_cast<long long>(kHandOverLimit.count()), why.c_str());
            return SingleInstance::InstanceRole::kUnreachable;
        }
        std::this_thread::sleep_for(kRetryPause);
    }
}

void BringForward(const QString& windowClass)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() != windowClass || !widget->isVisible())
            continue;
        if (widget->isMinimized())
            widget->setWindowState(widget->windowState() & ~Qt::WindowMinimized);
        widget->show();
        widget->raise();
        widget->activateWindow();
        return;
    }
}

// Paths a later start sent: each ends with a NUL byte; an unfinished last one is dropped.
std::vector<std::string> SplitPaths(const std::string& message)
{
    std::vector<std::string> paths;
    size_t begin = 0;
    for (size_t end = message.find('\0'); end != std::string::npos; end = message.find('\0', begin)) {
        if (end > begin)
            paths.push_back(message.substr(begin, end - begin));
        begin = end + 1;
    }
    return paths;
}

// A whole request: its regular files go to the list, the window comes forward. What cannot be
// added is left out with one warning for the request, however many paths it held.
void HandleRequest(const std::string& message)
{
    InstanceState& state = State();
    std::vector<std::string> files;
    size_t leftOut = 0;
    std::string first;
    const std::vector<std::string> paths = SplitPaths(message);
    for (const std::string& path : paths) {
        std::error_code error;
        if (path.size() < PATH_MAX && std::filesystem::is_regular_file(path, error)) {
            files.push_back(path);
        } else if (leftOut++ == 0) {
            first = path.substr(0, kQuotedPathBytes);
        }
    }
    WriteLog(Info, LogTag::kCheckSingleInstance, "another start asked for the main window");
    if (leftOut > 0)
        WriteLog(Warning, LogTag::kCheckSingleInstance, "%zu of the %zu paths another start sent are not files that can be added; the first: %s",
                 leftOut, paths.size(), first.c_str());
    if (!files.empty() && state.onFiles)
        state.onFiles(files);
    BringForward(state.windowClass);
}

// One later start's connection: what it sends is read as it comes, without blocking the
// window, until it ends its request; then the request is handled and answered. A request that
// is too big or too slow is dropped unanswered, with one warning.
void ReadLaterStart(int peer)
{
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(peer), QSocketNotifier::Read, QCoreApplication::instance());
    auto* timer = new QTimer(notifier);
    auto message = std::make_shared<std::string>();
    auto paths = std::make_shared<size_t>(0);
    auto finish = [notifier, peer, message](bool whole) {
        notifier->setEnabled(false);
        if (whole) {
            HandleRequest(*message);
            send(peer, &kTaken, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        close(peer);
        notifier->deleteLater();
    };
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, peer, message, paths, finish] {
        char chunk[16384];
        while (notifier->isEnabled()) {
            const ssize_t got = read(peer, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (got <= 0) {
                // Its end (or a start that went away, which nobody waits for an answer from).
                finish(got == 0);
                return;
            }
            message->append(chunk, static_cast<size_t>(got));
            *paths += static_cast<size_t>(std::count(chunk, chunk + got, '\0'));
            if (message->size() > kMaxMessageBytes || *paths > kMaxPaths) {
                WriteLog(Warning, LogTag::kCheckSingleInstance, "a later start sent more than %zu paths or %zu bytes; its request is ignored",
                         kMaxPaths, kMaxMessageBytes);
                finish(false);
            }
        }
    });
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, notifier, [notifier, finish] {
        if (!notifier->isEnabled())
            return;
        WriteLog(Warning, LogTag::kCheckSingleInstance, "a later start did not finish its request within %d s; it is ignored", kSendSeconds);
        finish(false);
    });
    timer->start(kSendSeconds * 1000);
}

// Takes the waiting connections, at most kRequestsPerSecond in a second: beyond that the
// listener rests until the second is over, and the rest wait in the queue.
void AcceptLaterStarts()
{
    InstanceState& state = State();
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now - state.secondStart >= std::chrono::seconds(1)) {
            state.secondStart = now;
            state.requestsThisSecond = 0;
        }
        if (state.requestsThisSecond >= kRequestsPerSecond) {
            state.listener->setEnabled(false);
            const auto rest = std::chrono::ceil<std::chrono::milliseconds>(state.secondStart + std::chrono::seconds(1) - now);
            QTimer::singleShot(rest, state.listener, [] { State().listener->setEnabled(true); });
            return;
        }
        const int peer = accept4(state.listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (peer < 0)
            return;
        ++state.requestsThisSecond;
        const std::optional<ucred> credentials = PeerCredentials(peer);
        if (!credentials || credentials->uid != geteuid()) {
            WriteLog(Warning, LogTag::kCheckSingleInstance, "a start by another user (uid %ld, process %ld) was refused",
                     credentials ? static_cast<long>(credentials->uid) : -1L,
                     credentials ? static_cast<long>(credentials->pid) : -1L);
            close(peer);
            continue;
        }
        ReadLaterStart(peer);
    }
}

}  // namespace

SingleInstance::InstanceRole SingleInstance::CheckSingleInstance(const std::string& mutexName, const std::string& windowClass,
                                                     const std::vector<std::string>& files)
{
    InstanceState& state = State();
    state.windowClass = QString::fromStdString(windowClass);
    const std::string lockPath = AppPaths::GetAppDataDir() + "/" + mutexName + ".lock";
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        WriteLog(Warning, LogTag::kCheckSingleInstance, "%s", ("cannot open " + lockPath + ": " + ErrorText(errno)).c_str());
        return InstanceRole::kFirst;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK) {
            close(fd);
            WriteLog(Warning, LogTag::kCheckSingleInstance, "%s", ("cannot lock " + lockPath + ": " + ErrorText(error)).c_str());
            return InstanceRole::kFirst;
        }
        const InstanceRole role = HandOver(fd, mutexName, files);
        if (role != InstanceRole::kFirst) {
            close(fd);
            return role;
        }
    }
    // Kept open for the life of the process, like the lock itself.
    state.lockFd = fd;
    state.listenFd = Listen(mutexName);
    return InstanceRole::kFirst;
}

void SingleInstance::ListenForLaterInstances(std::function<void(const std::vector<std::string>&)> onFiles)
{
    InstanceState& state = State();
    state.onFiles = std::move(onFiles);
    if (state.listenFd < 0 || QCoreApplication::instance() == nullptr)
        return;
    state.listener = new QSocketNotifier(static_cast<qintptr>(state.listenFd), QSocketNotifier::Read,
                                         QCoreApplication::instance());
    QObject::connect(state.listener, &QSocketNotifier::activated, state.listener, [] { AcceptLaterStarts(); });
}
