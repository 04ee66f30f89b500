#include "base/TextConvert.h"
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

namespace {

class IniFileTest : public ::testing::Test {
protected:
    std::wstring Path() const { return AnsiToWide(dir_ / "config.ini"); }
    std::string NarrowPath() const { return dir_ / "config.ini"; }
    std::wstring Read(const std::wstring& key, int size = 50, const std::wstring& section = L"Talvora") const
    {
        return GetPrivateProfileString(section, key, L"<none>", size, Path());
    }
    TempDir dir_;
};

}  // namespace

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(Read(L"Debug"), L"<none>");
    EXPECT_EQ(GetPrivateProfileInt(L"Talvora", L"Debug", 7, Path()), 7);
    WriteFile(NarrowPath(), "[Other]\nDebug=1\n[Talvora]\nAppName=x\n");
    EXPECT_EQ(Read(L"Debug"), L"<none>");
    EXPECT_EQ(GetPrivateProfileInt(L"Talvora", L"Debug", 7, Path()), 7);
    EXPECT_EQ(Read(L"AppName"), L"x");
}

TEST_F(IniFileTest, IntegersComeFromLeadingDigits)
{
    WriteFile(NarrowPath(), "[Talvora]\nA=12abc\nB=abc\nC=  42  \nD=-5\nE=99999999999\nF=\n");
    EXPECT_EQ(GetPrivateProfileInt(L"Talvora", L"A", 9, Path()), 12);
    EXPECT_EQ(GetPrivateProfileInt(L"Talvora", L"B", 9, Path()), 0);
    EXPECT_EQ(GetPrivateProfileInt(L"Talvora", L"C", 9, Path()), 42);
    EXPECT_EQ(GetPrivateProfileInt(L"Talvora", L"D", 9, Path()), 0);
    EXPECT_EQ(GetPrivateProfileInt(L"Talvora", L"E", 9, Path()), INT_MAX);
    EXPECT_EQ(GetPrivateProfileInt(L"Talvora", L"F", 9, Path()), 0);
}

TEST_F(IniFileTest, NamesIgnoreCaseAndValuesAreTrimmed)
{
    WriteFile(NarrowPath(), "\xEF\xBB\xBF; comment\r\n  [ TALVORA ]  \r\nupdateurl =  http://h:19999  \r\nQuoted=\" a b \"\r\n");
    EXPECT_EQ(Read(L"UpdateUrl"), L"http://h:19999");
    EXPECT_EQ(Read(L"UPDATEURL", 50, L"talvora"), L"http://h:19999");
    EXPECT_EQ(Read(L"Quoted"), L" a b ");
}

TEST_F(IniFileTest, FirstOfDuplicateKeysWinsAndLongValuesAreCut)
{
    const std::string sixty(60, 'u');
    WriteFile(NarrowPath(), "[Talvora]\nKey=first\nKey=second\nLong=" + sixty + "\n");
    EXPECT_EQ(Read(L"Key"), L"first");
    EXPECT_EQ(Read(L"Long"), std::wstring(49, L'u'));
    EXPECT_EQ(GetPrivateProfileString(L"Talvora", L"Nope", std::wstring(60, L'd'), 50, Path()), std::wstring(49, L'd'));
    EXPECT_EQ(Read(L"Key", 0), L"");
}

TEST_F(IniFileTest, WriteCreatesTheFile)
{
    ASSERT_TRUE(WritePrivateProfileString(L"Talvora", L"UploadLogTime", L"202612090833", Path()));
    EXPECT_EQ(ReadFile(NarrowPath()), "[Talvora]\nUploadLogTime=202612090833\n");
    EXPECT_EQ(Read(L"uploadlogtime"), L"202612090833");
}

