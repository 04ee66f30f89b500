#pragma once

// Remembers why std::terminate ran (the type and message of an uncaught exception), so a crash
// report written later from the SIGABRT handler can say so. The text is captured while the
// program can still call what() safely, before abort() raises the signal.
namespace Platform {

// Puts the recorder in front of the current terminate handler, which still runs afterwards
// (the default one prints the exception and aborts). Installing twice keeps one recorder.
void InstallTerminateRecorder();

// The recorded text, or nullptr when std::terminate has not run. Async-signal-safe.
const char* UncaughtExceptionText();

}  // namespace Platform
