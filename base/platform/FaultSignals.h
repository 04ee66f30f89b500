#pragma once

#include <csignal>
#include <ucontext.h>

// The process's last line of defence against faults, in the shape of the Windows unhandled-
// exception filter: one filter function sees every fatal signal (invalid memory access, bus
// error, illegal instruction, arithmetic fault, abort, which also ends an uncaught C++
// exception) on whichever thread raised it, running on that thread's alternate signal stack.
// Everything a filter does must be async-signal-safe.
namespace Platform {

// What a filter gets: the signal, its details and the faulting thread's registers.
struct ExceptionPointers {
    int signal = 0;
    const siginfo_t* info = nullptr;
    const ucontext_t* context = nullptr;
};

// Filter results. EXCEPTION_CONTINUE_SEARCH hands the fault on to the handling that was in place
// before the filter was installed (the system default: the process dies by the signal).
inline constexpr long EXCEPTION_CONTINUE_SEARCH = 0;
inline constexpr long EXCEPTION_EXECUTE_HANDLER = 1;

using TopLevelFilter = long (*)(ExceptionPointers* pointers);

// Makes `filter` the one that sees fatal signals from now on (nullptr: none, faults take their
// earlier handling). The signal handlers are installed on every call, so a later filter also
// works after an earlier fault was handed on.
void SetUnhandledExceptionFilter(TopLevelFilter filter);

// Blocks until no thread is inside the filter any more, so the data a filter uses can be
// released after it has been replaced. Never returns while a fault report is being written:
// that thread ends the process.
void WaitForFaultFilters();

// Gives the calling thread an alternate signal stack, so that a stack overflow on it still
// reaches the filter (a handler cannot run on the stack that overflowed). New threads start
// without one, so each thread the program starts calls this once, first thing; it is released
// when the thread ends. A thread that already has an alternate stack keeps it. Returns whether
// the thread now has one.
bool PrepareThreadForFaults();

// Called by a filter that is about to write a report. The first thread to call it returns and
// owns the report; any other faulting thread waits here until the owner ends the process, so
// one fault gives one report. From then on a fault on the owning thread, or `deadlineSeconds`
// passing, ends the process with exit code 0 at once, after a note in the file given to
// SetFaultReportFile: a fault inside the report writer never hangs the process.
void EnterFaultReport(unsigned deadlineSeconds);

// Runs one step of the report on the thread that owns it, such that a fault inside the step
// (walking a corrupted stack, say) or the step taking longer than `deadlineSeconds` (waiting
// for a lock that another thread holds) abandons only that step. Returns the signal that ended
// the step (SIGALRM for the deadline), or 0 when it completed.
int RunGuardedStep(void (*step)(void* user), unsigned deadlineSeconds, void* user);

// The file the note about a cut-short report goes to (-1: none).
void SetFaultReportFile(int fd);

// Ends the process at once with `code`: no destructors, no exit handlers, no flushing.
[[noreturn]] void EndProcessNow(int code);

}  // namespace Platform
