#include "base/AppPaths.h"
#include "base/ToolkitDiagnostic.h"
#include "base/LogFile.h"
#include "base/PrintTime.h"
#include "base/platform/DebugOutput.h"
#include "base/platform/SystemInfo.h"
#include "support/TestSupport.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <regex>
#include <thread>
#include <unistd.h>

using namespace TestSupport;

namespace {

const std::string kStartBannerHead = std::string(20, '*') + "\xC8\xD5\xD6\xBE\xBF\xAA\xCA\xBC";
const std::string kEndBannerHead = std::string(20, '*') + "\xC8\xD5\xD6\xBE\xBD\xE1\xCA\xF8";
const std::string kTime = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)";

std::string Escape(const std::string& text)
{
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

// Collects what reaches the debugger output while it lives.
class DebugCapture {
public:
    DebugCapture() { Platform::SetDebugSink(&DebugCapture::Sink, this); }
    ~DebugCapture() { Platform::SetDebugSink(nullptr, nullptr); }
    std::string Text()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return text_;
    }

private:
    static void Sink(const char* text, void* user)
    {
        auto* self = static_cast<DebugCapture*>(user);
        std::lock_guard<std::mutex> guard(self->lock_);
        self->text_ += text;
    }
    std::mutex lock_;
    std::string text_;
};

class LogFileTest : public ::testing::Test {
protected:
    std::string Path() const { return dir_ / "Talvora.log"; }
    // The entries between the banners of a log that has been closed.
    std::vector<std::string> Entries() const
    {
        auto lines = SplitLines(ReadFile(Path()));
        EXPECT_GE(lines.size(), 2u);
        if (lines.size() < 2)
            return {};
        return {lines.begin() + 1, lines.end() - 1};
    }
    TempDir dir_;
};

}  // namespace

TEST_F(LogFileTest, BannersAreTheGbkBytesWithTimestamps)
{
    { LogFile log(Path()); }
    const std::string content = ReadFile(Path());
    const std::regex banners(Escape(kStartBannerHead) + kTime + R"(\*{24}\r\n)" + Escape(kEndBannerHead) + kTime +
                             R"(\*{24}\r\n)");
    EXPECT_TRUE(std::regex_match(content, banners)) << content;
}

TEST_F(LogFileTest, EachLevelHasItsLineFormat)
{
    const std::string thread = std::to_string(Platform::CurrentThreadId());
    {
        LogFile log(Path());
        errno = 0;
        log.Write(Info, "CAudioConvert::AddTask", "add %s %d", "a.mp3", 7);
        log.Write(Warning, "CPlayListCtrl::GetItemFile", "%s", "bad index");
        errno = 0;
        log.Write(Error, "WinMain", "CoInitialize Failed! Return: %d", -1);
    }
    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(std::regex_match(entries[0], std::regex(kTime + " \\[" + thread + "\\]" + TestSupport::LogEntryStart("CAudioConvert::AddTask", "add a\\.mp3 7"))));
    EXPECT_TRUE(std::regex_match(entries[1], std::regex(kTime + " warning>>> \\[" + thread + "\\]" + TestSupport::LogEntryStart("CPlayListCtrl::GetItemFile", "bad index"))));
    // An error without a pending system error ends with the message, a blank and the line end.
    EXPECT_TRUE(std::regex_match(entries[2], std::regex(kTime + " Error>>>>> \\[" + thread + "\\]" + TestSupport::LogEntryStart("WinMain", "CoInitialize Failed! Return: -1 "))));
}

TEST_F(LogFileTest, ErrorCarriesTheFailedCallsTextAndClearsIt)
{
    {
        LogFile log(Path());
        ASSERT_EQ(open((dir_ / "no-such-file").c_str(), O_RDONLY), -1);
        log.Write(Error, "CAudioTask::Run", "%s", "copy failed");
        EXPECT_EQ(errno, 0);
        // Other levels leave the caller's error code alone.
        errno = ENOENT;
        log.Write(Info, "T", "%s", "info");
        EXPECT_EQ(errno, ENOENT);
    }
    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries[0].ends_with(TestSupport::LogEntryStart("CAudioTask::Run", "copy failed LastError info: No such file or directory"))) << entries[0];
}

