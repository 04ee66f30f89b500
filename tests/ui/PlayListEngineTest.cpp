// The playlist fed by the real engine: a generated two-segment file recognised by the job
// manager against the speech double, each finished segment turned into the row's progress the
// way the main window does it, a segment the service refuses ten times ending in the poor-audio
// warning, and a file removed while its results are still on their way.
#include "base/TextConvert.h"
#include "base/platform/WindowMessages.h"
#include "engine/CAudioConvert.h"
#include "engine/CData.h"
#include "speech_double/SpeechDouble.h"
#include "support/AudioFiles.h"
#include "support/TestSupport.h"
#include "tests/ui/PlayListFixture.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CPlayListCtrl.h"
#include "ui/toolkit/CListTextElementUI.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace PlayListFixture;

namespace {

class PlayListEngineTest : public testing::Test {
protected:
    PlayListEngineTest() : skin_(TestSkinFiles()) {}

    void SetUp() override
    {
        std::string error;
        speech_ = SpeechDouble::Server::Start({}, &error);
        ASSERT_TRUE(speech_) << error;
        speech_->ExportEnvironment();  // before any worker starts
        CData::Instance().AddKey({{SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey}});

        ASSERT_TRUE(skin_.Installed());
        window_.factory = [](const std::wstring& className) -> CControlUI* {
            return className == L"CPlayListCtrl" ? new CPlayListCtrl() : nullptr;
        };
        // The main window's handling of a finished segment: only records still held are read.
        window_.consume = [this](const UiTest::TestWindow::Message& message) {
            if (message.message != WM_USER_SEGMENT_DONE || convert_ == nullptr)
                return false;
            const CAudioSegment* segment = convert_->FindSegment(message.wParam);
            if (segment == nullptr) {
                ++stale_;
                return true;
            }
            list_->UpdateItemStatus(convert_->GetFinishedSegments(segment->file));
            progress_.push_back(Progress(0));
            return true;
        };
        ASSERT_TRUE(UiTest::CreateShown(window_));
        list_ = window_.FindControl<CPlayListCtrl>(L"playList");
        ASSERT_NE(list_, nullptr);
        CData::Instance().SetMainWnd(window_.GetHandle());

        // The main window's tick, faster: start queued segments, count recognising time.
        QObject::connect(&tick_, &QTimer::timeout, [this] {
            if (convert_ != nullptr)
                convert_->Dispatch();
            list_->TickElapsed();
        });
        tick_.start(20);
    }

    void TearDown() override
    {
        tick_.stop();
        CloseMessageBoxes();
        // Like the main window's close: the manager goes first, later completions do nothing.
        convert_.reset();
        CData::Instance().SetMainWnd(nullptr);
    }

    std::wstring Progress(int row)
    {
        auto* element = static_cast<CListTextElementUI*>(list_->GetItemAt(row));
        return element != nullptr ? element->GetText(CPlayListCtrl::kColumnProgress) : L"<no row>";
    }

    bool Start(int row)
    {
        const std::string file = WideToAnsi(list_->GetItemFile(row));
        return convert_->AddTask(file, list_->GetItemDuration(row)) && list_->SetItemRecognizing(row);
    }

