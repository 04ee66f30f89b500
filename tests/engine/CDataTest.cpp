#include "base/AppPaths.h"
#include "base/platform/WindowMessages.h"
#include "engine/CData.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <regex>
#include <set>
#include <thread>
#include <tuple>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

CredentialPair Pair(int n)
{
    return {"api" + std::to_string(n), "secret" + std::to_string(n)};
}

std::vector<CredentialPair> Pool(int size, int first = 0)
{
    std::vector<CredentialPair> pool;
    for (int i = 0; i < size; ++i)
        pool.push_back(Pair(first + i));
    return pool;
}

// The api keys of `count` GetKey calls.
std::vector<std::string> Draw(CData& data, int count)
{
    std::vector<std::string> keys;
    for (int i = 0; i < count; ++i)
        keys.push_back(data.GetKey().apiKey);
    return keys;
}

struct PairOrder {
    bool operator()(const CredentialPair& a, const CredentialPair& b) const
    {
        return std::tie(a.apiKey, a.secretKey) < std::tie(b.apiKey, b.secretKey);
    }
};

std::string LogText()
{
    return ReadFile(PubUtils::GetAppDataDir() + "/Talvora.log");
}

class RecordingWindow : public WindowHandle {
public:
    struct Message {
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
    };
    bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        messages_.push_back({message, wParam, lParam});
        return accept_;
    }
    // Nothing here posts a payload; one would be recorded like a plain message and dropped.
    bool PostOwned(uint32_t message, uintptr_t wParam, std::unique_ptr<WindowPayload>) override
    {
        return PostMessage(message, wParam, 0);
    }
    std::vector<Message> Messages()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return messages_;
    }
    bool accept_ = true;

private:
    std::mutex lock_;
    std::vector<Message> messages_;
};

std::string Value(const std::string& output, const std::string& name)
{
    for (const auto& line : SplitLines(output, "\n")) {
        if (line.starts_with(name + "="))
            return line.substr(name.size() + 1);
    }
    return "<missing>";
}

}  // namespace

TEST(CData, EmptyPoolHandsOutTheBuiltInPair)
{
    CData data;
    for (int i = 0; i < 3; ++i) {
        const CredentialPair pair = data.GetKey();
        EXPECT_EQ(pair.apiKey, "Qw7rTz2mPx9LkV4nBc8sHd3F");
        EXPECT_EQ(pair.secretKey, "Zr5tYu8iOp2aSd6fGh1jKl4zXc7vBn0M");
    }
    // The index did not move while the pool was empty: a pool of two starts at its second pair.
    data.AddKey(Pool(2));
    EXPECT_EQ(Draw(data, 3), (std::vector<std::string>{"api1", "api0", "api1"}));
}

TEST(CData, RoundRobinAdvancesBeforeUse)
{
    for (int size = 1; size <= 3; ++size) {
        SCOPED_TRACE(size);
        CData data;
        data.AddKey(Pool(size));
        std::vector<std::string> expected;
        for (int i = 1; i <= 7; ++i)
            expected.push_back("api" + std::to_string(i % size));
        EXPECT_EQ(Draw(data, 7), expected);
    }
    CData data;
    data.AddKey(Pool(2));
    const CredentialPair pair = data.GetKey();
    EXPECT_EQ(pair.apiKey, "api1");
    EXPECT_EQ(pair.secretKey, "secret1");
}

TEST(CData, ReplacedPoolContinuesFromTheOldIndex)
{
    CData data;
    data.AddKey(Pool(3));
    EXPECT_EQ(Draw(data, 2), (std::vector<std::string>{"api1", "api2"}));  // index now 2
    data.AddKey(Pool(5, 10));
    EXPECT_EQ(Draw(data, 3), (std::vector<std::string>{"api13", "api14", "api10"}));  // 3, 4, wrap
    data.AddKey(Pool(2, 20));                                                         // index 0
    EXPECT_EQ(Draw(data, 2), (std::vector<std::string>{"api21", "api20"}));
    data.AddKey(Pool(3, 30));  // index 0
    EXPECT_EQ(Draw(data, 1), (std::vector<std::string>{"api31"}));
    data.AddKey(Pool(1, 40));  // index 1, at the new end after the increase
    EXPECT_EQ(Draw(data, 2), (std::vector<std::string>{"api40", "api40"}));
}

