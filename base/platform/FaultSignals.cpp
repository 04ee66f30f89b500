#include "base/platform/FaultSignals.h"

#include "base/platform/SignalSafeWriter.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <pthread.h>
#include <setjmp.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Platform {
namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int kSignalCount = sizeof kFatalSignals / sizeof kFatalSignals[0];

// Large enough for the report writer with the unwinder and its symbol lookup, also in
// sanitizer builds; only the pages a handler touches are ever committed.
constexpr size_t kAltStackSize = 256 * 1024;

constinit std::atomic<TopLevelFilter> g_filter{nullptr};
constinit std::atomic<int> g_filtersRunning{0};
constinit std::atomic<pid_t> g_reportOwner{0};
constinit std::atomic<int> g_reportFd{-1};

// The guarded step in progress on the report's thread, and where a fault inside it resumes.
sigjmp_buf g_stepJump;
constinit std::atomic<bool> g_stepActive{false};
constinit std::atomic<int64_t> g_reportEndNs{0};

// What each signal did before the first installation; a fault the filter declines goes there.
struct sigaction g_previous[kSignalCount];
constinit std::atomic<bool> g_previousSaved{false};

int IndexOf(int signal)
{
    for (int i = 0; i < kSignalCount; ++i) {
        if (kFatalSignals[i] == signal)
            return i;
    }
    return -1;
}

pid_t ThreadId()
{
    return gettid();
}

[[noreturn]] void WaitForProcessEnd()
{
    for (;;)
        pause();
}

void HandOn(int signal, siginfo_t* info)
{
    const int index = IndexOf(signal);
    if (index >= 0 && g_previousSaved.load())
        sigaction(signal, &g_previous[index], nullptr);
    else
        ::signal(signal, SIG_DFL);
    // A fault raised by the processor repeats when the handler returns and then meets the
    // restored handling; a signal sent by kill(), raise() or abort() has to be sent again. It
    // stays blocked until this handler returns.
    if (info == nullptr || info->si_code <= 0)
        raise(signal);
}

void OnFatalSignal(int signal, siginfo_t* info, void* context)
{
    const int savedErrno = errno;
    g_filtersRunning.fetch_add(1);
    ExceptionPointers pointers;
    pointers.signal = signal;
    pointers.info = info;
    pointers.context = static_cast<const ucontext_t*>(context);
    long result = EXCEPTION_CONTINUE_SEARCH;
    if (const TopLevelFilter filter = g_filter.load())
        result = filter(&pointers);
    (void)result;  // a filter that returns has declined the fault either way
    HandOn(signal, info);
    g_filtersRunning.fetch_sub(1);
    errno = savedErrno;
}

// Nanoseconds of CLOCK_MONOTONIC.
int64_t NowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Seconds (at least 1) until the whole report must be finished.
unsigned SecondsLeft()
{
    const int64_t left = g_reportEndNs.load() - NowNs();
    if (left <= 1000000000)
        return 1;
    return static_cast<unsigned>((left + 999999999) / 1000000000);
}

// Installed once a report is being written: a second fault on the writing thread, or the
// deadline, must not leave the process hanging or dying without an exit code of 0. Inside a
// guarded step, either only abandons that step.
void OnFaultDuringReport(int signal, siginfo_t*, void*)
{
    const pid_t owner = g_reportOwner.load();
    const bool onOwner = owner == ThreadId();
    if (signal == SIGALRM) {
        if (g_stepActive.load()) {
            // The alarm goes to any thread, but only the writing thread can leave its step.
            if (!onOwner) {
                syscall(SYS_tgkill, getpid(), owner, SIGALRM);
                return;
            }
            g_stepActive.store(false);
            siglongjmp(g_stepJump, SIGALRM);
        }
        // A step's alarm that arrived after its step ended: the report still has time.
        if (g_reportEndNs.load() - NowNs() > 500000000) {
            alarm(SecondsLeft());
            return;
        }
    } else {
        if (!onOwner)
            WaitForProcessEnd();
        if (g_stepActive.exchange(false))
            siglongjmp(g_stepJump, signal);
    }
    const int fd = g_reportFd.load();
    if (fd >= 0) {
        SignalSafeWriter note(fd);
        note.Text("\n*** report cut short: ");
        if (signal == SIGALRM)
            note.Text("the writer ran past its deadline");
        else
            note.Text("a second fault while writing, signal ").Decimal(signal);
        note.Text(" ***\n");
    }
    EndProcessNow(0);
}