TEST_F(IniFileTest, WriteKeepsEveryOtherLineByteForByte)
{
    static const char kJunk[] = "\x01\xFF\xFE binary \x00 junk";
    const std::string junk(kJunk, sizeof kJunk - 1);
    const std::string longLine(100000, 'L');
    const std::string before = "\xEF\xBB\xBF; keep me\r\n[First]\r\nUploadLogTime=other section\r\n" + junk +
                               "\r\n[Talvora]\r\nDebug=1\r\nUploadLogTime=0\r\nUploadLogTime=dup\r\n" + longLine +
                               "\r\n\r\n[Last]\r\nx=y";
    WriteFile(NarrowPath(), before);
    ASSERT_TRUE(WritePrivateProfileString(L"Talvora", L"UploadLogTime", L"202601010000", Path()));
    std::string expected = before;
    expected.replace(expected.find("UploadLogTime=0"), 15, "UploadLogTime=202601010000");
    EXPECT_EQ(ReadFile(NarrowPath()), expected);
}

TEST_F(IniFileTest, NewKeyGoesIntoItsSectionWithTheFilesLineEnds)
{
    WriteFile(NarrowPath(), "[Talvora]\r\nDebug=0\r\n\r\n[Other]\r\nk=v\r\n");
    ASSERT_TRUE(WritePrivateProfileString(L"TALVORA", L"AppName", L"Talvora", Path()));
    EXPECT_EQ(ReadFile(NarrowPath()), "[Talvora]\r\nDebug=0\r\nAppName=Talvora\r\n\r\n[Other]\r\nk=v\r\n");

    WriteFile(NarrowPath(), "k=v");  // no section, no final line end
    ASSERT_TRUE(WritePrivateProfileString(L"Talvora", L"Debug", L"1", Path()));
    EXPECT_EQ(ReadFile(NarrowPath()), "k=v\n[Talvora]\nDebug=1\n");
}

TEST_F(IniFileTest, ValueCannotInjectLines)
{
    ASSERT_TRUE(WritePrivateProfileString(L"Talvora", L"AppName", L"x\r\n[Evil]\nDebug=1", Path()));
    EXPECT_EQ(Read(L"Debug", 50, L"Evil"), L"<none>");
    EXPECT_EQ(Read(L"AppName"), L"x  [Evil] Debug=1");
}

TEST_F(IniFileTest, WriteIntoMissingFolderFailsAndCreatesNothing)
{
    const std::wstring path = AnsiToWide(dir_ / "missing/config.ini");
    EXPECT_FALSE(WritePrivateProfileString(L"Talvora", L"Debug", L"1", path));
    EXPECT_FALSE(Exists(dir_ / "missing"));
}

TEST_F(IniFileTest, WriteKeepsTheFileMode)
{
    WriteFile(NarrowPath(), "[Talvora]\n");
    chmod(NarrowPath().c_str(), 0640);
    ASSERT_TRUE(WritePrivateProfileString(L"Talvora", L"Debug", L"1", Path()));
    struct stat info{};
    ASSERT_EQ(stat(NarrowPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(IniFileTest, ConcurrentThreadsLoseNoKey)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([this, t] {
            for (int n = 0; n < 25; ++n)
                WritePrivateProfileString(L"Talvora", L"T" + std::to_wstring(t) + L"_" + std::to_wstring(n), L"v", Path());
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < 8; ++t) {
        for (int n = 0; n < 25; ++n)
            EXPECT_EQ(Read(L"T" + std::to_wstring(t) + L"_" + std::to_wstring(n)), L"v") << t << "_" << n;
    }
}

TEST_F(IniFileTest, TwoProcessesWritingDifferentKeysLoseNothing)
{
    WriteFile(NarrowPath(), "[Keep]\nuntouched=yes\n");
    const std::string path = NarrowPath();
    ChildResult first, second;
    std::thread a([&] { first = RunChild({TALVORA_BASE_HELPER, "ini-write", path, "A", "100"}); });
    std::thread b([&] { second = RunChild({TALVORA_BASE_HELPER, "ini-write", path, "B", "100"}); });
    a.join();
    b.join();
    ASSERT_EQ(first.exitCode, 0);
    ASSERT_EQ(second.exitCode, 0);
    for (int n = 0; n < 100; ++n) {
        EXPECT_EQ(Read(L"A" + std::to_wstring(n)), L"v" + std::to_wstring(n));
        EXPECT_EQ(Read(L"B" + std::to_wstring(n)), L"v" + std::to_wstring(n));
    }
    EXPECT_EQ(Read(L"untouched", 50, L"Keep"), L"yes");
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