TEST(CData, EmptyListWarnsAndFallsBackToTheBuiltInPair)
{
    CData data;
    data.AddKey(Pool(2));
    data.AddKey({});
    EXPECT_TRUE(std::regex_search(LogText(), std::regex(R"(\n[-\d]+ [:\d]+ warning>>> \[\d+\])" +
                                                         TestSupport::LogEntry("CData::AddKey", "get ServerKey size is null"))));
    EXPECT_EQ(data.GetKey().apiKey, BuiltInCredential().apiKey);
    EXPECT_EQ(data.GetMaxTasks(), 10);
}

TEST(CData, WorkersDrawKeysWhileThePoolIsReplaced)
{
    CData data;
    const std::vector<std::vector<CredentialPair>> pools = {Pool(1, 0), Pool(2, 10), Pool(3, 20), {}, Pool(7, 30)};
    std::set<CredentialPair, PairOrder> allowed{BuiltInCredential()};
    for (const auto& pool : pools)
        allowed.insert(pool.begin(), pool.end());

    constexpr int kWorkers = 10;
    std::atomic<bool> stop{false};
    std::atomic<int> draws{0};
    std::atomic<int> strangers{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&] {
            while (!stop.load()) {
                if (allowed.count(data.GetKey()) == 0)
                    strangers.fetch_add(1);
                draws.fetch_add(1);
            }
        });
    }
    for (int round = 0; round < 200; ++round) {
        data.AddKey(pools[round % pools.size()]);
        const int target = draws.load() + 20;
        ASSERT_TRUE(WaitUntil([&] { return draws.load() >= target; }));
    }
    stop.store(true);
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(strangers.load(), 0);
    EXPECT_GE(draws.load(), 4000);
}

TEST(CData, MainWindowIsSharedWithEveryThread)
{
    CData data;
    EXPECT_EQ(data.GetMainWnd(), nullptr);
    auto window = std::make_shared<RecordingWindow>();
    data.SetMainWnd(window);
    std::shared_ptr<WindowHandle> fromWorker;
    std::thread([&] { fromWorker = data.GetMainWnd(); }).join();
    EXPECT_EQ(fromWorker, window);
    EXPECT_EQ(&CData::Instance(), &CData::Instance());
}

TEST(CData, ExitWithoutAWindowTakingTheCloseIsLogged)
{
    const size_t logStart = LogText().size();
    CData data;
    data.PostAppExit();
    auto window = std::make_shared<RecordingWindow>();
    window->accept_ = false;
    data.SetMainWnd(window);
    data.PostAppExit();
    ASSERT_EQ(window->Messages().size(), 1u);
    const std::string log = LogText().substr(logStart);
    size_t count = 0;
    for (size_t at = log.find(TestSupport::LogEntryStart("CData::PostAppExit", "no main window took the close command")); at != std::string::npos;
         at = log.find(TestSupport::LogEntryStart("CData::PostAppExit", "no main window took the close command"), at + 1))
        ++count;
    EXPECT_EQ(count, 2u);
}

TEST(CData, ExitLogsDisarmsMovesTempAndPostsCloseInOrder)
{
    TempDir dir;
    const std::string data = dir / "data";
    const std::string tmp = dir / "tmp";
    fs::create_directories(tmp);
    const auto result = RunChild({TALVORA_CONTEXT_HELPER}, {{"XDG_DATA_HOME", data}, {"TMPDIR", tmp}});

    EXPECT_EQ(Value(result.output, "armed-before"), "1");
    // When the close command arrives, the three steps before it are done.
    EXPECT_EQ(Value(result.output, "post"), "274,0xf060,0");  // WM_SYSCOMMAND, SC_CLOSE
    EXPECT_EQ(Value(result.output, "logged-at-post"), "1");
    EXPECT_EQ(Value(result.output, "armed-at-post"), "0");
    EXPECT_EQ(Value(result.output, "temp-left-at-post"), "0");
    EXPECT_EQ(Value(result.output, "temp-moved-at-post"), "1");
    EXPECT_EQ(Value(result.output, "survived"), "<missing>");
    // The fault after the exit began got the default handling and left no report.
    if (!kSanitized) {
        EXPECT_EQ(result.signal, SIGSEGV);
    }
    std::error_code ignored;
    EXPECT_TRUE(fs::is_empty(data + "/Talvora/crashDumps", ignored));
    EXPECT_TRUE(fs::is_directory(data + "/Talvora/crashDumps"));
    EXPECT_EQ(ReadFile(tmp + "/talvora-" + std::to_string(getuid()) + "/Temp/job/1.pcm"), "pcm");
    const std::string log = ReadFile(data + "/Talvora/Talvora.log");
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(\n[-\d]+ [:\d]+ \[\d+\])" + TestSupport::LogEntry("CData::PostAppExit", "app exit")))) << log;
}