// The thread's alternate stack, released when the thread ends. The stack is switched off before
// its memory goes back.
struct ThreadAltStack {
    void* memory = nullptr;
    size_t length = 0;

    ~ThreadAltStack()
    {
        if (memory == nullptr)
            return;
        stack_t current{};
        if (sigaltstack(nullptr, &current) == 0 && static_cast<char*>(current.ss_sp) == static_cast<char*>(memory) + Guard()) {
            stack_t off{};
            off.ss_flags = SS_DISABLE;
            if (sigaltstack(&off, nullptr) != 0)
                return;  // still in use: better to keep the memory than to free a live stack
        }
        munmap(memory, length);
    }

    static size_t Guard() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }
};

thread_local ThreadAltStack t_altStack;

}  // namespace

void SetUnhandledExceptionFilter(TopLevelFilter filter)
{
    g_filter.store(filter);
    struct sigaction action{};
    action.sa_sigaction = &OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    // While one fault is handled, another on the same thread must not re-enter the handler; the
    // kernel then ends the process instead.
    sigemptyset(&action.sa_mask);
    for (const int signal : kFatalSignals)
        sigaddset(&action.sa_mask, signal);
    const bool firstTime = !g_previousSaved.load();
    for (int i = 0; i < kSignalCount; ++i) {
        struct sigaction previous{};
        sigaction(kFatalSignals[i], &action, &previous);
        if (firstTime)
            g_previous[i] = previous;
    }
    g_previousSaved.store(true);
}

void WaitForFaultFilters()
{
    while (g_filtersRunning.load() != 0)
        sched_yield();
}

bool PrepareThreadForFaults()
{
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0)
        return true;
    if (t_altStack.memory != nullptr)
        return true;
    const size_t guard = ThreadAltStack::Guard();
    const size_t length = guard + kAltStackSize;
    void* memory = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED)
        return false;
    // The lowest page stays inaccessible, so a handler that overruns the alternate stack faults
    // instead of writing over whatever lies below it.
    mprotect(memory, guard, PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + guard;
    stack.ss_size = kAltStackSize;
    stack.ss_flags = 0;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, length);
        return false;
    }
    t_altStack.memory = memory;
    t_altStack.length = length;
    return true;
}

void EnterFaultReport(unsigned deadlineSeconds)
{
    const pid_t self = ThreadId();
    pid_t expected = 0;
    if (!g_reportOwner.compare_exchange_strong(expected, self)) {
        if (expected == self)
            EndProcessNow(0);
        WaitForProcessEnd();
    }
    struct sigaction action{};
    action.sa_sigaction = &OnFaultDuringReport;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigset_t unblock;
    sigemptyset(&unblock);
    for (const int signal : kFatalSignals) {
        sigaction(signal, &action, nullptr);
        sigaddset(&unblock, signal);
    }
    sigaction(SIGALRM, &action, nullptr);
    sigaddset(&unblock, SIGALRM);
    g_reportEndNs.store(NowNs() + static_cast<int64_t>(deadlineSeconds) * 1000000000);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    alarm(deadlineSeconds);
}

int RunGuardedStep(void (*step)(void* user), unsigned deadlineSeconds, void* user)
{
    const unsigned left = SecondsLeft();
    alarm(deadlineSeconds < left ? deadlineSeconds : left);
    // The saved signal mask comes back with the jump: the fatal signals stay unblocked for the
    // steps that follow.
    const int ended = sigsetjmp(g_stepJump, 1);
    if (ended == 0) {
        g_stepActive.store(true);
        step(user);
        g_stepActive.store(false);
    }
    alarm(SecondsLeft());
    return ended;
}

void SetFaultReportFile(int fd)
{
    g_reportFd.store(fd);
}

void EndProcessNow(int code)
{
    _exit(code);
}

}  // namespace Platform
