#include "base/platform/IniFile.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace TestSupport;
using Platform::GetPrivateProfileInt;
using Platform::GetPrivateProfileString;
using Platform::WritePrivateProfileString;
using Platform::WritePrivateProfileStrings;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    std::string Path() const { return dir_ / "config.ini"; }
    std::string Read(const std::string& key, int size = 50, const std::string& section = "Talvora") const
    {
        return GetPrivateProfileString(section, key, "<none>", size, Path());
    }
    TempDir dir_;
};

}  // namespace

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(Read("Debug"), "<none>");
    EXPECT_EQ(GetPrivateProfileInt("Talvora", "Debug", 7, Path()), 7);
    WriteFile(Path(), "[Other]\nDebug=1\n[Talvora]\nAppName=x\n");
    EXPECT_EQ(Read("Debug"), "<none>");
    EXPECT_EQ(GetPrivateProfileInt("Talvora", "Debug", 7, Path()), 7);
    EXPECT_EQ(Read("AppName"), "x");
}

TEST_F(IniFileTest, IntegersComeFromLeadingDigits)
{
    WriteFile(Path(), "[Talvora]\nA=12abc\nB=abc\nC=  42  \nD=-5\nE=99999999999\nF=\n");
    EXPECT_EQ(GetPrivateProfileInt("Talvora", "A", 9, Path()), 12);
    EXPECT_EQ(GetPrivateProfileInt("Talvora", "B", 9, Path()), 0);
    EXPECT_EQ(GetPrivateProfileInt("Talvora", "C", 9, Path()), 42);
    EXPECT_EQ(GetPrivateProfileInt("Talvora", "D", 9, Path()), 0);
    EXPECT_EQ(GetPrivateProfileInt("Talvora", "E", 9, Path()), INT_MAX);
    EXPECT_EQ(GetPrivateProfileInt("Talvora", "F", 9, Path()), 0);
}

TEST_F(IniFileTest, NamesIgnoreCaseAndValuesAreTrimmed)
{
    WriteFile(Path(), "\xEF\xBB\xBF; comment\r\n  [ TALVORA ]  \r\nupdateurl =  http://h:19999  \r\nQuoted=\" a b \"\r\n");
    EXPECT_EQ(Read("UpdateUrl"), "http://h:19999");
    EXPECT_EQ(Read("UPDATEURL", 50, "talvora"), "http://h:19999");
    EXPECT_EQ(Read("Quoted"), " a b ");
}

TEST_F(IniFileTest, FirstOfDuplicateKeysWinsAndLongValuesAreCut)
{
    const std::string sixty(60, 'u');
    WriteFile(Path(), "[Talvora]\nKey=first\nKey=second\nLong=" + sixty + "\n");
    EXPECT_EQ(Read("Key"), "first");
    EXPECT_EQ(Read("Long"), std::string(49, 'u'));
    EXPECT_EQ(GetPrivateProfileString("Talvora", "Nope", std::string(60, 'd'), 50, Path()), std::string(49, 'd'));
    EXPECT_EQ(Read("Key", 0), "");
}

