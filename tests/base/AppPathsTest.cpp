#include "base/AppPaths.h"
#include "base/Config.h"
#include "base/TextConvert.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

std::string Value(const std::string& output, const std::string& name)
{
    for (const auto& line : SplitLines(output, "\n")) {
        if (line.starts_with(name + "="))
            return line.substr(name.size() + 1);
    }
    return "<missing>";
}

std::string HelperDir()
{
    const std::string helper = TALVORA_BASE_HELPER;
    return helper.substr(0, helper.rfind('/'));
}

}  // namespace

TEST(AppPaths, FreshAccountCreatesOnlyTheAppFolder)
{
    TempDir dir;
    const std::string xdg = dir / "data home";  // a blank in the path, and not there yet
    const auto result = RunChild({TALVORA_BASE_HELPER, "paths"}, {{"XDG_DATA_HOME", xdg}});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(Value(result.output, "appdata"), xdg + "/Talvora");
    EXPECT_TRUE(fs::is_directory(xdg + "/Talvora"));
    EXPECT_FALSE(Exists(xdg + "/Talvora/Temp"));
    EXPECT_FALSE(Exists(xdg + "/Talvora/config.ini"));
    EXPECT_EQ(Value(result.output, "config"), xdg + "/Talvora/config.ini");
    EXPECT_EQ(Value(result.output, "update"), xdg + "/Talvora");
    EXPECT_EQ(Value(result.output, "module"), HelperDir());
    EXPECT_EQ(Value(result.output, "config-beside"), HelperDir() + "/Talvora/config.ini");
}

TEST(AppPaths, FallsBackToHomeWhenXdgIsUnsetOrRelative)
{
    TempDir dir;
    const std::string home = dir / "h\xC3\xA9";
    fs::create_directories(home);
    for (const std::string xdg : {"", "relative/path"}) {
        const auto result = RunChild({TALVORA_BASE_HELPER, "paths", "temp"}, {{"XDG_DATA_HOME", xdg}, {"HOME", home}});
        ASSERT_EQ(result.exitCode, 0);
        EXPECT_EQ(Value(result.output, "appdata"), home + "/.local/share/Talvora");
        EXPECT_TRUE(Value(result.output, "temp").starts_with(home + "/.local/share/Talvora/Temp/run-")) << result.output;
        EXPECT_TRUE(fs::is_directory(Value(result.output, "temp")));
    }
}

TEST(AppPaths, UnwritableDataFolderStillRuns)
{
    TempDir dir;
    WriteFile(dir / "file", "not a folder");
    const auto result = RunChild({TALVORA_BASE_HELPER, "log-open", "log", "x", "paths", "temp", "config-write", "Debug", "1", "clear"},
                                 {{"XDG_DATA_HOME", dir / "file/sub"}});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Value(result.output, "appdata"), dir / "file/sub/Talvora");
}