    UiTest::ScopedSkin skin_;
    std::unique_ptr<SpeechDouble::Server> speech_;
    UiTest::TestWindow window_;
    CPlayListCtrl* list_ = nullptr;
    std::unique_ptr<CAudioConvert> convert_ = std::make_unique<CAudioConvert>();
    QTimer tick_;
    std::vector<std::wstring> progress_;
    int stale_ = 0;
    TestSupport::TempDir dir_;
};

TEST_F(PlayListEngineTest, SegmentsBecomeProgressAndAPoorSegmentWarnsOnceAtTheEnd)
{
    // 130 seconds: two segments, 120 seconds of 440 Hz and 10 of 550 Hz; the service refuses
    // the short one on every one of its ten tries.
    const std::string path = dir_ / "两段 talk.wav";
    ASSERT_TRUE(TestSupport::MakeToneFile(path, 130, {440, 550}, 120));
    speech_->AddFault({.text = "tone 550", .times = -1, .fault = SpeechDouble::Fault::ServerError(3303)});
    list_->AddItem(AnsiToWide(path));
    ASSERT_EQ(list_->GetItemDuration(0), 130);
    ASSERT_TRUE(Start(0));
    EXPECT_EQ(Progress(0), L"0");

    ASSERT_TRUE(UiTest::WaitFor([&] { return list_->GetItemStatus(0) == ItemDone; }, std::chrono::seconds(90)));
    EXPECT_EQ(progress_, (std::vector<std::wstring>{L"50%", L"100%"}));
    auto* row = static_cast<CListTextElementUI*>(list_->GetItemAt(0));
    EXPECT_EQ(row->GetText(CPlayListCtrl::kColumnAction), L"完成");
    EXPECT_NE(row->GetText(CPlayListCtrl::kColumnElapsed), L"00:00");

    ASSERT_TRUE(UiTest::WaitFor([] { return MessageBoxes().size() == 1; }));
    QWidget* text = MessageBoxes().front()->findChild<QWidget*>(QStringLiteral("MainTxtLab"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(dynamic_cast<CControlUI*>(text)->GetText(), AnsiToWide(path) + L",音频质量太差，部分内容无法识别。");
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Recognition), 11);

    // Showing the file again (the main window does on selection) warns no more.
    list_->UpdateItemStatus(convert_->GetFinishedSegments(path));
    UiTest::ProcessEvents();
    EXPECT_EQ(MessageBoxes().size(), 1u);
}

TEST_F(PlayListEngineTest, AFileThatIsNotAudioFailsWithFfmpegsReason)
{
    const std::string path = dir_ / "notes.wav";
    TestSupport::WriteFile(path, "not audio at all");
    list_->AddItem(AnsiToWide(path));
    // Planned as an hour (no duration), it fails as a whole at its first cut, not after
    // ten tries of each of thirty segments.
    ASSERT_TRUE(convert_->AddTask(path, 0) && list_->SetItemRecognizing(0));
    ASSERT_TRUE(UiTest::WaitFor([&] { return list_->GetItemStatus(0) == ItemFailed; }, std::chrono::seconds(20)));
    ASSERT_TRUE(UiTest::WaitFor([] { return MessageBoxes().size() == 1; }));
    QWidget* text = MessageBoxes().front()->findChild<QWidget*>(QStringLiteral("MainTxtLab"));
    ASSERT_NE(text, nullptr);
    EXPECT_NE(dynamic_cast<CControlUI*>(text)->GetText().find(L"错误码: -2，错误信息: Invalid data found when processing input"),
              std::wstring::npos);
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Recognition), 0);
}

TEST_F(PlayListEngineTest, ResultsOfARemovedRowAreNotRead)
{
    const std::string path = dir_ / "gone.wav";
    ASSERT_TRUE(TestSupport::MakeToneFile(path, 5, {440}, 5));
    // The service holds the answer until the row is gone.
    speech_->SetLatency(std::chrono::milliseconds(300));
    list_->AddItem(AnsiToWide(path));
    list_->AddItem(AnsiToWide(dir_ / "stays.wav"));
    ASSERT_TRUE(Start(0));
    ASSERT_TRUE(UiTest::WaitFor([&] { return speech_->RequestCount(SpeechDouble::Endpoint::Token) > 0; }));
    convert_->RemoveTask(path);
    ASSERT_TRUE(list_->RemoveAt(0));
    speech_->SetLatency(std::chrono::milliseconds(0));

    ASSERT_TRUE(UiTest::WaitFor([&] { return convert_->RunningCount() == 0; }, std::chrono::seconds(30)));
    UiTest::ProcessEvents();
    EXPECT_TRUE(progress_.empty());
    EXPECT_EQ(list_->GetItemCount(), 1);
    EXPECT_EQ(list_->GetItemStatus(0), ItemIdle);
    EXPECT_EQ(Progress(0), L"0");
}

}  // namespace
