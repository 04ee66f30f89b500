#include "base/TextConvert.h"
#include "engine/MediaInfoProbe.h"
#include "support/AudioFiles.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace TestSupport;
namespace fs = std::filesystem;

TEST(MediaInfoProbe, DurationsInWholeSeconds)
{
    ASSERT_EQ(LoadMediaInfoLibrary(), 1);
    TempDir dir;
    ASSERT_TRUE(MakeToneFile(dir / "a.wav", 183.25, {440}, 183.25));
    ASSERT_TRUE(MakeToneFile(dir / "b.mp3", 5.5, {440}, 5.5));
    const std::string odd = dir / "\xE9\x9F\xB3 file.wav";
    fs::copy_file(dir / "a.wav", odd);
    EXPECT_EQ(ProbeAudioDuration(dir / "a.wav"), 183);
    EXPECT_EQ(ProbeAudioDuration(odd), 183);
    const int mp3 = ProbeAudioDuration(dir / "b.mp3");
    EXPECT_GE(mp3, 5);
    EXPECT_LE(mp3, 6);
    ASSERT_TRUE(MakeToneFile(dir / "short.wav", 0.999, {440}, 0.999));
    EXPECT_EQ(ProbeAudioDuration(dir / "short.wav"), 0);
}

TEST(MediaInfoProbe, NothingToLearnGivesZero)
{
    TempDir dir;
    WriteFile(dir / "notes.txt", "just some text, no audio at all\n");
    EXPECT_EQ(ProbeAudioDuration(dir / "notes.txt"), 0);
    EXPECT_EQ(ProbeAudioDuration(dir / "missing.wav"), 0);
    EXPECT_EQ(ProbeAudioDuration(""), 0);
}

TEST(MediaInfoProbe, MissingLibraryGivesZeroAndIsTriedAgain)
{
    // A stand-in "libmediainfo.so.0" without the library's entry points comes first on the
    // search path; once it is replaced by the real library the next probe finds it.
    TempDir dir;
    ASSERT_TRUE(MakeToneFile(dir / "a.wav", 3.5, {440}, 3.5));
    fs::create_directories(dir / "lib");
    fs::copy_file(TALVORA_FAKE_MEDIAINFO, dir / "lib/libmediainfo.so.0");
    const auto result = RunChild({TALVORA_PROBE_HELPER, dir / "a.wav", dir / "lib/libmediainfo.so.0", TALVORA_REAL_MEDIAINFO},
                                 {{"LD_LIBRARY_PATH", dir / "lib"}});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "load=-1 probe=0\nload=-1 probe=0\nload=1 probe=3\n");
}
