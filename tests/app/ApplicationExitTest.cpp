#include "support/TestSupport.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

std::string Value(const std::string& output, const std::string& name)
{
    for (const auto& line : SplitLines(output, "\n")) {
        if (line.starts_with(name + "="))
            return line.substr(name.size() + 1);
    }
    return "<missing>";
}

}  // namespace

TEST(ApplicationExit, LogsDisarmsAndMovesTheTemporaryFolderAway)
{
    TempDir dir;
    const std::string data = dir / "data";
    const std::string tmp = dir / "tmp";
    fs::create_directories(tmp);
    const auto result = RunChild({TALVORA_EXIT_HELPER}, {{"XDG_DATA_HOME", data}, {"TMPDIR", tmp}});

    EXPECT_EQ(Value(result.output, "armed-before"), "1");
    // Once the exit returns (the window closes after it), its three steps are done.
    EXPECT_EQ(Value(result.output, "logged-after"), "1");
    EXPECT_EQ(Value(result.output, "armed-after"), "0");
    EXPECT_EQ(Value(result.output, "temp-left-after"), "0");
    EXPECT_EQ(Value(result.output, "temp-moved-after"), "1");
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
