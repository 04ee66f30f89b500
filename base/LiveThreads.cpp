#include "base/LiveThreads.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

struct Counter {
    std::mutex lock;
    std::condition_variable changed;
    int count = 0;
};

std::atomic<bool> g_ending{false};

// Never destroyed: a thread may still leave after the static objects have gone.
Counter& TheCounter()
{
    static Counter* const counter = new Counter;
    return *counter;
}

}  // namespace

void LiveThreads::Enter()
{
    Counter& counter = TheCounter();
    std::lock_guard<std::mutex> guard(counter.lock);
    ++counter.count;
}

void LiveThreads::Leave()
{
    Counter& counter = TheCounter();
    std::lock_guard<std::mutex> guard(counter.lock);
    if (--counter.count == 0)
        counter.changed.notify_all();
}

int LiveThreads::Count()
{
    Counter& counter = TheCounter();
    std::lock_guard<std::mutex> guard(counter.lock);
    return counter.count;
}

bool LiveThreads::WaitUntilNone(std::chrono::milliseconds limit)
{
    Counter& counter = TheCounter();
    std::unique_lock<std::mutex> guard(counter.lock);
    return counter.changed.wait_for(guard, limit, [&counter] { return counter.count == 0; });
}

void LiveThreads::AskAllToEnd()
{
    g_ending.store(true);
}

bool LiveThreads::Ending()
{
    return g_ending.load();
}
