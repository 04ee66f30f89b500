#pragma once

#include <functional>

// SIGTERM (the desktop session ending, a service manager), SIGINT (Ctrl+C in the terminal that
// started the program) and SIGHUP (that terminal closing) close the main window the orderly way,
// as its close button does, instead of ending the process on the spot. A second such signal,
// while that close runs, ends the process with the signal's default action.

// Call first of all, before anything that may take time (the crash-report check, the log, the
// window): from then on these signals are caught, and one that comes before the main window
// exists waits for it. Signals a parent left blocked are let in here too.
void CatchTerminationSignals();

// Call once, on the UI thread, after the application object and the main window exist: a
// signal caught so far, or any later one, calls `close` (the main window's close command; false
// when no window took it, and the message loop ends instead) once the message loop runs.
void CloseOnTerminationSignals(std::function<bool()> close);

// Without a window: the number of a termination signal caught since the last call (0 when
// none); never blocks. For a loop of its own that ends in order on a signal.
int TakeTerminationSignal();
