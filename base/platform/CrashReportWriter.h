#pragma once

#include "base/platform/FaultSignals.h"

// The text of a crash report, written from the fault handler with async-signal-safe calls only:
// what happened (signal, its code, the fault address, the thread), the registers, a symbolised
// backtrace of the faulting thread, the uncaught exception if one ended the program, and the
// memory map that the backtrace addresses can be resolved against.
namespace Platform {

// Loads and binds what the backtrace needs (libgcc's unwinder is loaded on first use, which is
// not safe inside a handler). Called once when the crash handler is armed.
void PrepareCrashReports();

struct CrashReportHeader {
    const char* version = "";     // the program version
    const char* executable = "";  // full path of the executable
    const char* stamp = "";       // the 14-digit local time stamp the file is named by
};

// Writes the whole report to `fd`. Returns false when a write failed; `error` then holds its
// errno. Async-signal-safe (backtrace() once prepared).
bool WriteCrashReport(int fd, const ExceptionPointers& pointers, const CrashReportHeader& header, int& error);

}  // namespace Platform
