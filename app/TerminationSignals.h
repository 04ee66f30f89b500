#pragma once

// SIGTERM (the desktop session ending, a service manager), SIGINT (Ctrl+C in the terminal that
// started the program) and SIGHUP (that terminal closing) close the main window the orderly way,
// as its close button does, instead of ending the process on the spot. A second such signal,
// while that close runs, ends the process with the signal's default action.
//
// Call once, on the UI thread, after the application object and the main window exist.
void CloseOnTerminationSignals();