TEST_F(LogFileTest, DebugOutputMirrorsEntriesAndTakesOtherLevels)
{
    DebugCapture capture;
    {
        LogFile log(Path());
        log.Write(Info, "T", "%s", "one");
        log.Write(Warning, "T", "%s", "two");
        log.Write(0, "T", "%s", "zero");
        log.Write(4, "T", "%s", "four");
        errno = EACCES;
        log.Write(Error, "T", "%s", "three");
    }
    EXPECT_EQ(capture.Text(), "one\r\nwarning >>>two\r\nzero\r\nfour\r\nError >>>>>Permission deniedthree\r\n");
    EXPECT_EQ(Entries().size(), 3u);  // levels 0 and 4 never reach the file
}

TEST_F(LogFileTest, LongMessagesAreCutWithAMarkAndEmptyOnesDropped)
{
    DebugCapture capture;
    const std::string latin(15 * 1024, 'y');
    std::string chinese;
    while (chinese.size() < 15 * 1024)
        chinese += "\xE4\xB8\xAD";  // 中: a cut must not split it
    {
        LogFile log(Path());
        log.Write(Info, "T", "%s", std::string(2047, 'x').c_str());
        log.Write(Info, "T", "reply: %s", latin.c_str());
        log.Write(Warning, "T", "%s", chinese.c_str());
        log.Write(Info, "T", "%s", "");
        log.Write(Info, "T", nullptr);
    }
    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(entries[0].ends_with("\t\t" + std::string(2047, 'x')));
    // The entry's text, then the mark: "… (N bytes cut)".
    const std::regex mark(R"(\xE2\x80\xA6 \((\d+) bytes cut\)$)");
    for (const auto& [entry, whole] : {std::pair{entries[1], "reply: " + latin}, std::pair{entries[2], chinese}}) {
        const size_t start = entry.find("]T:\t\t");
        ASSERT_NE(start, std::string::npos) << entry.substr(0, 80);
        std::smatch match;
        const std::string tail = entry.substr(entry.size() - 40);
        ASSERT_TRUE(std::regex_search(tail, match, mark)) << tail;
        const std::string kept = entry.substr(start + 5, entry.size() - (start + 5) - (tail.size() - match.position(0)));
        EXPECT_GT(kept.size(), 1900u);
        EXPECT_EQ(kept.size() + std::stoul(match[1]), whole.size());
        EXPECT_EQ(whole.substr(0, kept.size()), kept);
    }
    EXPECT_NE(capture.Text().find("bytes cut)"), std::string::npos);
}

TEST_F(LogFileTest, OneMebibyteRuleAtOpening)
{
    WriteFile(Path(), std::string(1048576, 'a'));
    { LogFile log(Path()); }
    const std::string kept = ReadFile(Path());
    EXPECT_EQ(kept.substr(0, 1048576), std::string(1048576, 'a'));
    EXPECT_EQ(kept.substr(1048576, kStartBannerHead.size()), kStartBannerHead);

    WriteFile(Path(), std::string(1048577, 'a'));
    { LogFile log(Path()); }
    EXPECT_EQ(ReadFile(Path()).substr(0, kStartBannerHead.size()), kStartBannerHead);
    EXPECT_LT(ReadFile(Path()).size(), 1000u);
}

// Any start (a second window, a transcriber, "--version") opens the log before it does
// anything else; it must not empty the log of a run that is still writing to it.
TEST_F(LogFileTest, OnlyARunWithTheLogToItselfEmptiesIt)
{
    const std::string log = dir_ / "xdg/Talvora/Talvora.log";
    std::filesystem::create_directories(dir_ / "xdg/Talvora");
    WriteFile(dir_ / "xdg/Talvora/config.ini", "[Talvora]\nUpdateUrl=http://127.0.0.1:9\n");
    const std::map<std::string, std::string> env{{"XDG_DATA_HOME", dir_ / "xdg"}, {"TALVORA_DEBUG_OUTPUT", ""}};
    const std::string old(LogFile::kMaxSizeAtOpen + 1, 'a');
    {
        Child running({TALVORA_BASE_HELPER, "log-open", "hold"}, env);
        ASSERT_TRUE(running.ReadUntil([](const std::string& out) { return out.find("held\n") != std::string::npos; },
                                      std::chrono::seconds(20)));
        // The running one has written a lot since its start.
        std::ofstream(log, std::ios::app | std::ios::binary) << old;
        const ChildResult version = RunChild({TALVORA_APP, "--version"}, env);
        EXPECT_EQ(version.exitCode, 0);
        const std::string content = ReadFile(log);
        const size_t kept = content.find(old);
        EXPECT_TRUE(kept != std::string::npos && kept < 1000) << "the running instance's log was emptied";
        EXPECT_TRUE(content.find(kStartBannerHead, kept + old.size()) != std::string::npos) << "--version did not append";
    }
    // The running one gone, the next start has it to itself.
    EXPECT_EQ(RunChild({TALVORA_APP, "--version"}, env).exitCode, 0);
    EXPECT_EQ(ReadFile(log).substr(0, kStartBannerHead.size()), kStartBannerHead);
    EXPECT_LT(ReadFile(log).size(), 100000u);
}

