#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

// A program folder of the test's own with a copy of the helper in it, and a data folder.
class InstallFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(install_);
        fs::copy_file(TALVORA_MAINTENANCE_HELPER, install_ + "/talvora");
        env_ = {{"XDG_DATA_HOME", dir_ / "data"}};
    }
    std::vector<std::string> Lines(const std::string& output)
    {
        return SplitLines(output, "\n");
    }

    TempDir dir_;
    std::string install_ = dir_ / "install dir";
    std::map<std::string, std::string> env_;
};

}  // namespace

TEST_F(InstallFolderTest, ScanWithoutLocalManifestVisitsEachFolderOnce)
{
    fs::create_directories(install_ + "/logs/deep");
    fs::create_directories(install_ + "/Logs");
    fs::create_directories(install_ + "/plugins/a");
    WriteFile(install_ + "/log.txt", "kept");
    WriteFile(install_ + "/logs/skipped.txt", "skipped");
    WriteFile(install_ + "/plugins/a/x.so", "x");
    fs::create_directory_symlink(install_, install_ + "/plugins/loop");

    LoopbackHttpServer server;
    server.Server().Get("/version/Talvora", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"({"latest-version":"1.0.9","minimum-required":"1.0.9"})", "application/json");
    });
    server.Server().Get("/latest/Talvora", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"({"files":[{"path":"log.txt","size":4,"digest":"0000000000000000000000000000000000000000"}]})", "application/json");
    });
    server.Start();
    fs::create_directories(dir_ / "data/Talvora");
    WriteFile(dir_ / "data/Talvora/config.ini", "[Talvora]\nUpdateUrl=" + server.Url() + "\n");

    const auto result = RunChild({install_ + "/talvora", "update-check"}, env_);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::vector<std::string> expected = {
        "1|1.0.9|",
        "0|" + install_ + "|",
        "0|" + install_ + "/Logs|",
        "0|" + install_ + "/plugins|",
        "0|" + install_ + "/plugins/a|",
        "4||",
    };
    EXPECT_EQ(Lines(result.output), expected);
}

TEST_F(InstallFolderTest, LaunchUpdaterRunsACopyOfTheUpdater)
{
    const std::string marker = dir_ / "ran";
    WriteFile(install_ + "/AutoUpdate", "#!/bin/sh\necho \"$0\" > '" + marker + "'\n");
    fs::permissions(install_ + "/AutoUpdate", fs::perms::owner_all);
    ASSERT_EQ(RunChild({install_ + "/talvora", "launch"}, env_).exitCode, 0);
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(marker).find('\n') != std::string::npos; }));
    EXPECT_EQ(ReadFile(marker), install_ + "/AutoUpdateTmp\n");
    EXPECT_TRUE(fs::exists(install_ + "/AutoUpdateTmp"));
}

TEST_F(InstallFolderTest, LaunchUpdaterFallsBackToTheOriginal)
{
    const std::string marker = dir_ / "ran";
    WriteFile(install_ + "/AutoUpdate", "#!/bin/sh\necho \"$0\" > '" + marker + "'\n");
    fs::permissions(install_ + "/AutoUpdate", fs::perms::owner_all);
    fs::create_directories(install_ + "/AutoUpdateTmp");  // the copy cannot replace a folder
    ASSERT_EQ(RunChild({install_ + "/talvora", "launch"}, env_).exitCode, 0);
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(marker).find('\n') != std::string::npos; }));
    EXPECT_EQ(ReadFile(marker), install_ + "/AutoUpdate\n");
}
