#include "base/AppPaths.h"
#include "engine/CredentialPool.h"
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

// The api keys of `count` draws.
std::vector<std::string> Draw(CredentialPool& data, int count)
{
    std::vector<std::string> keys;
    for (int i = 0; i < count; ++i)
        keys.push_back(data.Next().apiKey);
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
    return ReadFile(AppPaths::GetAppDataDir() + "/Talvora.log");
}

}  // namespace

TEST(CredentialPool, EmptyPoolHandsOutTheBuiltInPair)
{
    CredentialPool data;
    for (int i = 0; i < 3; ++i) {
        const CredentialPair pair = data.Next();
        EXPECT_EQ(pair.apiKey, "Qw7rTz2mPx9LkV4nBc8sHd3F");
        EXPECT_EQ(pair.secretKey, "Zr5tYu8iOp2aSd6fGh1jKl4zXc7vBn0M");
    }
    // The index did not move while the pool was empty: a pool of two starts at its second pair.
    data.Replace(Pool(2));
    EXPECT_EQ(Draw(data, 3), (std::vector<std::string>{"api1", "api0", "api1"}));
}

TEST(CredentialPool, RoundRobinAdvancesBeforeUse)
{
    for (int size = 1; size <= 3; ++size) {
        SCOPED_TRACE(size);
        CredentialPool data;
        data.Replace(Pool(size));
        std::vector<std::string> expected;
        for (int i = 1; i <= 7; ++i)
            expected.push_back("api" + std::to_string(i % size));
        EXPECT_EQ(Draw(data, 7), expected);
    }
    CredentialPool data;
    data.Replace(Pool(2));
    const CredentialPair pair = data.Next();
    EXPECT_EQ(pair.apiKey, "api1");
    EXPECT_EQ(pair.secretKey, "secret1");
}

TEST(CredentialPool, ReplacedPoolContinuesFromTheOldIndex)
{
    CredentialPool data;
    data.Replace(Pool(3));
    EXPECT_EQ(Draw(data, 2), (std::vector<std::string>{"api1", "api2"}));  // index now 2
    data.Replace(Pool(5, 10));
    EXPECT_EQ(Draw(data, 3), (std::vector<std::string>{"api13", "api14", "api10"}));  // 3, 4, wrap
    data.Replace(Pool(2, 20));                                                         // index 0
    EXPECT_EQ(Draw(data, 2), (std::vector<std::string>{"api21", "api20"}));
    data.Replace(Pool(3, 30));  // index 0
    EXPECT_EQ(Draw(data, 1), (std::vector<std::string>{"api31"}));
    data.Replace(Pool(1, 40));  // index 1, at the new end after the increase
    EXPECT_EQ(Draw(data, 2), (std::vector<std::string>{"api40", "api40"}));
}

TEST(CredentialPool, EmptyListWarnsAndFallsBackToTheBuiltInPair)
{
    CredentialPool data;
    data.Replace(Pool(2));
    data.Replace({});
    EXPECT_TRUE(std::regex_search(LogText(), std::regex(R"(\n[-\d]+ [:\d]+ warning>>> \[\d+\])" +
                                                         TestSupport::LogEntry("CData::AddKey", "get ServerKey size is null"))));
    EXPECT_EQ(data.Next().apiKey, BuiltInCredential().apiKey);
}

TEST(CredentialPool, WorkersDrawKeysWhileThePoolIsReplaced)
{
    CredentialPool data;
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
                if (allowed.count(data.Next()) == 0)
                    strangers.fetch_add(1);
                draws.fetch_add(1);
            }
        });
    }
    for (int round = 0; round < 200; ++round) {
        data.Replace(pools[round % pools.size()]);
        const int target = draws.load() + 20;
        ASSERT_TRUE(WaitUntil([&] { return draws.load() >= target; }));
    }
    stop.store(true);
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(strangers.load(), 0);
    EXPECT_GE(draws.load(), 4000);
}

