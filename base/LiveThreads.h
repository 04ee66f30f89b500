#pragma once

#include <chrono>

// The threads the program lets run on their own: the recognition workers, the update check, the
// crash-report upload. Nobody joins them, yet they use what the process tears down as it ends
// (the log, libcurl, the engine's settings), so the end waits for them, bounded. Each is started
// through StartBackgroundThread, which counts it from before it starts until its body has
// returned.
class LiveThreads {
public:
    static int Count();
    // True when none is left within `limit`.
    static bool WaitUntilNone(std::chrono::milliseconds limit);

    // The program is ending: work that takes long (a transfer, a local decoding) looks at this
    // and gives up, so the threads end within the wait. There is no way back.
    static void AskAllToEnd();
    static bool Ending();

    // The count itself, for StartBackgroundThread alone.
    static void Enter();
    static void Leave();
};
