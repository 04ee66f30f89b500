#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <pthread.h>

// An object that owns one thread running its Run(). Nothing joins the thread by itself: the
// owner either calls Join, or the object detaches its thread from inside Run (DetachSelf) when
// it is going to be destroyed by someone else while its thread ends.
class SimpleThread {
public:
    SimpleThread() = default;
    // Neither stops, waits for nor detaches the thread.
    virtual ~SimpleThread() = default;

    SimpleThread(const SimpleThread&) = delete;
    SimpleThread& operator=(const SimpleThread&) = delete;

    virtual bool IsStopped() const;
    // Only sets the flag; Run has to poll IsStopped.
    virtual void Stop();
    // Waits for the thread at most `milliseconds` (without limit when negative), logging the time
    // it took; after a time-out the thread is let go and keeps running.
    virtual void Join(int32_t milliseconds);
    // Clears the stop flag and starts the thread; false when no thread could be created.
    virtual bool Start();

protected:
    virtual void Run() = 0;
    // From inside Run: nobody will join this thread, so its resources go when it ends.
    static void DetachSelf();

private:
    static void* ThreadEntry(void* object);

    pthread_t threadHandle{};
    bool hasThread = false;
    // Held by Start until it has recorded the thread; the thread takes it before Run. A thread
    // whose Run ends at once may have its object destroyed (a worker's completion does), so Start
    // must be done with the object first.
    std::mutex startLock;
    std::atomic<bool> stopped{true};
};
