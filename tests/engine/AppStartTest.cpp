#include "base/AppVersion.h"
#include "app/ProgramProcess.h"
#include "support/TestSupport.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

// Runs the program with its own data folder until its start entry is logged, ends it the way
// the session does (SIGTERM) and returns its log.
std::string StartProgram(const TempDir& dir, const std::string* credentials)
{
    const std::string appData = dir / "data/Talvora";
    fs::create_directories(appData);
    if (credentials != nullptr)
        WriteFile(appData + "/credentials.json", *credentials);
    AppTest::ProgramProcess program;
    EXPECT_TRUE(program.Start({TALVORA_APP}, {{"XDG_DATA_HOME", dir / "data"}, {"QT_QPA_PLATFORM", "offscreen"}},
                              dir / "output.txt"));
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(appData + "/Talvora.log").find(std::string("start app ") + kAppVersionText) != std::string::npos; },
                          std::chrono::seconds(30)));
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir / "output.txt");
    EXPECT_TRUE(fs::is_directory(appData + "/crashDumps"));
    return ReadFile(appData + "/Talvora.log");
}

// The position of the first line that matches `pattern`, or npos.
size_t LineAt(const std::string& log, const std::string& pattern)
{
    std::smatch match;
    if (!std::regex_search(log, match, std::regex(pattern)))
        return std::string::npos;
    return static_cast<size_t>(match.position(0));
}

}  // namespace

TEST(AppStart, CredentialsAreReadBeforeTheStartEntry)
{
    TempDir dir;
    const std::string good = R"([{"api_key": "k", "secret_key": "PrivateSecretKey0123"}])";
    std::string log = StartProgram(dir, &good);
    const size_t read = LineAt(log, R"(\[\d+\]CredentialsFile::Read:\t\t1 credential pair\(s\) read from [^\r]*/credentials\.json\r\n)");
    const size_t start = LineAt(log, R"(\[\d+\]WinMain:\t\tstart app v1\.0\.8\r\n)");
    ASSERT_NE(read, std::string::npos) << log;
    ASSERT_NE(start, std::string::npos) << log;
    EXPECT_LT(read, start);
    EXPECT_EQ(log.find("PrivateSecretKey0123"), std::string::npos);
}

TEST(AppStart, MissingOrMalformedCredentialsStillStart)
{
    TempDir missing;
    std::string log = StartProgram(missing, nullptr);
    EXPECT_NE(log.find("credentials.json not found; the built-in credential pair is used\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(std::string("WinMain:\t\tstart app ") + kAppVersionText + "\r\n"), std::string::npos);

    TempDir malformed;
    const std::string bad = R"([{"api_key": "k", "secret_key": "PrivateSecretKey0123"})";
    log = StartProgram(malformed, &bad);
    EXPECT_NE(LineAt(log, R"(warning>>> \[\d+\]CredentialsFile::Read:\t\t[^\r]*credentials\.json is not used: it is not valid JSON \(line 1, column \d+\); the built-in credential pair stays in use\r\n)"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(std::string("WinMain:\t\tstart app ") + kAppVersionText + "\r\n"), std::string::npos);
    EXPECT_EQ(log.find("PrivateSecretKey0123"), std::string::npos);
}
