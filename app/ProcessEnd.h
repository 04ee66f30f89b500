#pragma once

// The last step of main, in the window and in the transcriber alike. Threads the program lets
// run on their own (recognition workers, the update check, the crash-report upload) use the
// log, libcurl and the engine's settings, which the process tears down as main returns. So the
// cuts still running are stopped, every HTTP transfer and local decoding is asked to end, and
// those threads are waited for (bounded); then libcurl's globals go. Returns `status` for main to return. When a thread
// still runs after the wait, the process ends here with `status` instead, the log closed and
// nothing torn down under that thread.
int EndProcess(int status);

// The first half of that, for an end that wants the threads gone before it tidies up: true when
// none is left within the wait. Safe to call more than once.
bool StopBackgroundWork();
