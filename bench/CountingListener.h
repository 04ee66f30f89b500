#pragma once

#include "engine/JobListener.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

// The window's place in the benchmarks: counts finished segments and lets the benchmark wait
// for a number of them.
class CountingListener : public JobListener {
public:
    void OnSegmentDone(const SegmentDone&) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++count_;
        changed_.notify_all();
    }
    void OnFileFailed(const std::string&, const std::string&) override {}
    // Waits at most `wait` for the count to reach `target`.
    bool WaitFor(int target, std::chrono::milliseconds wait)
    {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, wait, [&] { return count_ >= target; });
    }
    void Reset()
    {
        std::lock_guard<std::mutex> guard(lock_);
        count_ = 0;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    int count_ = 0;
};
