#include "base/AppVersion.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif
constexpr bool kSanitized = kAddressSanitizer || kThreadSanitizer;

std::string Value(const std::string& output, const std::string& name)
{
    for (const auto& line : SplitLines(output, "\n")) {
        if (line.starts_with(name + "="))
            return line.substr(name.size() + 1);
    }
    return "<missing>";
}

std::vector<std::string> Values(const std::string& output, const std::string& name)
{
    std::vector<std::string> values;
    for (const auto& line : SplitLines(output, "\n")) {
        if (line.starts_with(name + "="))
            values.push_back(line.substr(name.size() + 1));
    }
    return values;
}

std::vector<std::string> FileNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Seconds since the epoch of a 14-digit stamp read as if it were UTC: enough to compare two
// stamps of the same zone.
time_t StampSeconds(const std::string& stamp)
{
    tm parts{};
    if (strptime(stamp.c_str(), "%Y%m%d%H%M%S", &parts) == nullptr)
        return -1;
    return timegm(&parts);
}

// Checks that `name` is "<prefix><14 digits>.dmp" with a stamp no earlier than `before` and at
// most a few seconds later; returns the stamp.
std::string CheckReportName(const std::string& name, const std::string& prefix, const std::string& before)
{
    const std::regex pattern(std::regex_replace(prefix, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") + R"((\d{14})\.dmp)");
    std::smatch match;
    EXPECT_TRUE(std::regex_match(name, match, pattern)) << name;
    if (match.size() < 2)
        return {};
    const std::string stamp = match[1].str();
    const time_t delta = StampSeconds(stamp) - StampSeconds(before);
    EXPECT_GE(delta, 0) << stamp << " before " << before;
    EXPECT_LE(delta, 5) << stamp << " long after " << before;
    return stamp;
}

ChildResult RunHelper(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {})
{
    std::vector<std::string> argv{TALVORA_CRASH_HELPER};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChild(argv, env);
}

class CrashReport : public ::testing::Test {
protected:
    // Runs the helper armed with a fresh dump folder (blanks and non-ASCII in its name) and
    // returns the one report it must leave there.
    std::string CrashAndReadReport(const std::vector<std::string>& faultCommands, ChildResult& result)
    {
        std::vector<std::string> args{"arm", folder_, "stamp"};
        args.insert(args.end(), faultCommands.begin(), faultCommands.end());
        result = RunHelper(args);
        EXPECT_EQ(result.signal, 0);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(Value(result.output, "finished"), "<missing>");
        const auto names = FileNames(folder_);
        EXPECT_EQ(names.size(), 1u);
        if (names.size() != 1)
            return {};
        CheckReportName(names[0], "", Value(result.output, "stamp"));
        struct stat info{};
        EXPECT_EQ(stat((folder_ + "/" + names[0]).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);  // registers and memory layout are the user's business
        return ReadFile(folder_ + "/" + names[0]);
    }

    TempDir dir_;
    const std::string folder_ = dir_ / "crash D\xC3\xBCmps";
};

}  // namespace

TEST_F(CrashReport, FaultOnWorkerThreadLeavesOneDescriptiveReport)
{
    ChildResult result;
    const std::string report = CrashAndReadReport({"segv-worker"}, result);
    EXPECT_TRUE(report.starts_with("Talvora crash report\n")) << report;
    EXPECT_NE(report.find(std::string("version: ") + kAppVersionText + "\n"), std::string::npos);
    EXPECT_NE(report.find("executable: " + std::string(TALVORA_CRASH_HELPER) + "\n"), std::string::npos);
    EXPECT_NE(report.find("signal: 11 SIGSEGV"), std::string::npos);
    EXPECT_NE(report.find("code: 1 SEGV_MAPERR"), std::string::npos);
    EXPECT_NE(report.find("fault address: 0x0000000000000010\n"), std::string::npos);
    EXPECT_NE(report.find("thread: " + Value(result.output, "worker-tid") + " "), std::string::npos);
    EXPECT_NE(report.find("\nregisters:\n"), std::string::npos);
#if defined(__x86_64__)
    EXPECT_TRUE(std::regex_search(report, std::regex(R"(rip 0x[0-9a-f]{16})")));
#endif
    // The backtrace starts at the faulting function and goes down through the thread's entry.
    EXPECT_TRUE(std::regex_search(report, std::regex(R"(\n  #0 [^\n]*\(TalvoraHelperWriteToBadAddress\+0x)"))) << report;
    const size_t maps = report.find("\nmemory map:\n");
    ASSERT_NE(maps, std::string::npos);
    EXPECT_NE(report.find(std::string(TALVORA_CRASH_HELPER), maps), std::string::npos);
    EXPECT_NE(report.find("[stack]", maps), std::string::npos);
    EXPECT_TRUE(report.ends_with("\nend of report\n"));
}

TEST_F(CrashReport, UncaughtExceptionLeavesReportNamingIt)
{
    ChildResult result;
    const std::string report = CrashAndReadReport({"throw-worker"}, result);
    EXPECT_NE(report.find("signal: 6 SIGABRT"), std::string::npos) << report;
    EXPECT_NE(report.find("uncaught exception: std::runtime_error: helper failure\n"), std::string::npos) << report;
    EXPECT_NE(report.find("thread: " + Value(result.output, "worker-tid") + " "), std::string::npos);
    EXPECT_NE(report.find("fault address: none (sent by process "), std::string::npos);
}

TEST_F(CrashReport, StackOverflowIsReportedOnMainAndWorkerThreads)
{
    for (const std::string command : {"overflow-worker", "overflow-main"}) {
        SCOPED_TRACE(command);
        ChildResult result;
        const std::string report = CrashAndReadReport({command}, result);
        EXPECT_NE(report.find("signal: 11 SIGSEGV"), std::string::npos);
        EXPECT_NE(report.find("TalvoraHelperRecurse"), std::string::npos);
        EXPECT_TRUE(report.ends_with("\nend of report\n"));
        fs::remove_all(folder_);
    }
}

TEST_F(CrashReport, EveryFatalSignalIsReported)
{
    struct Case {
        std::vector<std::string> commands;
        std::string signalLine;
    };
    std::vector<Case> cases = {
        {{"abort"}, "signal: 6 SIGABRT"},
        {{"ill"}, "signal: 4 SIGILL"},
        {{"bus", dir_ / "mapped file"}, "signal: 7 SIGBUS (bus error)\ncode: 2 BUS_ADRERR"},
        {{"kill-self"}, "signal: 11 SIGSEGV (invalid memory access)\ncode: 0 SI_USER"},
    };
#if defined(__x86_64__) || defined(__i386__)
    // Where the processor traps integer division by zero; the address sanitizer build's
    // undefined-behaviour checks stop the division before it runs.
    if (!kAddressSanitizer)
        cases.push_back({{"fpe"}, "signal: 8 SIGFPE (arithmetic fault)\ncode: 1 FPE_INTDIV"});
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commands[0]);
        ChildResult result;
        const std::string report = CrashAndReadReport(c.commands, result);
        EXPECT_NE(report.find(c.signalLine), std::string::npos) << report.substr(0, 600);
        EXPECT_TRUE(report.ends_with("\nend of report\n"));
        fs::remove_all(folder_);
    }
}

