#pragma once

#include "base/platform/WindowHandle.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

// The main window's place for a program without a window: what the engine posts to it waits in
// a queue until the loop of the thread that runs the program takes it.
class QueuedWindowHandle : public WindowHandle {
public:
    struct Message {
        uint32_t message = 0;
        uintptr_t wParam = 0;
        intptr_t lParam = 0;
    };

    bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            queue_.push_back(Message{message, wParam, lParam});
        }
        posted_.notify_one();
        return true;
    }

    // The oldest message, waiting for one until `deadline`.
    std::optional<Message> Take(std::chrono::steady_clock::time_point deadline)
    {
        std::unique_lock<std::mutex> guard(lock_);
        if (!posted_.wait_until(guard, deadline, [this] { return !queue_.empty(); }))
            return std::nullopt;
        const Message next = queue_.front();
        queue_.pop_front();
        return next;
    }

private:
    std::mutex lock_;
    std::condition_variable posted_;
    std::deque<Message> queue_;
};
