#include "app/SingleInstance.h"

#include "base/AppPaths.h"
#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "base/TextUtils.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct InstanceState {
    int lockFd = -1;
    int listenFd = -1;
    QString windowClass;
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

void AskRunningInstance(const std::wstring& name)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    sockaddr_un address;
    const socklen_t length = MakeAddress(name, address);
    // The connection itself is the request; a running instance that is still starting or
    // already closing has no listener, and then there is nothing to bring forward.
    connect(fd, reinterpret_cast<const sockaddr*>(&address), length);
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

}  // namespace

bool PubUtils::CheckSingleInstance(const std::wstring& mutexName, const std::wstring& windowClass)
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
        AskRunningInstance(mutexName);
        return false;
    }
    // Kept open for the life of the process, like the lock itself.
    state.lockFd = fd;
    state.listenFd = Listen(mutexName);
    return true;
}

void PubUtils::ListenForLaterInstances()
{
    InstanceState& state = State();
    if (state.listenFd < 0 || QCoreApplication::instance() == nullptr)
        return;
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(state.listenFd), QSocketNotifier::Read,
                                         QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        InstanceState& current = State();
        bool asked = false;
        for (;;) {
            const int peer = accept4(current.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer < 0)
                break;
            close(peer);
            asked = true;
        }
        if (!asked)
            return;
        WriteLog(Info, "PubUtils::CheckSingleInstance", "another start asked for the main window");
        BringForward(current.windowClass);
    });
}
