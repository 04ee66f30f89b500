#include "base/AppPaths.h"
#include "base/LiveThreads.h"
#include "engine/SimpleThread.h"
#include "support/TestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <regex>
#include <thread>

using namespace TestSupport;

namespace {

// Runs until told to stop, polling the flag as threads of this kind must.
class PollingThread : public SimpleThread {
public:
    std::atomic<bool> ran{false};
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};

protected:
    void Run() override
    {
        ran = true;
        while (!IsStopped() && !release)
            std::this_thread::yield();
        finished = true;  // the last touch of the object
    }
};

}  // namespace

TEST(SimpleThread, StopIsAFlagThatRunPolls)
{
    PollingThread thread;
    EXPECT_TRUE(thread.IsStopped());
    ASSERT_TRUE(thread.Start());
    EXPECT_FALSE(thread.IsStopped());
    EXPECT_TRUE(WaitUntil([&] { return thread.ran.load(); }));
    thread.Stop();
    EXPECT_TRUE(thread.IsStopped());
    thread.Join(-1);
}

TEST(SimpleThread, JoinLogsItsTimeAndGivesUpAfterTheLimit)
{
    const std::string log = PubUtils::GetAppDataDir() + "/Talvora.log";
    auto* thread = new PollingThread();
    ASSERT_TRUE(thread->Start());
    thread->Join(30);
    std::string content = ReadFile(log);
    EXPECT_TRUE(std::regex_search(content, std::regex(TestSupport::LogEntry("SimpleThread::Join", R"(wait thread exit time out: 30, 0x[0-9a-f]+)"))));
    EXPECT_NE(content.find(TestSupport::LogEntry("PrintTime::PrintTime", "<< (anonymous namespace)::PollingThread")), std::string::npos);
    EXPECT_TRUE(std::regex_search(content, std::regex(TestSupport::LogEntry("PrintTime::~PrintTime", R"(\(anonymous namespace\)::PollingThread >> \d+ ms)"))));
    // The thread was let go and still runs; it ends once released.
    thread->release = true;
    PollingThread second;
    ASSERT_TRUE(second.Start());
    second.release = true;
    second.Join(10000);
    EXPECT_EQ(ReadFile(log).find("wait thread exit time out: 10000"), std::string::npos);
    EXPECT_TRUE(WaitUntil([&] { return thread->finished.load(); }));
    delete thread;
}

// The program's end waits for these threads: each counts from its start until its body has
// returned, whoever started it and whether or not anybody joins it.
TEST(SimpleThread, CountsAsLiveFromItsStartUntilRunHasReturned)
{
    const int before = LiveThreads::Count();
    auto* thread = new PollingThread();
    ASSERT_TRUE(thread->Start());
    EXPECT_EQ(LiveThreads::Count(), before + 1);  // already before its body begins
    std::atomic<bool> release{false};
    std::thread([&release, counted = LiveThreads::Token()] {
        while (!release)
            std::this_thread::yield();
    }).detach();
    EXPECT_EQ(LiveThreads::Count(), before + 2);
    EXPECT_FALSE(LiveThreads::WaitUntilNone(std::chrono::milliseconds(20)));

    thread->release = true;
    EXPECT_TRUE(WaitUntil([&] { return thread->finished.load(); }));
    thread->Join(-1);
    delete thread;
    EXPECT_EQ(LiveThreads::Count(), before + 1);
    release = true;
    EXPECT_TRUE(WaitUntil([&] { return LiveThreads::Count() == before; }));
}
