#include "app/SingleInstance.h"

#include "base/AppPaths.h"
#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "base/TextUtils.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// How long a later start may take to send its files, and how much it may send (the list takes
// 100 files; paths are at most a few KiB each).
constexpr int kSendSeconds = 5;
constexpr size_t kMaxMessageBytes = 1u << 20;

struct InstanceState {
    int lockFd = -1;
    int listenFd = -1;
    QString windowClass;
    std::function<void(const std::vector<std::wstring>&)> onFiles;
};

InstanceState& State()
{
    static InstanceState state;
    return state;
}

// An address in the abstract namespace: nothing on disk to go stale, gone with the process.
// The user and the data folder in the name keep users and separate data folders apart.
socklen_t MakeAddress(const std::wstring& name, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::string folder = PubUtils::GetAppDataDir();
    const std::string text = WideToAnsi(name) + "." + std::to_string(getuid()) + "." +
                             PubUtils::Md5Hex(folder).substr(0, 16);
    const size_t length = std::min(text.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, text.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

int Listen(const std::wstring& name)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    sockaddr_un address;
    const socklen_t length = MakeAddress(name, address);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || listen(fd, 8) != 0) {
        WriteLog(Warning, "PubUtils::CheckSingleInstance", "%s",
                 ("a later start cannot reach this instance: " + std::string(std::strerror(errno))).c_str());
        close(fd);
        return -1;
    }
    return fd;
}

void AskRunningInstance(const std::wstring& name, const std::vector<std::string>& files)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    // A running instance that hangs must not hold this start for long.
    const timeval limit{kSendSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_un address;
    const socklen_t length = MakeAddress(name, address);
    // The connection itself is the request; a running instance that is still starting or
    // already closing has no listener, and then there is nothing to bring forward.
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
        std::string message;
        for (const std::string& file : files)
            message.append(file).push_back('\0');
        size_t sent = 0;
        while (sent < message.size()) {
            const ssize_t wrote = send(fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0) {
                WriteLog(Warning, "PubUtils::CheckSingleInstance", "%s",
                         ("the running instance did not take the files: " + std::string(std::strerror(errno))).c_str());
                break;
            }
            sent += static_cast<size_t>(wrote);
        }
    }
    close(fd);
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
std::vector<std::wstring> SplitPaths(const std::string& message)
{
    std::vector<std::wstring> paths;
    size_t begin = 0;
    for (size_t end = message.find('\0'); end != std::string::npos; end = message.find('\0', begin)) {
        if (end > begin)
            paths.push_back(AnsiToWide(message.substr(begin, end - begin)));
        begin = end + 1;
    }
    return paths;
}

// One later start's connection: what it sends is read as it comes, without blocking the
// window, until it hangs up (or sends too much, or takes too long).
void ReadLaterStart(int peer)
{
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(peer), QSocketNotifier::Read, QCoreApplication::instance());
    auto* timer = new QTimer(notifier);
    auto message = std::make_shared<std::string>();
    auto finish = [notifier, peer, message] {
        notifier->setEnabled(false);
        close(peer);
        notifier->deleteLater();
        InstanceState& current = State();
        const std::vector<std::wstring> paths = SplitPaths(*message);
        WriteLog(Info, "PubUtils::CheckSingleInstance", "another start asked for the main window");
        if (!paths.empty() && current.onFiles)
            current.onFiles(paths);
        BringForward(current.windowClass);
    };
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, peer, message, finish] {
        char chunk[16384];
        for (;;) {
            const ssize_t got = read(peer, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (got <= 0 || message->size() + static_cast<size_t>(got) > kMaxMessageBytes) {
                if (got > 0)
                    WriteLog(Warning, "PubUtils::CheckSingleInstance", "%s", "a later start sent too much; the rest is ignored");
                if (notifier->isEnabled())
                    finish();
                return;
            }
            message->append(chunk, static_cast<size_t>(got));
        }
    });
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, notifier, [notifier, finish] {
        if (notifier->isEnabled())
            finish();
    });
    timer->start(kSendSeconds * 1000);
}

}  // namespace

bool PubUtils::CheckSingleInstance(const std::wstring& mutexName, const std::wstring& windowClass,
                                   const std::vector<std::string>& files)
{
    InstanceState& state = State();
    state.windowClass = QString::fromStdWString(windowClass);
    const std::string lockPath = GetAppDataDir() + "/" + WideToAnsi(mutexName) + ".lock";
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        WriteLog(Warning, "PubUtils::CheckSingleInstance", "%s",
                 ("cannot open " + lockPath + ": " + std::strerror(errno)).c_str());
        return true;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        if (error != EWOULDBLOCK) {
            WriteLog(Warning, "PubUtils::CheckSingleInstance", "%s",
                     ("cannot lock " + lockPath + ": " + std::strerror(error)).c_str());
            return true;
        }
        AskRunningInstance(mutexName, files);
        return false;
    }
    // Kept open for the life of the process, like the lock itself.
    state.lockFd = fd;
    state.listenFd = Listen(mutexName);
    return true;
}

void PubUtils::ListenForLaterInstances(std::function<void(const std::vector<std::wstring>&)> onFiles)
{
    InstanceState& state = State();
    state.onFiles = std::move(onFiles);
    if (state.listenFd < 0 || QCoreApplication::instance() == nullptr)
        return;
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(state.listenFd), QSocketNotifier::Read,
                                         QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        for (;;) {
            const int peer = accept4(State().listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (peer < 0)
                break;
            ReadLaterStart(peer);
        }
    });
}