TEST_F(LogFileTest, ChildProgramsDoNotInheritTheLog)
{
    // Both ways of opening: appending, and emptying a file past the size limit.
    for (const size_t size : {size_t{0}, static_cast<size_t>(LogFile::kMaxSizeAtOpen) + 1}) {
        WriteFile(Path(), std::string(size, 'x'));
        LogFile log(Path());
        ASSERT_TRUE(log.IsOpen());
        // The child lists the descriptors it was given; the process log must not be one either.
        const ChildResult child = RunChild({"ls", "-l", "/proc/self/fd/"});
        EXPECT_EQ(child.exitCode, 0);
        EXPECT_EQ(child.output.find("Talvora.log"), std::string::npos) << child.output;
    }
}

TEST_F(LogFileTest, UnopenableFileMeansASilentLog)
{
    DebugCapture capture;
    LogFile log(dir_.Path());  // a folder cannot be opened as the log file
    EXPECT_FALSE(log.IsOpen());
    log.Write(Info, "T", "%s", "lost");
    log.Write(0, "T", "%s", "lost");
    LogFile empty("");
    empty.Write(Warning, "T", "%s", "lost");
    EXPECT_EQ(capture.Text(), "");
}

TEST_F(LogFileTest, EntriesFromManyThreadsNeverInterleave)
{
    constexpr int kThreads = 10;
    constexpr int kPerThread = 500;
    {
        LogFile log(Path());
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&log, t] {
                for (int n = 0; n < kPerThread; ++n)
                    log.Write(n % 2 ? Info : Warning, "Worker::Run", "thread %d entry %d %s", t, n, std::string(50 + n % 200, 'p').c_str());
            });
        }
        for (auto& thread : threads)
            thread.join();
    }
    const auto entries = Entries();
    ASSERT_EQ(entries.size(), static_cast<size_t>(kThreads * kPerThread));
    const std::regex line(kTime + R"(( warning>>>)? \[\d+\])" + TestSupport::LogEntryStart("Worker::Run", R"(thread (\d+) entry (\d+) (p+))"));
    std::vector<int> next(kThreads, 0);
    for (const auto& entry : entries) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(entry, match, line)) << entry;
        const int t = std::stoi(match[2]);
        const int n = std::stoi(match[3]);
        EXPECT_EQ(n, next[t]++) << "entries of one thread out of order";
        EXPECT_EQ(match[4].length(), 50 + n % 200);
    }
}

TEST(ProcessLog, WriteLogPrintTimeAndToolkitDiagnosticsReachTheProcessLog)
{
    const std::string path = AppPaths::GetAppDataDir() + "/Talvora.log";
    const std::string marker = "marker-" + std::to_string(getpid());
    WriteLog(Info, "Test::Body", "%s", marker.c_str());
    LogToolkitDiagnostic("cannot load skin \xE7\x9A\xAE\xE8\x82\xA4.xml\n");
    {
        PrintTime timer("timed " + marker);
        const uint32_t start = Platform::TickCount();
        while (Platform::TickCount() - start < 30) {
        }
    }
    const std::string content = ReadFile(path);
    EXPECT_NE(content.find("]" + TestSupport::LogEntry("Test::Body", marker)), std::string::npos);
    EXPECT_NE(content.find(" warning>>> [" + std::to_string(Platform::CurrentThreadId()) +
                           "]" + TestSupport::LogEntry("DuilibExceptFunc", "cannot load skin \xE7\x9A\xAE\xE8\x82\xA4.xml\n")),
              std::string::npos);
    EXPECT_NE(content.find("]" + TestSupport::LogEntry("PrintTime::PrintTime", "<< timed " + marker)), std::string::npos);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(content, match, std::regex(TestSupport::LogEntry("PrintTime::~PrintTime", "timed " + marker + R"( >> (\d+) ms)"))));
    EXPECT_GE(std::stoi(match[1]), 30);
    EXPECT_LT(std::stoi(match[1]), 5000);
}
