#pragma once

// The application's orderly exit, once its work is released (the window's jobs, or the
// transcriber's): logs "app exit", disarms the crash handler (a crash during shutdown leaves no
// report) and moves this run's temporary folder away. The window then closes itself; the
// process ends through EndProcess.
void LeaveApplication();
