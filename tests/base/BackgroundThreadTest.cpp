#include "base/BackgroundThread.h"
#include "base/LiveThreads.h"
#include "support/TestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <pthread.h>
#include <thread>

using namespace TestSupport;

// The program's end waits for these threads: each counts from before its start until its body
// has returned and what it held is gone, whoever started it; nobody joins it.
TEST(BackgroundThread, CountsAsLiveUntilItsBodyAndWhatItHeldAreGone)
{
    const int before = LiveThreads::Count();
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> heldGone{false};
    std::atomic<int> countWhenHeldWent{-1};
    struct Held {
        std::atomic<bool>* gone;
        std::atomic<int>* countThen;
        ~Held()
        {
            countThen->store(LiveThreads::Count());
            gone->store(true);
        }
    };
    auto held = std::make_shared<Held>(Held{&heldGone, &countWhenHeldWent});
    std::atomic<bool> named{false};
    ASSERT_TRUE(StartBackgroundThread("a rather long thread name", [&, held] {
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        named = std::string(name) == "a rather long t";  // the 15 bytes the kernel keeps
        while (!release)
            std::this_thread::yield();
        finished = true;
    }));
    held.reset();
    EXPECT_EQ(LiveThreads::Count(), before + 1);
    EXPECT_FALSE(LiveThreads::WaitUntilNone(std::chrono::milliseconds(20)));

    release = true;
    EXPECT_TRUE(WaitUntil([&] { return LiveThreads::Count() == before; }));
    EXPECT_TRUE(finished);
    EXPECT_TRUE(named);
    EXPECT_TRUE(heldGone);
    EXPECT_EQ(countWhenHeldWent.load(), before + 1) << "what the body held goes while the thread still counts";
}

// A thread that may outlive the program by design (a child's reaper) is not waited for.
TEST(BackgroundThread, AThreadNotWaitedForDoesNotHoldTheEnd)
{
    const int before = LiveThreads::Count();
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    ASSERT_TRUE(StartBackgroundThread("reaper", [&] {
        while (!release)
            std::this_thread::yield();
        finished = true;
    }, false));
    EXPECT_EQ(LiveThreads::Count(), before);
    release = true;
    EXPECT_TRUE(WaitUntil([&] { return finished.load(); }));
}