TEST_F(IniFileTest, TextIsWellFormedUtf8AndCutAtCharacters)
{
    // "识别中文", a stray byte, a NUL; a key in Chinese with a Latin capital in it.
    WriteFile(Path(), "[Talvora]\nWide=\xE8\xAF\x86\xE5\x88\xAB\xE4\xB8\xAD\xE6\x96\x87\nBad=a\x80z\nNul=ab" +
                          std::string(1, '\0') + "cd\n\xE9\x94\xAE" "A=k\n");
    EXPECT_EQ(Read("Wide", 3), "\xE8\xAF\x86\xE5\x88\xAB");
    EXPECT_EQ(Read("Bad"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(Read("Nul"), "ab");
    EXPECT_EQ(Read("\xE9\x94\xAE" "a"), "k");
    EXPECT_EQ(GetPrivateProfileString("Talvora", "Nope", "\xE8\xAF\x86\xFF", 50, Path()), "\xE8\xAF\x86\xEF\xBF\xBD");

    ASSERT_TRUE(WritePrivateProfileString("Talvora", "Odd", "x\xFFy", Path()));
    EXPECT_NE(ReadFile(Path()).find("\nOdd=x\xEF\xBF\xBDy\n"), std::string::npos);
    EXPECT_EQ(Read("Odd"), "x\xEF\xBF\xBDy");
}

TEST_F(IniFileTest, WriteCreatesTheFile)
{
    ASSERT_TRUE(WritePrivateProfileString("Talvora", "UploadLogTime", "202612090833", Path()));
    EXPECT_EQ(ReadFile(Path()), "[Talvora]\nUploadLogTime=202612090833\n");
    EXPECT_EQ(Read("uploadlogtime"), "202612090833");
}

TEST_F(IniFileTest, WriteKeepsEveryOtherLineByteForByte)
{
    static const char kJunk[] = "\x01\xFF\xFE binary \x00 junk";
    const std::string junk(kJunk, sizeof kJunk - 1);
    const std::string longLine(100000, 'L');
    const std::string before = "\xEF\xBB\xBF; keep me\r\n[First]\r\nUploadLogTime=other section\r\n" + junk +
                               "\r\n[Talvora]\r\nDebug=1\r\nUploadLogTime=0\r\nUploadLogTime=dup\r\n" + longLine +
                               "\r\n\r\n[Last]\r\nx=y";
    WriteFile(Path(), before);
    ASSERT_TRUE(WritePrivateProfileString("Talvora", "UploadLogTime", "202601010000", Path()));
    std::string expected = before;
    expected.replace(expected.find("UploadLogTime=0"), 15, "UploadLogTime=202601010000");
    EXPECT_EQ(ReadFile(Path()), expected);
}

TEST_F(IniFileTest, NewKeyGoesIntoItsSectionWithTheFilesLineEnds)
{
    WriteFile(Path(), "[Talvora]\r\nDebug=0\r\n\r\n[Other]\r\nk=v\r\n");
    ASSERT_TRUE(WritePrivateProfileString("TALVORA", "AppName", "Talvora", Path()));
    EXPECT_EQ(ReadFile(Path()), "[Talvora]\r\nDebug=0\r\nAppName=Talvora\r\n\r\n[Other]\r\nk=v\r\n");

    WriteFile(Path(), "k=v");  // no section, no final line end
    ASSERT_TRUE(WritePrivateProfileString("Talvora", "Debug", "1", Path()));
    EXPECT_EQ(ReadFile(Path()), "k=v\n[Talvora]\nDebug=1\n");
}

TEST_F(IniFileTest, SeveralKeysGoInOneReplacement)
{
    WriteFile(Path(), "; mine\n[Talvora]\nDebug=0\nUpdateUrl=x\n");
    ASSERT_TRUE(WritePrivateProfileStrings("Talvora", {{"Debug", "1"}, {"Language", "de\nEvil=1"}, {"debug", "2"}}, Path()));
    EXPECT_EQ(ReadFile(Path()), "; mine\n[Talvora]\ndebug=2\nUpdateUrl=x\nLanguage=de Evil=1\n");
    // Nothing but the file is left in its folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), std::filesystem::directory_iterator()), 1);
}

TEST_F(IniFileTest, ValueCannotInjectLines)
{
    ASSERT_TRUE(WritePrivateProfileString("Talvora", "AppName", "x\r\n[Evil]\nDebug=1", Path()));
    EXPECT_EQ(Read("Debug", 50, "Evil"), "<none>");
    EXPECT_EQ(Read("AppName"), "x  [Evil] Debug=1");
}

TEST_F(IniFileTest, WriteIntoMissingFolderFailsAndCreatesNothing)
{
    const std::string path = dir_ / "missing/config.ini";
    EXPECT_FALSE(WritePrivateProfileString("Talvora", "Debug", "1", path));
    EXPECT_FALSE(Exists(dir_ / "missing"));
}

TEST_F(IniFileTest, WriteKeepsTheFileMode)
{
    WriteFile(Path(), "[Talvora]\n");
    chmod(Path().c_str(), 0640);
    ASSERT_TRUE(WritePrivateProfileString("Talvora", "Debug", "1", Path()));
    struct stat info{};
    ASSERT_EQ(stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(IniFileTest, ConcurrentThreadsLoseNoKey)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([this, t] {
            for (int n = 0; n < 25; ++n)
                WritePrivateProfileString("Talvora", "T" + std::to_string(t) + "_" + std::to_string(n), "v", Path());
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < 8; ++t) {
        for (int n = 0; n < 25; ++n)
            EXPECT_EQ(Read("T" + std::to_string(t) + "_" + std::to_string(n)), "v") << t << "_" << n;
    }
}

TEST_F(IniFileTest, TwoProcessesWritingDifferentKeysLoseNothing)
{
    WriteFile(Path(), "[Keep]\nuntouched=yes\n");
    const std::string path = Path();
    ChildResult first, second;
    std::thread a([&] { first = RunChild({TALVORA_BASE_HELPER, "ini-write", path, "A", "100"}); });
    std::thread b([&] { second = RunChild({TALVORA_BASE_HELPER, "ini-write", path, "B", "100"}); });
    a.join();
    b.join();
    ASSERT_EQ(first.exitCode, 0);
    ASSERT_EQ(second.exitCode, 0);
    for (int n = 0; n < 100; ++n) {
        EXPECT_EQ(Read("A" + std::to_string(n)), "v" + std::to_string(n));
        EXPECT_EQ(Read("B" + std::to_string(n)), "v" + std::to_string(n));
    }
    EXPECT_EQ(Read("untouched", 50, "Keep"), "yes");
    // No temporary file is left beside the settings.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

// A FIFO (or a device) as config.ini is never waited on, neither by a read at start-up nor by a
// write; it is left as it is and the log says so.
TEST(IniFileSpecialFiles, AFifoIsIgnoredWithAWarningAndNeverBlocks)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "xdg/Talvora");
    const std::string config = dir / "xdg/Talvora/config.ini";
    ASSERT_EQ(mkfifo(config.c_str(), 0600), 0);
    const ChildResult result = RunChild({TALVORA_BASE_HELPER, "log-open", "config-read", "Debug", "config-write", "Debug", "1",
                                         "update-read", "UpdateUrl"},
                                        {{"XDG_DATA_HOME", dir / "xdg"}}, std::chrono::seconds(20));
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("Debug=<default>\nUpdateUrl=<default>\n"), std::string::npos) << result.output;
    struct stat info{};
    ASSERT_EQ(lstat(config.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    const std::string log = ReadFile(dir / "xdg/Talvora/Talvora.log");
    EXPECT_NE(log.find(LogEntry("IniFile::Read", config + " is not a regular file; it is ignored")), std::string::npos) << log;
    EXPECT_NE(log.find(LogEntry("IniFile::Write", config + " is not a regular file; the setting is not written")), std::string::npos)
        << log;
}
