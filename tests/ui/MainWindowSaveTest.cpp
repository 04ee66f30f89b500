// Saving the texts of the finished files: one text file per audio file in the folder the user
// picks, distinct names when audio names clash, and an honest count.
#include "tests/ui/MainWindowFixture.h"
#include "ui/ResultFileNames.h"

#include <filesystem>

using namespace MainWindowTesting;
namespace fs = std::filesystem;

namespace {

TEST(ResultFileNamesTest, NamesComeFromTheFileNameAndNeverRepeat)
{
    EXPECT_EQ(ResultFileNames::BaseName(L"/a/rec.2019.mp3"), L"rec.2019");
    EXPECT_EQ(ResultFileNames::BaseName(L"/a/my.folder/track"), L"track");
    EXPECT_EQ(ResultFileNames::BaseName(L"/a/录音 一.wav"), L"录音 一");
    ResultFileNames names;
    EXPECT_EQ(names.Take(L"/a/talk (2).mp3"), L"talk (2)");
    EXPECT_EQ(names.Take(L"/a/talk.mp3"), L"talk");
    EXPECT_EQ(names.Take(L"/a/talk.wav"), L"talk (3)");
    EXPECT_EQ(names.Take(L"/b/talk.mp3"), L"talk (4)");
    EXPECT_EQ(names.Take(L"/b/Talk.mp3"), L"Talk");
}

class MainWindowSaveTest : public MainWindowTest {
protected:
    // Adds the files and transcribes them all.
    void Transcribe(const std::vector<std::string>& files)
    {
        for (const std::string& file : files)
            Add(file);
        gate_.OpenAll();
        ClickControl(L"btnStartAll");
        for (int row = 0; row < list_->GetCount(); ++row)
            ASSERT_TRUE(WaitStatus(row, ItemDone)) << row;
    }
    // Clicks "btnSave" and answers the folder chooser with `folder` (empty: cancel).
    void Save(const std::string& folder)
    {
        FolderChooserAnswer answer(QString::fromStdString(folder));
        ClickControl(L"btnSave");
        EXPECT_TRUE(answer.Answered());
        EXPECT_EQ(answer.Title(), QStringLiteral("选择保存目录"));
    }
};

TEST_F(MainWindowSaveTest, NothingFinishedMeansNothingToSave)
{
    Add(MakeAudio("a.wav", 20, {440}));
    FolderChooserAnswer answer(QString::fromStdString(dir_.Path()));
    ClickControl(L"btnSave");
    EXPECT_FALSE(answer.Answered());
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"暂无需要保存的内容!") == 1; }));
}

TEST_F(MainWindowSaveTest, TalkMp3AndTalkWavBothKeepTheirText)
{
    const std::string mp3 = MakeAudio("talk.mp3", 20, {440});
    const std::string wav = MakeAudio("talk.wav", 20, {550});
    const std::string idle = MakeAudio("idle.wav", 20, {660});
    Transcribe({wav, mp3});
    Add(idle);
    const std::string out = dir_ / "保存 结果";
    fs::create_directories(out);
    Save(out);
    // In path order: talk.mp3 first.
    EXPECT_EQ(TestSupport::ReadFile(out + "/talk.txt"), "tone 440");
    EXPECT_EQ(TestSupport::ReadFile(out + "/talk (2).txt"), "tone 550");
    EXPECT_FALSE(TestSupport::Exists(out + "/idle.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"成功保存 2 个结果") == 1; }));

    // Saving again into the same folder writes the same two files again.
    Save(out);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
    EXPECT_EQ(TestSupport::ReadFile(out + "/talk (2).txt"), "tone 550");
}

TEST_F(MainWindowSaveTest, NamesWithDotsTextsWithPercentSignsAndEmptyTextsAreWrittenAsTheyAre)
{
    speech_->AddFault({.text = "tone 550", .times = -1, .fault = SpeechDouble::Fault::Text("100% 完成 %s %d\\n")});
    speech_->AddFault({.text = "tone 660", .times = -1, .fault = SpeechDouble::Fault::Text("")});
    const std::string dotted = MakeAudio("rec.2019.wav", 20, {440});
    const std::string percent = MakeAudio("percent.wav", 20, {550});
    const std::string empty = MakeAudio("silence.wav", 20, {660});
    Transcribe({dotted, percent, empty});
    const std::string out = dir_ / "out";
    fs::create_directories(out);
    Save(out);
    EXPECT_EQ(TestSupport::ReadFile(out + "/rec.2019.txt"), "tone 440");
    EXPECT_EQ(TestSupport::ReadFile(out + "/percent.txt"), "100% 完成 %s %d\\n");
    ASSERT_TRUE(TestSupport::Exists(out + "/silence.txt"));
    EXPECT_EQ(fs::file_size(out + "/silence.txt"), 0u);
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"成功保存 3 个结果") == 1; }));
}

TEST_F(MainWindowSaveTest, ACancelledChooserWritesAndShowsNothing)
{
    Transcribe({MakeAudio("a.wav", 20, {440})});
    Save("");
    UiTest::ProcessEvents();
    EXPECT_TRUE(MessageBoxTexts().empty());
    EXPECT_FALSE(TestSupport::Exists(dir_ / "a.txt"));
}

TEST_F(MainWindowSaveTest, FilesThatCannotBeWrittenAreLoggedAndNotCounted)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    const std::string b = MakeAudio("b.wav", 20, {550});
    const std::string c = MakeAudio("c.wav", 20, {660});
    Transcribe({a, b, c});
    const std::string out = dir_ / "out";
    // a.txt cannot be created (a folder has that name); b.txt leads to a full device.
    fs::create_directories(out + "/a.txt");
    fs::create_symlink("/dev/full", out + "/b.txt");
    Save(out);
    EXPECT_EQ(TestSupport::ReadFile(out + "/c.txt"), "tone 660");
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"成功保存 1 个结果") == 1; }));
    const std::string log = Log();
    EXPECT_NE(log.find("Error>>>>> "), std::string::npos);
    EXPECT_NE(log.find("RtmpPlayer::OnClick:\t\tfopen create file failed." + out), std::string::npos) << log;
    EXPECT_NE(log.find("write file failed. " + out + "/b.txt"), std::string::npos) << log;
}

TEST_F(MainWindowSaveTest, ADeletedRowIsNotSaved)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    const std::string b = MakeAudio("b.wav", 20, {550});
    Transcribe({a, b});
    ClickCell(0, CPlayListCtrl::kColumnDelete);
    ASSERT_EQ(list_->GetCount(), 1);
    const std::string out = dir_ / "out";
    fs::create_directories(out);
    Save(out);
    EXPECT_FALSE(TestSupport::Exists(out + "/a.txt"));
    EXPECT_EQ(TestSupport::ReadFile(out + "/b.txt"), "tone 550");
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"成功保存 1 个结果") == 1; }));
}

}  // namespace
