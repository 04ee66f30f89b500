#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

// Work that shares one resource (a disk) better done a few at a time than all at once: at most
// `most` turns are held at once, and they are given in the order they were asked for, so what
// was started first is ready first.
class OrderedTurns {
public:
    explicit OrderedTurns(int most);

    // Waits for a turn. False, with none taken, when `cancelled` says so first: it is asked
    // at least every 50 ms while waiting.
    bool Take(const std::function<bool()>& cancelled);
    void Give();
    // How many wait for a turn now.
    int Waiting();

    // A turn held for a scope, given back when it ends.
    class Held {
    public:
        Held(OrderedTurns& turns, const std::function<bool()>& cancelled) : turns_(turns), held_(turns.Take(cancelled)) {}
        ~Held()
        {
            if (held_)
                turns_.Give();
        }
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;
        explicit operator bool() const { return held_; }

    private:
        OrderedTurns& turns_;
        const bool held_;
    };

private:
    const int most_;
    std::mutex lock_;
    std::condition_variable changed_;
    int holders_ = 0;
    uint64_t lastTicket_ = 0;
    std::deque<uint64_t> waiting_;
};
