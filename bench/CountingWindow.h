#pragma once

#include "base/platform/WindowHandle.h"
#include "base/platform/WindowMessages.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

// The main window's place in the benchmarks: counts finished segments and lets the benchmark
// wait for a number of them.
class CountingWindow : public WindowHandle {
public:
    bool PostMessage(uint32_t message, uintptr_t, intptr_t) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (message == WM_USER_SEGMENT_DONE)
            ++count_;
        changed_.notify_all();
        return true;
    }
    bool PostOwned(uint32_t message, uintptr_t wParam, std::unique_ptr<WindowPayload>) override
    {
        return PostMessage(message, wParam, 0);
    }
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