TEST(AppPaths, ClearTempDirMovesTempIntoTheUsersTemporaryFolder)
{
    TempDir dir;
    const std::map<std::string, std::string> env{{"XDG_DATA_HOME", dir / "xdg"}, {"TMPDIR", dir / "tmp"}};
    fs::create_directories(dir / "tmp");
    const std::string appData = dir / "xdg/Talvora";
    const std::string userTemp = dir.Path() + "/tmp/talvora-" + std::to_string(getuid());

    for (const std::string run : {"first", "second"}) {
        ASSERT_EQ(RunChild({TALVORA_BASE_HELPER, "job", "0123456789abcdef0123456789abcdef", run, "clear"}, env).exitCode, 0);
        EXPECT_FALSE(Exists(appData + "/Temp"));
        EXPECT_EQ(ReadFile(userTemp + "/Temp/0123456789abcdef0123456789abcdef/1.pcm"), run);
    }
    struct stat info{};
    ASSERT_EQ(stat(userTemp.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(AppPaths, ClearTempDirAcrossFileSystems)
{
    struct stat shm{}, here{};
    TempDir dir;
    if (stat("/dev/shm", &shm) != 0 || stat(dir.Path().c_str(), &here) != 0 || shm.st_dev == here.st_dev || access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second writable file system (/dev/shm) here";
    std::string tmp = "/dev/shm/talvora-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmp.data()), nullptr);
    const std::map<std::string, std::string> env{{"XDG_DATA_HOME", dir / "xdg"}, {"TMPDIR", tmp}};
    ASSERT_EQ(RunChild({TALVORA_BASE_HELPER, "job", "job", "pcm", "clear"}, env).exitCode, 0);
    EXPECT_FALSE(Exists(dir / "xdg/Talvora/Temp"));
    EXPECT_EQ(ReadFile(tmp + "/talvora-" + std::to_string(getuid()) + "/Temp/job/1.pcm"), "pcm");
    std::error_code ignored;
    fs::remove_all(tmp, ignored);
}

// The window, a transcriber and whatever else runs on one data folder: a run that ends moves
// only its own job folders away, and the next start clears out what runs that died left behind.
TEST(AppPaths, EachRunMovesOnlyItsOwnTempAndEndedRunsAreSweptAway)
{
    TempDir dir;
    fs::create_directories(dir / "tmp");
    const std::map<std::string, std::string> env{{"XDG_DATA_HOME", dir / "xdg"}, {"TMPDIR", dir / "tmp"}};
    const std::string movedTemp = dir.Path() + "/tmp/talvora-" + std::to_string(getuid()) + "/Temp";

    // A run that died without moving its folder, and a job folder of the older, shared layout.
    const auto dead = RunChild({TALVORA_BASE_HELPER, "temp", "job", "dead", "x"}, env);
    ASSERT_EQ(dead.exitCode, 0);
    fs::create_directories(dir / "xdg/Talvora/Temp/0123456789abcdef0123456789abcdef");
    Child alive({TALVORA_BASE_HELPER, "temp", "job", "alive", "y", "hold"}, env);
    ASSERT_TRUE(alive.ReadUntil([](const std::string& out) { return out.find("held\n") != std::string::npos; }, std::chrono::seconds(20)));
    const std::string aliveTemp = Value(alive.Output(), "temp");
    EXPECT_NE(aliveTemp, Value(dead.output, "temp"));

    const auto ending = RunChild({TALVORA_BASE_HELPER, "temp", "job", "mine", "z", "clear"}, env);
    ASSERT_EQ(ending.exitCode, 0);
    EXPECT_EQ(ReadFile(aliveTemp + "/alive/1.pcm"), "y");
    EXPECT_FALSE(Exists(Value(dead.output, "temp")));
    EXPECT_FALSE(Exists(dir / "xdg/Talvora/Temp/0123456789abcdef0123456789abcdef"));
    EXPECT_EQ(ReadFile(movedTemp + "/mine/1.pcm"), "z");
    EXPECT_FALSE(Exists(movedTemp + "/alive"));
    struct stat info{};
    ASSERT_EQ(stat(aliveTemp.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(AppPaths, ClearTempDirRefusesAForeignTemporaryFolder)
{
    TempDir dir;
    fs::create_directories(dir / "tmp");
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir.Path() + "/tmp/talvora-" + std::to_string(getuid()));
    const std::map<std::string, std::string> env{{"XDG_DATA_HOME", dir / "xdg"}, {"TMPDIR", dir / "tmp"}};
    const auto result = RunChild({TALVORA_BASE_HELPER, "log-open", "temp", "clear"}, env);
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(fs::is_directory(dir / "xdg/Talvora/Temp"));
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
    EXPECT_NE(ReadFile(dir / "xdg/Talvora/Talvora.log").find("warning>>> "), std::string::npos);
}

TEST(Config, WritesBothSettingsFilesAndReadsTheFirst)
{
    TempDir dir;
    // A copy of the helper in a folder of its own, so the folder beside the program is ours.
    const std::string program = dir / "bin/helper";
    fs::create_directories(dir / "bin/Talvora");
    fs::copy_file(TALVORA_BASE_HELPER, program);
    const std::map<std::string, std::string> env{{"XDG_DATA_HOME", dir / "xdg"}};

    auto result = RunChild({program, "config-read", "UploadLogTime", "update-read", "UpdateUrl"}, env);
    EXPECT_EQ(Value(result.output, "UploadLogTime"), "<default>");
    EXPECT_EQ(Value(result.output, "UpdateUrl"), "<default>");

    result = RunChild({program, "config-write", "UploadLogTime", "202612090833", "config-read", "uploadlogtime"}, env);
    EXPECT_EQ(Value(result.output, "uploadlogtime"), "202612090833");
    EXPECT_EQ(ReadFile(dir / "xdg/Talvora/config.ini"), "[Talvora]\nUploadLogTime=202612090833\n");
    EXPECT_EQ(ReadFile(dir / "bin/Talvora/config.ini"), "[Talvora]\nUploadLogTime=202612090833\n");

    // Without the folder beside the program only the first file is written.
    fs::remove_all(dir / "bin/Talvora");
    result = RunChild({program, "config-write", "UploadLogTime", "1"}, env);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(Exists(dir / "bin/Talvora"));

    WriteFile(dir / "xdg/Talvora/config.ini", "[talvora]\nUpdateUrl=http://update.talvora.example:19999\n");
    result = RunChild({program, "update-read", "UpdateUrl"}, env);
    EXPECT_EQ(Value(result.output, "UpdateUrl"), "http://update.talvora.example:19999");
}

TEST(Config, ReadsDebugFreshOnEveryCall)
{
    const std::string path = AppPaths::GetAppDataDir() + "/config.ini";
    EXPECT_EQ(ReadConfigInt("Debug", 0), 0);
    WriteFile(path, "[Talvora]\nDebug=1\n");
    EXPECT_EQ(ReadConfigInt("Debug", 0), 1);
    WriteFile(path, "[Talvora]\n");
    EXPECT_EQ(ReadConfigInt("Debug", 0), 0);
    std::remove(path.c_str());
}