TEST_F(CrashReport, TwoThreadsFaultingTogetherLeaveOneReport)
{
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        ChildResult result;
        const std::string report = CrashAndReadReport({"two-threads"}, result);
        const auto tids = Values(result.output, "fault-tid");
        ASSERT_EQ(tids.size(), 2u);
        const bool first = report.find("thread: " + tids[0] + " ") != std::string::npos;
        const bool second = report.find("thread: " + tids[1] + " ") != std::string::npos;
        EXPECT_NE(first, second) << report.substr(0, 600);
        EXPECT_TRUE(report.ends_with("\nend of report\n"));
        fs::remove_all(folder_);
    }
}

TEST_F(CrashReport, GoesBesideTheExecutableWhenTheFolderIsGone)
{
    // A copy of the helper in a folder of its own, so its neighbours are all this test's.
    const std::string program = dir_ / "crash helper";
    fs::copy_file(TALVORA_CRASH_HELPER, program);
    fs::permissions(program, fs::perms::owner_all);

    auto result = RunChild({program, "arm", folder_, "remove-folder", folder_, "stamp", "segv-main"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.signal, 0);
    EXPECT_FALSE(Exists(folder_));
    // The program and its report, which sorts after it.
    auto names = FileNames(dir_.Path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "crash helper");
    CheckReportName(names[1], "crash helper.", Value(result.output, "stamp"));
    EXPECT_NE(ReadFile(dir_ / names[1]).find("signal: 11 SIGSEGV"), std::string::npos);
    fs::remove(dir_ / names[1]);

    // Armed without a folder at all: the same place.
    result = RunChild({program, "arm-none", "stamp", "segv-main"});
    EXPECT_EQ(result.exitCode, 0);
    names = FileNames(dir_.Path());
    ASSERT_EQ(names.size(), 2u);
    CheckReportName(names[1], "crash helper.", Value(result.output, "stamp"));
}

TEST_F(CrashReport, ConstructionCreatesOneFolderLevel)
{
    auto result = RunHelper({"arm", folder_, "armed"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Value(result.output, "armed"), "1");
    EXPECT_TRUE(fs::is_directory(folder_));

    // Its parent missing, the folder cannot be made; the program runs on.
    const std::string deep = dir_ / "missing/crashDumps";
    result = RunHelper({"arm", deep, "armed"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Value(result.output, "finished"), "1");
    EXPECT_FALSE(Exists(deep));
}

TEST_F(CrashReport, DisarmedOrDestroyedFaultsTakeDefaultHandling)
{
    struct Case {
        std::vector<std::string> commands;
        int signal;
    };
    const std::vector<Case> cases = {
        {{"arm", folder_, "disarm", "armed", "segv-main"}, SIGSEGV},
        {{"arm", folder_, "destroy", "armed", "segv-worker"}, SIGSEGV},
        {{"arm", folder_, "disarm", "armed", "abort"}, SIGABRT},
        {{"arm", folder_, "disarm", "armed", "throw-worker"}, SIGABRT},
        {{"arm", folder_, "disarm", "armed", "kill-self"}, SIGSEGV},
        {{"arm", folder_, "destroy", "armed", "ill"}, SIGILL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commands[2] + " " + c.commands.back());
        const auto result = RunHelper(c.commands);
        if (kSanitized) {
            // The fault goes on to the sanitizer's own handler, which reports it and exits.
            EXPECT_NE(result.exitCode, 0);
        } else {
            EXPECT_EQ(result.signal, c.signal);
            EXPECT_EQ(result.exitCode, -1);
        }
        EXPECT_EQ(Value(result.output, "armed"), "0");
        EXPECT_TRUE(FileNames(folder_).empty());
    }
}

TEST_F(CrashReport, FaultWhileWalkingABrokenStackLosesOnlyTheBacktrace)
{
#if !defined(__x86_64__)
    GTEST_SKIP() << "the broken-stack fault is written for x86-64";
#endif
    ChildResult result;
    const std::string report = CrashAndReadReport({"broken-stack"}, result);
    EXPECT_NE(report.find("signal: 11 SIGSEGV"), std::string::npos) << report;
    EXPECT_NE(report.find("rsp 0x0000000000000010"), std::string::npos) << report;
    EXPECT_NE(report.find("  (walking the stack stopped: a fault, signal 11; the older frames are lost)\n"), std::string::npos)
        << report;
    EXPECT_NE(report.find("\nmemory map:\n"), std::string::npos);
    EXPECT_TRUE(report.ends_with("\nend of report\n"));
}

TEST_F(CrashReport, StuckSymbolLookupFallsBackToPlainAddresses)
{
    if (kThreadSanitizer)
        GTEST_SKIP() << "ThreadSanitizer holds asynchronous signals (the deadline's SIGALRM) until the thread enters an "
                        "intercepted call, which a thread waiting for the loader's lock never does";
    // Naming the frames waits for the loader lock that the loading thread keeps; after its
    // deadline (3 seconds) the report goes on without names.
    const auto started = std::chrono::steady_clock::now();
    ChildResult result;
    const std::string report = CrashAndReadReport({"fault-while-loading", TALVORA_HANGING_LIBRARY}, result);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(Value(result.output, "library-loading"), "1");
    EXPECT_NE(report.find("signal: 11 SIGSEGV"), std::string::npos) << report;
    EXPECT_TRUE(std::regex_search(report, std::regex(R"(\(naming the frames stopped: it took too long; the rest as plain addresses\)\n  #0 0x[0-9a-f]{16}\n  #1 0x)")))
        << report;
    EXPECT_NE(report.find("\nmemory map:\n"), std::string::npos);
    EXPECT_TRUE(report.ends_with("\nend of report\n"));
    EXPECT_GE(took, std::chrono::milliseconds(2500));
}

TEST_F(CrashReport, ReportThatCannotBeCreatedIsExplainedOnlyWhenAsked)
{
    // Every name the report could get in the next seconds is taken by a folder.
    fs::create_directories(folder_);
    const time_t now = time(nullptr);
    for (time_t t = now - 1; t < now + 20; ++t) {
        tm local{};
        localtime_r(&t, &local);
        char stamp[32];
        strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
        fs::create_directory(folder_ + "/" + stamp + ".dmp");
    }
    for (const bool messages : {false, true}) {
        SCOPED_TRACE(messages);
        const auto result = RunHelper({"stderr-to-stdout", messages ? "arm-messages" : "arm", folder_, "segv-main"});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.signal, 0);
        const std::regex message("Failed to create the mini-dump file '" +
                                 std::regex_replace(folder_, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
                                 R"(/\d{14}\.dmp' \(error 21\)\n)");
        EXPECT_EQ(std::regex_search(result.output, message), messages) << result.output;
    }
}
