#include "base/OrderedTurns.h"

#include <algorithm>
#include <chrono>

OrderedTurns::OrderedTurns(int most) : most_(std::max(1, most)) {}

bool OrderedTurns::Take(const std::function<bool()>& cancelled)
{
    std::unique_lock<std::mutex> guard(lock_);
    const uint64_t ticket = ++lastTicket_;
    waiting_.push_back(ticket);
    for (;;) {
        if (holders_ < most_ && waiting_.front() == ticket) {
            waiting_.pop_front();
            ++holders_;
            // The next in line may find a turn free too.
            changed_.notify_all();
            return true;
        }
        if (cancelled && cancelled()) {
            waiting_.erase(std::find(waiting_.begin(), waiting_.end(), ticket));
            changed_.notify_all();
            return false;
        }
        changed_.wait_for(guard, std::chrono::milliseconds(50));
    }
}

void OrderedTurns::Give()
{
    std::lock_guard<std::mutex> guard(lock_);
    --holders_;
    changed_.notify_all();
}

int OrderedTurns::Waiting()
{
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(waiting_.size());
}
