#pragma once

#include <functional>

// Starts a thread the program owns and nobody joins: a segment attempt, the update check, the
// crash-report upload, a child's reaper. It counts as live (LiveThreads) from before it starts
// until its body has returned, so the program's end can wait for it, and it has what crash
// reporting needs on a thread of its own. `name` (at most 15 bytes are kept) is what debuggers and
// `top -H` show. False, with nothing run, when no thread could be made.
//
// A thread whose body touches nothing the process tears down (it only waits for a child, say)
// may be started `waitedFor` false: the end does not wait for it, since it may outlive the
// program by design (the updater's reaper).
bool StartBackgroundThread(const char* name, std::function<void()> body, bool waitedFor = true);
