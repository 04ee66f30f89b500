#include "base/OrderedTurns.h"
#include "support/TestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

using namespace TestSupport;

// Two turns at once: the third and fourth asker wait, and get theirs in the order they asked;
// one that gives up while waiting leaves the line without holding up those behind it.
TEST(OrderedTurns, AtMostSoManyAtOnceInTheOrderAsked)
{
    OrderedTurns turns(2);
    ASSERT_TRUE(turns.Take({}));
    ASSERT_TRUE(turns.Take({}));

    std::mutex lock;
    std::vector<int> served;
    std::atomic<bool> giveUp{false};
    std::vector<std::thread> askers;
    // One at a time, so that each is in line before the next asks.
    const auto ask = [&](int who, std::function<bool()> cancelled) {
        const int before = turns.Waiting();
        askers.emplace_back([&, who, cancelled] {
            if (turns.Take(cancelled)) {
                std::lock_guard<std::mutex> guard(lock);
                served.push_back(who);
            } else {
                std::lock_guard<std::mutex> guard(lock);
                served.push_back(-who);
            }
        });
        ASSERT_TRUE(WaitUntil([&] { return turns.Waiting() > before; }));
    };
    ask(3, {});
    ask(4, [&] { return giveUp.load(); });
    ask(5, {});
    const auto servedNow = [&] {
        std::lock_guard<std::mutex> guard(lock);
        return served;
    };
    EXPECT_FALSE(WaitUntil([&] { return !servedNow().empty(); }, std::chrono::milliseconds(100)));

    giveUp = true;
    ASSERT_TRUE(WaitUntil([&] { return servedNow() == std::vector<int>{-4}; }));
    turns.Give();
    ASSERT_TRUE(WaitUntil([&] { return servedNow() == std::vector<int>{-4, 3}; }));
    turns.Give();
    ASSERT_TRUE(WaitUntil([&] { return servedNow() == std::vector<int>{-4, 3, 5}; }));
    for (std::thread& asker : askers)
        asker.join();
    turns.Give();
    turns.Give();
    const OrderedTurns::Held held(turns, {});
    EXPECT_TRUE(held);
}
