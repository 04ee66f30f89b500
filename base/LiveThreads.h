#pragma once

#include <chrono>

// The threads the program lets run on their own: the recognition workers, the update check, the
// crash-report upload. Nobody joins them, yet they use what the process tears down as it ends
// (the log, libcurl, the engine's settings), so the end waits for them, bounded. A thread counts
// from before it is started until its body has returned.
class LiveThreads {
public:
    // Held by the thread's function object: counts one while it exists. Made before the thread
    // starts and destroyed on the thread as its last act, or on the starter if it never started.
    class Token {
    public:
        Token();
        ~Token();
        Token(Token&& other) noexcept;
        Token(const Token&) = delete;
        Token& operator=(const Token&) = delete;
        Token& operator=(Token&&) = delete;

    private:
        bool counted_;
    };

    // For threads started without a function object: Enter before the start, Leave at the end
    // of the thread's body (or when the start failed).
    static void Enter();
    static void Leave();

    static int Count();
    // True when none is left within `limit`.
    static bool WaitUntilNone(std::chrono::milliseconds limit);

    // The program is ending: work that takes long (a transfer, a local decoding) looks at this
    // and gives up, so the threads end within the wait. There is no way back.
    static void AskAllToEnd();
    static bool Ending();
};
