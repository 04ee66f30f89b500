// Saving the texts of the finished files: one text file per audio file in the folder the user
// picks, distinct names when audio names clash, and an honest count.
#include "tests/ui/MainWindowFixture.h"

#include <filesystem>

using namespace MainWindowTesting;
namespace fs = std::filesystem;

namespace {

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

TEST_F(MainWindowSaveTest, TextsNeverReplaceEachOtherNorFilesAlreadyInTheFolder)
{
    const std::string mp3 = MakeAudio("Talk.mp3", 20, {440});
    const std::string wav = MakeAudio("talk.wav", 20, {550});
    const std::string idle = MakeAudio("idle.wav", 20, {660});
    Transcribe({wav, mp3});
    Add(idle);
    const std::string out = dir_ / "保存 结果";
    fs::create_directories(out);
    // A text saved earlier and edited since; the folder may ignore case, as vfat does.
    TestSupport::WriteFile(out + "/talk.TXT", "edited by hand");
    Save(out);
    // In path order: Talk.mp3 first. Each takes the next name free in any case.
    EXPECT_EQ(TestSupport::ReadFile(out + "/talk.TXT"), "edited by hand");
    EXPECT_EQ(TestSupport::ReadFile(out + "/Talk (2).txt"), "tone 440\n");
    EXPECT_EQ(TestSupport::ReadFile(out + "/talk (3).txt"), "tone 550\n");
    EXPECT_FALSE(TestSupport::Exists(out + "/idle.txt"));
    // Nothing else: no temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"成功保存 2 个结果") == 1; }));
    CloseBoxes();

    // Saving the same texts again into the same folder adds no copies; they count as saved.
    Save(out);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"成功保存 2 个结果") == 1; }));
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
    EXPECT_EQ(TestSupport::ReadFile(out + "/rec.2019.txt"), "tone 440\n");
    EXPECT_EQ(TestSupport::ReadFile(out + "/percent.txt"), "100% 完成 %s %d\\n\n");
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

TEST_F(MainWindowSaveTest, ANameTooLongForTheFileSystemIsShortenedToFit)
{
    // The longest name a file can have, with a short extension: its text's name would be longer
    // still. It is shortened, with room left for " (N)" and the extension.
    const std::string longest = dir_ / (std::string(252, 'x') + ".w");
    fs::rename(MakeAudio("long.wav", 20, {440}), longest);
    const std::string c = MakeAudio("c.wav", 20, {660});
    Transcribe({longest, c});
    const std::string out = dir_ / "out";
    fs::create_directories(out);
    TestSupport::WriteFile(out + "/" + std::string(242, 'x') + ".txt", "another text");
    Save(out);
    EXPECT_EQ(TestSupport::ReadFile(out + "/c.txt"), "tone 660\n");
    EXPECT_EQ(TestSupport::ReadFile(out + "/" + std::string(242, 'x') + " (2).txt"), "tone 440\n");
    EXPECT_TRUE(UiTest::WaitFor([&] { return CountBoxes(L"成功保存 2 个结果") == 1; }));
}

TEST_F(MainWindowSaveTest, AFullDiskLeavesNoFileIsToldWithFolderAndReasonAndTheRowStaysUnsaved)
{
    TestSupport::FullFileSystem full(dir_ / "full");
    if (!full.Mounted())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    Transcribe({MakeAudio("talk.wav", 20, {440})});
    Save(full.Path());
    const std::wstring told = L"成功保存 0 个结果\n1 个结果保存失败: " + AnsiToWide(full.Path()) + L": No space left on device";
    EXPECT_TRUE(UiTest::WaitFor([&] { return CountBoxes(told) == 1; })) << WideToAnsi(MessageBoxTexts().empty() ? L"" : MessageBoxTexts()[0]);
    // Neither the text's name nor the temporary file it was written to.
    EXPECT_EQ(full.Names(), std::vector<std::string>{"filler"});
    EXPECT_NE(Log().find(TestSupport::LogEntryStart("RtmpPlayer::OnClick", "write file failed. " + full.Path() +
                                                                            " LastError info: No space left on device")),
              std::string::npos)
        << Log();
    EXPECT_FALSE(list_->Files().Row(0)->saved);
    EXPECT_TRUE(player_->HasUnsavedWork());
}

