// The settings window from the main window: the gear and Ctrl+, open one window, and what 确定
// writes goes to the files started afterwards, while a file already running finishes with the
// recognizer it started with.
#include "tests/ui/MainWindowFixture.h"
#include "tests/ui/SettingsDriver.h"
#include "ui/toolkit/Label.h"

using namespace MainWindowTesting;
using SpeechDouble::Endpoint;
namespace Drive = SettingsDriver;

namespace {

class MainWindowSettingsTest : public MainWindowTest {
protected:
    void TearDown() override
    {
        MainWindowTest::TearDown();
        // The process's later tests make windows that read these.
        WriteConfigString("Recognizer", "");
        WriteConfigString("WhisperApiUrl", "");
    }
    void OpenWithKeys()
    {
        QTest::keyClick(Native(), Qt::Key_Comma, Qt::ControlModifier);
        ASSERT_TRUE(UiTest::WaitFor([] { return Drive::Window() != nullptr; }));
        UiTest::ProcessEvents();
    }
    // Chooses a recognizer and presses 确定.
    void Choose(const wchar_t* option)
    {
        OpenWithKeys();
        ASSERT_TRUE(Drive::Click(option));
        ASSERT_TRUE(Drive::Press(L"btnOK"));
        ASSERT_TRUE(UiTest::WaitFor([] { return Drive::Window() == nullptr; }));
    }
    std::wstring Title() { return player_->FindControl<Label>(L"labRecognizer")->GetText(); }
};

TEST_F(MainWindowSettingsTest, TheGearAndCtrlCommaOpenOneWindow)
{
    ClickControl(L"btnSettings");
    ASSERT_TRUE(UiTest::WaitFor([] { return Drive::OpenWindows() == 1; }));
    QTest::keyClick(Native(), Qt::Key_Comma, Qt::ControlModifier);
    UiTest::ProcessEvents();
    EXPECT_EQ(Drive::OpenWindows(), 1);
    ASSERT_TRUE(Drive::Press(L"btnCancel"));
    ASSERT_TRUE(UiTest::WaitFor([] { return Drive::OpenWindows() == 0; }));
    OpenWithKeys();
    EXPECT_EQ(Drive::OpenWindows(), 1);
}

TEST_F(MainWindowSettingsTest, FilesStartedAfterOkGoToTheNewRecognizerWhileARunningOneEndsWithItsOwn)
{
    // Five segments for the cloud service, handed out one a second by the window's tick; the
    // answers wait until the test lets them go.
    const std::string running = MakeAudio("running.wav", 600, {440, 550, 660, 770, 880});
    Add(running);
    ClickControl(L"btnStart");
    ASSERT_TRUE(UiTest::WaitFor([&] { return gate_.Waiting() >= 1; }, std::chrono::seconds(30)));
    EXPECT_EQ(Title(), L"");

    OpenWithKeys();
    ASSERT_TRUE(Drive::Click(L"optWhisper"));
    ASSERT_TRUE(Drive::Type(L"edtWhisperUrl", QString::fromStdString(speech_->TranscriptionUrl())));
    // Usually some of its segments are still waiting to be sent when 确定 is pressed (one goes
    // out a second); on a slow machine (the sanitizers) they may all be out already, and then
    // the test shows only that the running file keeps its recognizer.
    const size_t queuedAtOk = player_->GetJobs()->QueuedCount();
    ASSERT_TRUE(Drive::Press(L"btnOK"));
    ASSERT_TRUE(UiTest::WaitFor([] { return Drive::Window() == nullptr; }));
    EXPECT_EQ(Title(), L"Whisper 服务识别");
    EXPECT_EQ(player_->GetWidget()->windowTitle(), QApplication::applicationName() + QStringLiteral(" · Whisper 服务识别"));

    const std::string next = MakeAudio("next.wav", 20, {990});
    Add(next);
    ClickControl(L"btnStart");
    ASSERT_TRUE(speech_->WaitForRequests(Endpoint::Transcription, 1));
    gate_.OpenAll();
    ASSERT_TRUE(WaitStatus(0, ItemDone));
    ASSERT_TRUE(WaitStatus(1, ItemDone));
    // Every segment of the running file went to the cloud service, those sent after 确定 too.
    EXPECT_EQ(ResultText(running), "tone 440 tone 550 tone 660 tone 770 tone 880");
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 5) << queuedAtOk << " were queued at 确定";
    EXPECT_EQ(ResultText(next), "tone 990");
    EXPECT_EQ(speech_->RequestCount(Endpoint::Transcription), 1);
    EXPECT_EQ(player_->GetJobs()->GetRecognizerKind(running), RecognizerKind::Cloud);
    EXPECT_EQ(player_->GetJobs()->GetRecognizerKind(next), RecognizerKind::WhisperApi);

    // Back to the local recognizer: the title follows.
    Choose(L"optLocal");
    EXPECT_EQ(Title(), L"本地英文识别");
    EXPECT_EQ(player_->GetJobs()->GetRecognizerKind(), RecognizerKind::LocalEnglish);
}

}  // namespace
