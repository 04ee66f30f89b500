#include "app/TerminationSignals.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "ui/toolkit/UiToolkit.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <functional>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_wakeFds[2] = {-1, -1};
bool g_watched = false;

void OnSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = write(g_wakeFds[1], &byte, 1);
    errno = saved;
}

// The last signal caught so far, or 0. Once one is taken, a further signal takes its default
// action, so a stuck close cannot hold the process.
int ReadCaughtSignal()
{
    unsigned char byte = 0;
    int signalNumber = 0;
    while (g_wakeFds[0] >= 0 && read(g_wakeFds[0], &byte, 1) == 1)
        signalNumber = byte;
    if (signalNumber != 0) {
        for (int each : kSignals)
            std::signal(each, SIG_DFL);
    }
    return signalNumber;
}

void CloseMainWindow(const std::function<bool()>& close)
{
    const int signalNumber = ReadCaughtSignal();
    if (signalNumber == 0)
        return;
    WriteLog(Info, LogTag::kProgram, "signal %d: closing", signalNumber);
    if (!close || !close())
        UiToolkit::PostQuitMessage(0);
}

}  // namespace

void CatchTerminationSignals()
{
    if (g_wakeFds[0] >= 0)
        return;
    if (pipe2(g_wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_wakeFds[0] = g_wakeFds[1] = -1;
        return;  // nothing to keep a signal in: they end the program at once, as by default
    }
    struct sigaction action = {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t caught;
    sigemptyset(&caught);
    for (int each : kSignals) {
        sigaction(each, &action, nullptr);
        sigaddset(&caught, each);
    }
    // Blocked, they would be neither acted on nor end the program; threads started later
    // inherit this mask.
    pthread_sigmask(SIG_UNBLOCK, &caught, nullptr);
}

void CloseOnTerminationSignals(std::function<bool()> close)
{
    if (QCoreApplication::instance() == nullptr || g_watched)
        return;
    g_watched = true;
    if (g_wakeFds[0] < 0) {
        WriteLog(Warning, LogTag::kProgram, "%s", "no pipe for termination signals; they end the program at once");
        return;
    }
    // Whatever was caught before this point is still in the pipe, so the notifier fires at once.
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(g_wakeFds[0]), QSocketNotifier::Read,
                                         QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [close = std::move(close)] { CloseMainWindow(close); });
}

int TakeTerminationSignal()
{
    return ReadCaughtSignal();
}