TEST_F(MainWindowSaveTest, AFileThatFailedIsShownAsFailedIsNotSavedAndItsActionCellStartsItAgain)
{
    // The service refuses every one of the first file's ten attempts, then answers again.
    speech_->AddFault({.text = "tone 440", .times = 10, .fault = SpeechDouble::Fault::ErrNo(3301, "speech quality error")});
    gate_.OpenAll();
    const std::string bad = MakeAudio("bad.wav", 20, {440});
    const std::string good = MakeAudio("good.wav", 20, {550});
    Add(bad);
    Add(good);
    list_->SelectItem(0);
    ClickControl(L"btnStartAll");
    ASSERT_TRUE(WaitStatus(1, ItemDone));
    ASSERT_TRUE(WaitStatus(0, ItemFailed, std::chrono::seconds(90)));
    EXPECT_EQ(Cell(0, FileListView::kColumnAction), L"失败");

    // One box that stays, instead of the poor-audio warning; the pane says the same.
    const std::wstring told = AnsiToWide(bad) + L",文件无法识别。错误码: 3301，错误信息: speech quality error";
    EXPECT_TRUE(UiTest::WaitFor([&] { return CountBoxes(told) == 1; }));
    EXPECT_EQ(CountBoxes(AnsiToWide(bad) + L",音频质量太差，部分内容无法识别。"), 0u);
    EXPECT_TRUE(UiTest::WaitFor([&] { return PaneText() == told; }));
    CloseBoxes();

    // Only the file with text is saved and counted.
    const std::string out = dir_ / "out";
    fs::create_directories(out);
    Save(out);
    EXPECT_EQ(TestSupport::ReadFile(out + "/good.txt"), "tone 550\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"成功保存 1 个结果") == 1; }));
    CloseBoxes();

    // Its action cell starts it again, from the beginning.
    ClickCell(0, FileListView::kColumnAction);
    EXPECT_EQ(Status(0), ItemRecognizing);
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    EXPECT_EQ(ResultText(bad), "tone 440");
    EXPECT_TRUE(UiTest::WaitFor([&] { return PaneText() == L"tone 440"; }));
    EXPECT_TRUE(MessageBoxTexts().empty());
}

TEST_F(MainWindowSaveTest, ADeletedRowIsNotSaved)
{
    const std::string a = MakeAudio("a.wav", 20, {440});
    const std::string b = MakeAudio("b.wav", 20, {550});
    Transcribe({a, b});
    ClickCell(0, FileListView::kColumnDelete);
    ASSERT_EQ(list_->GetCount(), 1);
    const std::string out = dir_ / "out";
    fs::create_directories(out);
    Save(out);
    EXPECT_FALSE(TestSupport::Exists(out + "/a.txt"));
    EXPECT_EQ(TestSupport::ReadFile(out + "/b.txt"), "tone 550\n");
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"成功保存 1 个结果") == 1; }));
}

}  // namespace

TEST_F(MainWindowSaveTest, TimesAreSavedOnlyWhenAskedForAndSubtitlesAreExportedPerFile)
{
    const std::string file = MakeAudio("talk.wav", 200, {440, 550});
    const std::string single = MakeAudio("memo.wav", 20, {660});
    Transcribe({file, single});
    const std::string out = dir_ / "out";
    fs::create_directories(out);

    // Texts never saved: a close asks, and Cancel keeps the window.
    const std::wstring question = L"有未保存的识别结果，确定退出吗?";
    ClickControl(L"btnClose");
    ASSERT_TRUE(UiTest::WaitFor([&] { return CountBoxes(question) == 1; }));
    ASSERT_TRUE(AnswerBox(question, false));
    ASSERT_TRUE(UiTest::WaitFor([&] { return CountBoxes(question) == 0; }));
    EXPECT_FALSE(player_->IsClosing());

    // The subtitles of one file, into a folder picked as for the texts.
    list_->SelectItem(0);
    QMenu* menu = RightClickRow(0);
    ASSERT_NE(menu, nullptr);
    {
        FolderChooserAnswer answer(QString::fromStdString(out));
        Choose(menu, QStringLiteral("导出字幕"));
        EXPECT_TRUE(UiTest::WaitFor([&] { return answer.Answered(); }));
        EXPECT_EQ(answer.Title(), QStringLiteral("选择保存目录"));
    }
    EXPECT_EQ(TestSupport::ReadFile(out + "/talk.srt"),
              "1\n00:00:00,000 --> 00:00:07,000\ntone 440\n\n2\n00:02:00,000 --> 00:02:07,000\ntone 550\n\n");
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"成功保存 1 个结果") == 1; }));
    CloseBoxes();
    EXPECT_TRUE(player_->HasUnsavedWork());

    // With the setting, the saved text is the pane's, times and all; a single segment has none.
    WriteConfigString("SaveTimestamps", "1");
    Save(out);
    WriteConfigString("SaveTimestamps", "0");
    EXPECT_EQ(TestSupport::ReadFile(out + "/talk.txt"), "[00:00:00] tone 440\r\n[00:02:00] tone 550\n");
    EXPECT_EQ(TestSupport::ReadFile(out + "/memo.txt"), "tone 660\n");
    EXPECT_TRUE(UiTest::WaitFor([] { return CountBoxes(L"成功保存 2 个结果") == 1; }));
    CloseBoxes();

    // Everything saved: the close no longer asks.
    EXPECT_FALSE(player_->HasUnsavedWork());
    ClickControl(L"btnClose");
    EXPECT_TRUE(player_->IsClosing());
    EXPECT_EQ(CountBoxes(question), 0u);
}
