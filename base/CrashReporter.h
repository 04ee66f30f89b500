#pragma once

#include "base/platform/FaultSignals.h"
#include "base/platform/LocalStampClock.h"

#include <cstddef>
#include <string>

// Turns a fault that reaches the top of any thread into a crash report file and ends the process
// with exit code 0. The report is named by the local time stamp "%Y%m%d%H%M%S" with ".dmp" and
// goes into the dump folder; when that folder is gone it goes beside the executable as
// "<executable name>.<stamp>.dmp". It holds the signal and its code, the fault address, the
// thread, the registers, a symbolised backtrace of the faulting thread and the memory map.
//
// One object per process, kept for the whole run. While it is armed, the first fault writes one
// report: a thread that faults while another writes waits for the process to end. Disarmed or
// destroyed, faults get the system's default handling and leave no file.
//
// Threads: a stack overflow can only be reported on a thread with an alternate signal stack.
// The constructor gives one to the thread it runs on; every other thread the program starts
// calls PrepareThread() first thing (the thread base class does so for its threads).
class CrashReporter {
public:
    // Arms the handler: creates `dumpFolder` (one level) when it is missing, makes this object
    // the active handler and installs TopLevelExceptionFilter. With `showMessages`, a report
    // that cannot be written is explained on standard error. `dumpFolder` may be empty: the
    // reports then go beside the executable.
    CrashReporter(bool showMessages, const std::string& dumpFolder);
    ~CrashReporter();

    CrashReporter(const CrashReporter&) = delete;
    CrashReporter& operator=(const CrashReporter&) = delete;

    // No handler is active from now on: faults take the system's default handling.
    static void Disarm();
    static bool IsArmed();

    // Gives the calling thread its alternate signal stack; see above. Safe to call repeatedly.
    static bool PrepareThread();

    // Writes the report for a fault on the calling thread and ends the process with exit code
    // 0, whether or not the report could be written. Runs inside the signal handler.
    long HandleException(Platform::ExceptionPointers* pointers);

    // Forms the path of the report file for the present second. Async-signal-safe.
    void BuildDumpPath();
    const char* DumpPath() const { return dumpPath_; }

    static constexpr size_t kPathSize = 4096;
    // A report that takes longer than this is cut short, so a fault never hangs the process.
    static constexpr unsigned kDeadlineSeconds = 10;

private:
    void ShowMessage(const char* text, int error) const;

    Platform::ExceptionPointers* exception_ = nullptr;
    char dumpFolder_[kPathSize] = {};
    char dumpPath_[kPathSize] = {};
    char moduleFolder_[kPathSize] = {};  // with its trailing "/"
    char moduleFileName_[kPathSize] = {};
    char executable_[kPathSize] = {};
    bool showMessages_ = false;
    char version_[32] = {};
    char stamp_[15] = {};
    Platform::LocalStampClock clock_;
};

// The process-wide filter: hands the fault to the active handler, or declines it
// (EXCEPTION_CONTINUE_SEARCH) when none is active.
long TopLevelExceptionFilter(Platform::ExceptionPointers* pointers);
