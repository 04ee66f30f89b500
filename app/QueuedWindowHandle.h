#pragma once

#include "base/platform/WindowHandle.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
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
        std::unique_ptr<WindowPayload> payload;
    };

    bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        return Post(Message{message, wParam, lParam, nullptr});
    }
    bool PostOwned(uint32_t message, uintptr_t wParam, std::unique_ptr<WindowPayload> payload) override
    {
        return Post(Message{message, wParam, 0, std::move(payload)});
    }

    // The oldest message, waiting for one until `deadline`.
    std::optional<Message> Take(std::chrono::steady_clock::time_point deadline)
    {
        std::unique_lock<std::mutex> guard(lock_);
        if (!posted_.wait_until(guard, deadline, [this] { return !queue_.empty(); }))
            return std::nullopt;
        Message next = std::move(queue_.front());
        queue_.pop_front();
        return next;
    }

private:
    bool Post(Message message)
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            queue_.push_back(std::move(message));
        }
        posted_.notify_one();
        return true;
    }

    std::mutex lock_;
    std::condition_variable posted_;
    std::deque<Message> queue_;
};
