#include "base/AppPaths.h"
#include "base/DuilibExceptFunc.h"
#include "base/LogFile.h"
#include "base/PrintTime.h"
#include "base/platform/DebugOutput.h"
#include "base/platform/SystemInfo.h"
#include "support/TestSupport.h"

#include <cerrno>
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
    { CLogFile log(Path()); }
    const std::string content = ReadFile(Path());
    const std::regex banners(Escape(kStartBannerHead) + kTime + R"(\*{24}\r\n)" + Escape(kEndBannerHead) + kTime +
                             R"(\*{24}\r\n)");
    EXPECT_TRUE(std::regex_match(content, banners)) << content;
}

TEST_F(LogFileTest, EachLevelHasItsLineFormat)
{
    const std::string thread = std::to_string(Platform::CurrentThreadId());
    {
        CLogFile log(Path());
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
        CLogFile log(Path());
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
        CLogFile log(Path());
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

TEST_F(LogFileTest, MessagesOverTheLimitOrEmptyAreDropped)
{
    DebugCapture capture;
    {
        CLogFile log(Path());
        log.Write(Info, "T", "%s", std::string(2047, 'x').c_str());
        log.Write(Info, "T", "%s", std::string(2048, 'y').c_str());
        log.Write(Info, "T", "%s", "");
        log.Write(Info, "T", nullptr);
    }
    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].ends_with("\t\t" + std::string(2047, 'x')));
    EXPECT_EQ(capture.Text().find('y'), std::string::npos);
}

TEST_F(LogFileTest, OneMebibyteRuleAtOpening)
{
    WriteFile(Path(), std::string(1048576, 'a'));
    { CLogFile log(Path()); }
    const std::string kept = ReadFile(Path());
    EXPECT_EQ(kept.substr(0, 1048576), std::string(1048576, 'a'));
    EXPECT_EQ(kept.substr(1048576, kStartBannerHead.size()), kStartBannerHead);

    WriteFile(Path(), std::string(1048577, 'a'));
    { CLogFile log(Path()); }
    EXPECT_EQ(ReadFile(Path()).substr(0, kStartBannerHead.size()), kStartBannerHead);
    EXPECT_LT(ReadFile(Path()).size(), 1000u);
}

TEST_F(LogFileTest, ChildProgramsDoNotInheritTheLog)
{
    // Both ways of opening: appending, and emptying a file past the size limit.
    for (const size_t size : {size_t{0}, static_cast<size_t>(CLogFile::kMaxSizeAtOpen) + 1}) {
        WriteFile(Path(), std::string(size, 'x'));
        CLogFile log(Path());
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
    CLogFile log(dir_.Path());  // a folder cannot be opened as the log file
    EXPECT_FALSE(log.IsOpen());
    log.Write(Info, "T", "%s", "lost");
    log.Write(0, "T", "%s", "lost");
    CLogFile empty("");
    empty.Write(Warning, "T", "%s", "lost");
    EXPECT_EQ(capture.Text(), "");
}

TEST_F(LogFileTest, EntriesFromManyThreadsNeverInterleave)
{
    constexpr int kThreads = 10;
    constexpr int kPerThread = 500;
    {
        CLogFile log(Path());
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
    const std::string path = PubUtils::GetAppDataDir() + "/Talvora.log";
    const std::string marker = "marker-" + std::to_string(getpid());
    WriteLog(Info, "Test::Body", "%s", marker.c_str());
    DuilibExceptFunc(L"cannot load skin \x76AE\x80A4.xml\n");
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
