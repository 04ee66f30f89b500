// The one save sequence of finished texts: names from the audio files' names that never repeat
// nor replace a file, in one folder shared with other saves.
#include "engine/ResultFolder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

namespace fs = std::filesystem;

TEST(ResultFolder, NamesComeFromTheFileNameAndNeverRepeat)
{
    EXPECT_EQ(ResultFileNames::BaseName("/a/rec.2019.mp3"), "rec.2019");
    EXPECT_EQ(ResultFileNames::BaseName("/a/my.folder/track"), "track");
    EXPECT_EQ(ResultFileNames::BaseName("/a/录音 一.wav"), "录音 一");
    ResultFileNames names;
    EXPECT_EQ(names.Take("/a/talk (2).mp3"), "talk (2)");
    EXPECT_EQ(names.Take("/a/talk.mp3"), "talk");
    EXPECT_EQ(names.Take("/a/talk.wav"), "talk (3)");
    EXPECT_EQ(names.Take("/b/talk.mp3"), "talk (4)");
    // One file on a file system that ignores case.
    EXPECT_EQ(names.Take("/b/Talk.mp3"), "Talk (5)");

    // Names of files already in the folder are taken too, whatever their case.
    TestSupport::TempDir dir;
    TestSupport::WriteFile(dir / "MEMO.TXT", "kept");
    TestSupport::WriteFile(dir / "memo (2).txt", "kept");
    ResultFileNames inFolder(dir.Path());
    EXPECT_EQ(inFolder.Take("/a/memo.wav"), "memo (3)");
    EXPECT_EQ(inFolder.Take("/a/memo"), "memo (4)");
    EXPECT_EQ(inFolder.Take("/a/talk.wav"), "talk");
}

// The same text again is not written twice; what cannot be written says where and why.
TEST(ResultFolder, TheSameTextIsFoundAndAFailureSaysTheFolderAndTheReason)
{
    TestSupport::TempDir dir;
    ResultFolder srt(dir.Path(), ResultForm::Srt);
    const SavedResult first = srt.Save("/a/talk.wav", "1\n");
    EXPECT_TRUE(first.saved);
    EXPECT_EQ(first.name, "talk.srt");
    ResultFolder again(dir.Path(), ResultForm::Srt);
    const SavedResult second = again.Save("/b/talk.mp3", "1\n");
    EXPECT_TRUE(second.saved);
    EXPECT_TRUE(second.alreadyThere);
    EXPECT_EQ(second.name, "talk.srt");
    EXPECT_EQ(again.Save("/b/talk.mp3", "2\n").name, "talk (2).srt");

    ResultFolder missing(dir / "gone", ResultForm::Text);
    const SavedResult lost = missing.Save("/a/talk.wav", "text\n");
    EXPECT_FALSE(lost.saved);
    EXPECT_EQ(lost.failure, dir / "gone" + ": No such file or directory");
    EXPECT_EQ(SaveSummary({first, lost}).Plain(), "成功保存 1 个结果\n1 个结果保存失败: " + dir / "gone" + ": No such file or directory");
    EXPECT_EQ(SaveSummary({first, second}).Plain(), "成功保存 2 个结果");
}

// The window translates a text's source and fills in the same values; what a value brings in
// stays as it is.
TEST(ResultFolder, ASummarysValuesGoInOnceEachWhateverTheyHold)
{
    EXPECT_EQ(ShownText::Fill("%2 / %1 / %3", {"a%2", "b"}), "b / a%2 / %3");
    EXPECT_EQ(ShownText::Fill("100%", {"x"}), "100%");
    const ShownText failed{"%1 个结果保存失败: %2", {{"1"}, {"/%1: gone"}}};
    EXPECT_EQ(failed.Plain(), "1 个结果保存失败: /%1: gone");
}

// Two saves into one folder at once (two windows, two transcribers), each with its own view of
// the names there, and a file of the same name written meanwhile by someone else.
TEST(ResultFolder, RacingSavesKeepEveryTextAndNeverReplaceAFileWrittenMeanwhile)
{
    TestSupport::TempDir dir;
    ResultFolder first(dir.Path(), ResultForm::Text);
    ResultFolder second(dir.Path(), ResultForm::Text);
    TestSupport::WriteFile(dir / "talk.txt", "written meanwhile");
    constexpr int kRounds = 20;
    std::atomic<int> ready{0};
    const auto saver = [&](ResultFolder& folder, const std::string& text) {
        ready.fetch_add(1);
        while (ready.load() < 2) {
        }
        for (int round = 0; round < kRounds; ++round) {
            const SavedResult result = folder.Save("/a/talk.wav", text + std::to_string(round));
            EXPECT_TRUE(result.saved) << result.failure;
            EXPECT_FALSE(result.alreadyThere);
        }
    };
    std::thread one(saver, std::ref(first), "one ");
    std::thread two(saver, std::ref(second), "two ");
    one.join();
    two.join();
    EXPECT_EQ(TestSupport::ReadFile(dir / "talk.txt"), "written meanwhile");
    std::multiset<std::string> texts;
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        ++files;
        texts.insert(TestSupport::ReadFile(entry.path().string()));
    }
    EXPECT_EQ(files, 2u * kRounds + 1);
    for (int round = 0; round < kRounds; ++round) {
        EXPECT_EQ(texts.count("one " + std::to_string(round)), 1u) << round;
        EXPECT_EQ(texts.count("two " + std::to_string(round)), 1u) << round;
    }
}

