// The playlist: rows from real audio files (durations probed with libmediainfo), the row limit
// and duplicates, the open-file dialog and dropped files, the row states with progress,
// completion and the poor-audio warning, the elapsed time, removal, and the action and delete
// cells by position.
#include "base/AppPaths.h"
#include "base/TextConvert.h"
#include "engine/CAudioSegment.h"
#include "engine/CData.h"
#include "support/AudioFiles.h"
#include "support/TestSupport.h"
#include "tests/ui/FileDialogDriver.h"
#include "tests/ui/PlayListFixture.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CMessageWnd.h"
#include "ui/CPlayListCtrl.h"
#include "ui/toolkit/CButtonUI.h"
#include "ui/toolkit/CLabelUI.h"
#include "ui/toolkit/CListHeaderUI.h"
#include "ui/toolkit/CListTextElementUI.h"
#include "ui/toolkit/UiToolkit.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using TestSupport::TempDir;
using UiTest::TestWindow;
using namespace PlayListFixture;

namespace {

// Finished records of one file, as the job manager hands them out.
class Records {
public:
    Records(const std::wstring& file, int count) : file_(WideToAnsi(file)), count_(count) {}
    CAudioSegment& Finish(int index, int attempts = 1)
    {
        auto record = std::make_unique<CAudioSegment>();
        record->file = file_;
        record->segmentCount = count_;
        record->segmentIndex = index;
        record->attempts = attempts;
        record->finished = true;
        record->text = "tone 440";
        owned_.push_back(std::move(record));
        return *owned_.back();
    }
    std::vector<CAudioSegment*> All() const
    {
        std::vector<CAudioSegment*> all;
        for (const auto& record : owned_)
            all.push_back(record.get());
        return all;
    }

private:
    std::string file_;
    int count_;
    std::vector<std::unique_ptr<CAudioSegment>> owned_;
};

class PlayListCtrlTest : public testing::Test {
protected:
    PlayListCtrlTest() : skin_(TestSkinFiles()) {}

    void SetUp() override
    {
        ASSERT_TRUE(skin_.Installed());
        window_.factory = [](const std::wstring& className) -> CControlUI* {
            return className == L"CPlayListCtrl" ? new CPlayListCtrl() : nullptr;
        };
        ASSERT_TRUE(UiTest::CreateShown(window_));
        list_ = window_.FindControl<CPlayListCtrl>(L"playList");
        ASSERT_NE(list_, nullptr);
        CData::Instance().SetMainWnd(window_.GetHandle());
    }

    void TearDown() override
    {
        CloseMessageBoxes();
        CData::Instance().SetMainWnd(nullptr);
    }

    // A real audio file of `seconds`, made by ffmpeg.
    std::wstring Audio(const std::string& name, double seconds)
    {
        const std::string path = dir_ / name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        EXPECT_TRUE(TestSupport::MakeToneFile(path, seconds, {440}, seconds)) << path;
        return AnsiToWide(path);
    }

    // A long silent file, quick to write: 1000 samples a second, 8 bits.
    std::wstring Silence(const std::string& name, int seconds)
    {
        const std::string path = dir_ / name;
        const auto result = TestSupport::RunChild({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi",
                                                   "-i", "anullsrc=r=1000:cl=mono", "-t", std::to_string(seconds),
                                                   "-c:a", "pcm_u8", path});
        EXPECT_EQ(result.exitCode, 0);
        return AnsiToWide(path);
    }

    std::wstring Cell(int row, int column)
    {
        auto* element = static_cast<CListTextElementUI*>(list_->GetItemAt(row));
        return element != nullptr ? element->GetText(column) : L"<no row>";
    }

    std::vector<std::wstring> Row(int row)
    {
        std::vector<std::wstring> cells;
        for (int column = 0; column < CPlayListCtrl::kColumnCount; ++column)
            cells.push_back(Cell(row, column));
        return cells;
    }

    std::vector<std::wstring> Files()
    {
        std::vector<std::wstring> files;
        for (int i = 0; i < list_->GetItemCount(); ++i)
            files.push_back(list_->GetItemFile(i));
        return files;
    }

    void AddNamed(const std::vector<std::wstring>& names)
    {
        for (const std::wstring& name : names)
            list_->AddItem(AnsiToWide(dir_.Path()) + L"/" + name);
    }

    // Hands a drag with these URLs to the list as the window system does: enter, then drop.
    bool Drop(const QList<QUrl>& urls)
    {
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at(list_->width() / 2, list_->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list_, &enter);
        // Only a drag the list takes shows it over the rows, and only until it ends.
        EXPECT_EQ(list_->IsDropHighlighted(), enter.isAccepted());
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list_, &drop);
        EXPECT_FALSE(list_->IsDropHighlighted());
        return drop.isAccepted();
    }

    UiTest::ScopedSkin skin_;
    TestWindow window_;
    CPlayListCtrl* list_ = nullptr;
    TempDir dir_;
};

TEST_F(PlayListCtrlTest, NewRowShowsTheFileItsProbedDurationAndTypeAndIsIdle)
{
    const std::wstring wav = Audio("数据 folder/录音 1.wav", 3.2);
    list_->AddItem(wav);
    ASSERT_EQ(list_->GetCount(), 1);
    EXPECT_EQ(list_->GetItemCount(), 1);
    EXPECT_EQ(Row(0), (std::vector<std::wstring>{wav, L"00:03", L".wav", L"0", L"00:00", L"开始", L"删除"}));
    EXPECT_EQ(list_->GetItemFile(0), wav);
    EXPECT_EQ(list_->GetItemDuration(0), 3);
    EXPECT_EQ(list_->GetItemStatus(0), ItemIdle);
    // Any other column has no text of its own.
    EXPECT_EQ(Cell(0, 7), L"unknown");
    EXPECT_EQ(Cell(0, -1), L"unknown");

    // The answer lives in the asking element, so it outlives the call.
    CControlUI* element = list_->GetItemAt(0);
    const wchar_t* text = list_->GetItemText(element, 0, CPlayListCtrl::kColumnType);
    EXPECT_EQ(text, element->GetUserData().c_str());
    EXPECT_EQ(element->GetUserData(), L".wav");
}

TEST_F(PlayListCtrlTest, DurationsBelowAndFromOneHour)
{
    list_->AddItem(Silence("59 minutes.wav", 59 * 60));
    list_->AddItem(Silence("61 minutes.wav", 61 * 60));
    ASSERT_EQ(list_->GetItemCount(), 2);
    EXPECT_EQ(Cell(0, CPlayListCtrl::kColumnDuration), L"59:00");
    EXPECT_EQ(list_->GetItemDuration(0), 3540);
    EXPECT_EQ(Cell(1, CPlayListCtrl::kColumnDuration), L"01:01:00");
    EXPECT_EQ(list_->GetItemDuration(1), 3660);
}

TEST_F(PlayListCtrlTest, UnreadableFilesGetNoDurationAndOddPathsKeepTheirType)
{
    TestSupport::WriteFile(dir_ / "notes.txt", "not audio");
    list_->AddItem(AnsiToWide(dir_ / "notes.txt"));
    list_->AddItem(AnsiToWide(dir_ / "missing.mp3"));
    list_->AddItem(AnsiToWide(dir_ / "my.folder/track"));
    list_->AddItem(L"/no-dot-anywhere/track");
    ASSERT_EQ(list_->GetItemCount(), 4);
    EXPECT_EQ(Row(0)[1], L"00:00");
    EXPECT_EQ(Row(0)[2], L".txt");
    EXPECT_EQ(list_->GetItemDuration(1), 0);
    EXPECT_EQ(Row(1)[1], L"00:00");
    EXPECT_EQ(Row(2)[2], L".folder/track");
    EXPECT_EQ(Row(3)[2], L"/no-dot-anywhere/track");
}

TEST_F(PlayListCtrlTest, ThePathIsTheRowsIdentityExactly)
{
    const std::wstring wav = Audio("talk.wav", 1);
    list_->AddItem(wav);
    list_->AddItem(wav);
    list_->AddItem(AnsiToWide(dir_ / "TALK.wav"));
    list_->AddItem(L"");
    EXPECT_EQ(Files(), (std::vector<std::wstring>{wav, AnsiToWide(dir_ / "TALK.wav")}));
    EXPECT_EQ(list_->GetCount(), 2);
}

TEST_F(PlayListCtrlTest, ChosenFilesStopAtOneHundredRowsInTheirOrder)
{
    std::vector<std::wstring> chosen;
    for (int i = 0; i < 150; ++i) {
        chosen.push_back(AnsiToWide(dir_ / ("f" + std::to_string(149 - i) + ".mp3")));
        if (i == 10) {
            chosen.push_back(L"");
            chosen.push_back(chosen.front());
        }
    }
    EXPECT_EQ(list_->AddPaths(chosen), CPlayListCtrl::kMaxItems);
    ASSERT_EQ(list_->GetItemCount(), 100);
    EXPECT_EQ(list_->GetCount(), 100);
    EXPECT_EQ(list_->GetItemFile(0), AnsiToWide(dir_ / "f149.mp3"));
    EXPECT_EQ(list_->GetItemFile(99), AnsiToWide(dir_ / "f50.mp3"));
    EXPECT_EQ(list_->AddPaths({AnsiToWide(dir_ / "more.mp3")}), 0);

    // With room again, files are taken once more.
    EXPECT_TRUE(list_->RemoveAt(0));
    EXPECT_EQ(list_->AddPaths({AnsiToWide(dir_ / "more.mp3"), AnsiToWide(dir_ / "most.mp3")}), 1);
    EXPECT_EQ(list_->GetItemFile(99), AnsiToWide(dir_ / "more.mp3"));
}

TEST_F(PlayListCtrlTest, AddFilesTakesTheFilesChosenInTheDialogInItsOrder)
{
    const std::wstring first = Audio("b side.wav", 2);
    const std::wstring second = Audio("a side.mp3", 1);
    list_->AddItem(second);  // already listed: stays one row

    QStringList offered;
    QString title;
    QStringList filters;
    bool multiple = false;
    // The dialog is modal: it is answered from the event loop.
    FileDialogDriver driver([&](QFileDialog& dialog) {
        title = dialog.windowTitle();
        filters = dialog.nameFilters();
        multiple = dialog.fileMode() == QFileDialog::ExistingFiles;
        dialog.setDirectory(QString::fromStdString(dir_.Path()));
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(QStringLiteral("\"b side.wav\" \"a side.mp3\""));
        offered = dialog.selectedFiles();
        static_cast<QDialog&>(dialog).accept();
    });
    list_->AddFiles();

    EXPECT_EQ(title, QStringLiteral("选择文件"));
    ASSERT_EQ(filters.size(), 2);
    EXPECT_TRUE(filters[0].startsWith(QStringLiteral("audio files (*.3ga *.669 *.a52 ")));
    // The audio types, then the video types whose sound ffmpeg takes.
    EXPECT_TRUE(filters[0].contains(QStringLiteral(" *.wv *.xa *.xm *.3gp ")));
    EXPECT_TRUE(filters[0].endsWith(QStringLiteral(" *.mkv *.mov *.mp4 *.mpeg *.mpg *.webm *.wmv)")));
    EXPECT_TRUE(filters[0].contains(QStringLiteral(" *.mp3 ")));
    EXPECT_EQ(filters[1], QStringLiteral("all files(*.*) (*)"));
    EXPECT_TRUE(multiple);
    ASSERT_EQ(offered.size(), 2);
    std::vector<std::wstring> expected{second};
    for (const QString& file : offered) {
        if (file.toStdWString() != second)
            expected.push_back(file.toStdWString());
    }
    EXPECT_EQ(Files(), expected);
    EXPECT_EQ(Files().back(), first);
    EXPECT_EQ(Row(1)[1], L"00:02");
}

TEST_F(PlayListCtrlTest, CancellingTheDialogAddsNothing)
{
    FileDialogDriver driver([](QFileDialog& dialog) { dialog.reject(); });
    list_->AddFiles();
    EXPECT_TRUE(driver.Answered());
    EXPECT_EQ(list_->GetCount(), 0);
}

TEST_F(PlayListCtrlTest, DroppedFilesBecomeRowsUnderTheSameRules)
{
    const std::wstring a = Audio("drop a.wav", 1);
    const std::wstring b = Audio("拖放 b.wav", 2);
    std::filesystem::create_directories(dir_ / "a folder");
    list_->AddItem(b);
    EXPECT_TRUE(Drop({QUrl::fromLocalFile(QString::fromStdWString(a)), QUrl(QStringLiteral("https://talvora.example/x.mp3")),
                      QUrl::fromLocalFile(QString::fromStdString(dir_ / "a folder")),
                      QUrl::fromLocalFile(QString::fromStdWString(b))}));
    EXPECT_EQ(Files(), (std::vector<std::wstring>{b, a}));
    EXPECT_EQ(Row(1)[1], L"00:01");

    // A drag over the rows reaches the list: the window system hands it to the innermost widget
    // under the pointer that takes drops, climbing from there towards the window.
    window_.GetWidget()->grab();
    const UiRect rowRect = list_->GetItemAt(0)->GetPos();
    QWidget* target = window_.GetWidget()->childAt((rowRect.left + rowRect.right) / 2, (rowRect.top + rowRect.bottom) / 2);
    ASSERT_NE(target, nullptr);
    EXPECT_NE(target, static_cast<QWidget*>(list_));  // the rows' own view is on top
    while (target != nullptr && !target->isWindow() && !target->acceptDrops())
        target = target->parentWidget();
    EXPECT_EQ(target, static_cast<QWidget*>(list_));

    // Nothing the list can take: the drag is refused.
    EXPECT_FALSE(Drop({QUrl(QStringLiteral("https://talvora.example/x.mp3"))}));
    EXPECT_FALSE(Drop({}));

    // The row limit holds for drops too.
    std::vector<std::wstring> fill;
    for (int i = 0; i < 97; ++i)
        fill.push_back(AnsiToWide(dir_ / ("fill" + std::to_string(i) + ".wav")));
    EXPECT_EQ(list_->AddPaths(fill), 97);
    EXPECT_TRUE(Drop({QUrl::fromLocalFile(QString::fromStdString(dir_ / "x1.wav")),
                      QUrl::fromLocalFile(QString::fromStdString(dir_ / "x2.wav"))}));
    EXPECT_EQ(list_->GetItemCount(), 100);
    EXPECT_EQ(list_->GetItemFile(99), AnsiToWide(dir_ / "x1.wav"));
}

TEST_F(PlayListCtrlTest, OnlyAnIdleRowStartsRecognising)
{
    AddNamed({L"a.wav", L"b.wav"});
    EXPECT_TRUE(list_->SetItemRecognizing(1));
    EXPECT_EQ(list_->GetItemStatus(1), ItemRecognizing);
    EXPECT_EQ(Row(1)[CPlayListCtrl::kColumnAction], L"识别中");
    EXPECT_EQ(Row(1)[CPlayListCtrl::kColumnProgress], L"0");
    EXPECT_FALSE(list_->SetItemRecognizing(1));
    EXPECT_FALSE(list_->SetItemRecognizing(2));
    EXPECT_FALSE(list_->SetItemRecognizing(-1));
    EXPECT_EQ(list_->GetItemStatus(0), ItemIdle);
    EXPECT_EQ(Row(0)[CPlayListCtrl::kColumnAction], L"开始");
}

TEST_F(PlayListCtrlTest, ProgressCountsFinishedSegmentsAndCompletesTheRow)
{
    AddNamed({L"three.wav", L"four.wav"});
    ASSERT_TRUE(list_->SetItemRecognizing(0));
    ASSERT_TRUE(list_->SetItemRecognizing(1));

    Records three(list_->GetItemFile(0), 3);
    three.Finish(1);
    list_->UpdateItemStatus(three.All());
    EXPECT_EQ(Cell(0, CPlayListCtrl::kColumnProgress), L"33%");
    EXPECT_EQ(list_->GetItemStatus(0), ItemRecognizing);

    Records four(list_->GetItemFile(1), 4);
    four.Finish(1);
    four.Finish(2);
    four.Finish(4);
    list_->UpdateItemStatus(four.All());
    EXPECT_EQ(Cell(1, CPlayListCtrl::kColumnProgress), L"75%");
    EXPECT_EQ(Cell(1, CPlayListCtrl::kColumnAction), L"识别中");
    four.Finish(3);
    list_->UpdateItemStatus(four.All());
    EXPECT_EQ(Cell(1, CPlayListCtrl::kColumnProgress), L"100%");
    EXPECT_EQ(Cell(1, CPlayListCtrl::kColumnAction), L"完成");
    EXPECT_EQ(list_->GetItemStatus(1), ItemDone);

    // A done row stays done.
    EXPECT_FALSE(list_->SetItemRecognizing(1));
    list_->UpdateItemStatus(four.All());
    EXPECT_EQ(list_->GetItemStatus(1), ItemDone);
    EXPECT_EQ(Cell(1, CPlayListCtrl::kColumnProgress), L"100%");
    EXPECT_EQ(Cell(0, CPlayListCtrl::kColumnProgress), L"33%");
    EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(PlayListCtrlTest, ResultsThatMatchNoRowChangeNothing)
{
    AddNamed({L"a.wav"});
    const LogSince log;
    list_->UpdateItemStatus({});
    Records gone(AnsiToWide(dir_ / "removed.wav"), 1);
    gone.Finish(1);
    list_->UpdateItemStatus(gone.All());
    // A record without a plan cannot divide by zero.
    Records unplanned(list_->GetItemFile(0), 0);
    unplanned.Finish(1);
    list_->UpdateItemStatus(unplanned.All());
    list_->UpdateItemStatus({nullptr});

    EXPECT_EQ(Row(0)[CPlayListCtrl::kColumnProgress], L"0");
    EXPECT_EQ(list_->GetItemStatus(0), ItemIdle);
    EXPECT_TRUE(log.Has(TestSupport::LogEntryStart("CPlayListCtrl::UpdateItemStatus", "UpdateItemStatus vctInfo is empty")));
    EXPECT_TRUE(log.Has(TestSupport::LogEntryStart("CPlayListCtrl::UpdateItemStatus", "UpdateItemStatus no found. " + dir_ / "removed.wav")));
    EXPECT_TRUE(log.Has("warning>>>"));
}

TEST_F(PlayListCtrlTest, PoorAudioIsReportedOnceWhenTheFileCompletes)
{
    AddNamed({L"noisy.wav", L"clean.wav"});
    ASSERT_TRUE(list_->SetItemRecognizing(0));
    ASSERT_TRUE(list_->SetItemRecognizing(1));

    Records clean(list_->GetItemFile(1), 2);
    clean.Finish(1, 9);
    clean.Finish(2, 1);
    list_->UpdateItemStatus(clean.All());
    EXPECT_EQ(list_->GetItemStatus(1), ItemDone);
    UiTest::ProcessEvents();
    EXPECT_TRUE(MessageBoxes().empty());

    Records noisy(list_->GetItemFile(0), 3);
    noisy.Finish(1, 1);
    noisy.Finish(2, 10);  // needed every dispatch
    list_->UpdateItemStatus(noisy.All());
    EXPECT_TRUE(MessageBoxes().empty());  // not before the file completes
    noisy.Finish(3, 12);
    list_->UpdateItemStatus(noisy.All());
    EXPECT_EQ(list_->GetItemStatus(0), ItemDone);
    EXPECT_EQ(Cell(0, CPlayListCtrl::kColumnAction), L"完成");
    ASSERT_TRUE(UiTest::WaitFor([] { return MessageBoxes().size() == 1; }));

    QWidget* box = MessageBoxes().front();
    auto* text = box->findChild<QWidget*>(QStringLiteral("MainTxtLab"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(dynamic_cast<CControlUI*>(text)->GetText(),
              AnsiToWide(dir_ / "noisy.wav") + L",音频质量太差，部分内容无法识别。");
    auto* ok = box->findChild<QWidget*>(QStringLiteral("btnOK"));
    auto* cancel = box->findChild<QWidget*>(QStringLiteral("btnCancel"));
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(dynamic_cast<CControlUI*>(ok)->GetText(), L"确定");
    EXPECT_FALSE(cancel->isVisible());

    // Showing the file's text again updates the done row without a second warning.
    list_->UpdateItemStatus(noisy.All());
    UiTest::ProcessEvents();
    EXPECT_EQ(MessageBoxes().size(), 1u);

    // It stays until clicked.
    QMetaObject::invokeMethod(ok, "click");
    EXPECT_TRUE(UiTest::WaitFor([] { return MessageBoxes().empty(); }));
}

TEST_F(PlayListCtrlTest, AFileWithoutTextThatHadAnErrorFailsSaysWhyOnceAndCanStartAgain)
{
    AddNamed({L"bad.wav", L"part.wav", L"quiet.wav"});
    for (int row = 0; row < 3; ++row)
        ASSERT_TRUE(list_->SetItemRecognizing(row));
    list_->TickElapsed();
    ASSERT_EQ(Row(0)[CPlayListCtrl::kColumnElapsed], L"00:01");

    // Every segment failed: the last error is the one told.
    Records bad(list_->GetItemFile(0), 2);
    CAudioSegment& first = bad.Finish(0, 10);
    first.resultCode = -1;
    first.errorMessage = "token request failed";
    first.text.clear();
    CAudioSegment& second = bad.Finish(1, 10);
    second.resultCode = 3301;
    second.errorMessage = "speech quality\nerror";
    second.text.clear();
    list_->UpdateItemStatus(bad.All());
    EXPECT_EQ(list_->GetItemStatus(0), ItemFailed);
    EXPECT_EQ(Cell(0, CPlayListCtrl::kColumnAction), L"失败");
    EXPECT_EQ(Cell(0, CPlayListCtrl::kColumnProgress), L"100%");
    ASSERT_TRUE(UiTest::WaitFor([] { return MessageBoxes().size() == 1; }));
    QWidget* box = MessageBoxes().front();
    auto* text = box->findChild<QWidget*>(QStringLiteral("MainTxtLab"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(dynamic_cast<CControlUI*>(text)->GetText(),
              AnsiToWide(dir_ / "bad.wav") + L",文件无法识别。错误码: 3301，错误信息: speech quality error");
    EXPECT_FALSE(box->findChild<QWidget*>(QStringLiteral("btnCancel"))->isVisible());
    // Told once; the box stays until clicked, like the poor-audio warning.
    list_->UpdateItemStatus(bad.All());
    UiTest::ProcessEvents();
    EXPECT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(list_->GetItemStatus(0), ItemFailed);
    QMetaObject::invokeMethod(box->findChild<QWidget*>(QStringLiteral("btnOK")), "click");
    ASSERT_TRUE(UiTest::WaitFor([] { return MessageBoxes().empty(); }));

    // Some text: done, with the poor-audio warning for the segment that failed for good.
    Records part(list_->GetItemFile(1), 2);
    part.Finish(0, 1);
    CAudioSegment& lost = part.Finish(1, 10);
    lost.resultCode = 3301;
    lost.text.clear();
    list_->UpdateItemStatus(part.All());
    EXPECT_EQ(list_->GetItemStatus(1), ItemDone);
    EXPECT_EQ(Cell(1, CPlayListCtrl::kColumnAction), L"完成");
    ASSERT_TRUE(UiTest::WaitFor([] { return MessageBoxes().size() == 1; }));
    EXPECT_EQ(dynamic_cast<CControlUI*>(MessageBoxes().front()->findChild<QWidget*>(QStringLiteral("MainTxtLab")))->GetText(),
              AnsiToWide(dir_ / "part.wav") + L",音频质量太差，部分内容无法识别。");
    CloseMessageBoxes();

    // No text but no error either (the service heard nothing): done, nothing to tell.
    Records quiet(list_->GetItemFile(2), 1);
    quiet.Finish(0, 1).text.clear();
    list_->UpdateItemStatus(quiet.All());
    EXPECT_EQ(list_->GetItemStatus(2), ItemDone);
    UiTest::ProcessEvents();
    EXPECT_TRUE(MessageBoxes().empty());

    // A failed row starts again from the beginning; a done one does not.
    EXPECT_TRUE(list_->SetItemRecognizing(0));
    EXPECT_EQ(list_->GetItemStatus(0), ItemRecognizing);
    EXPECT_EQ(Row(0)[CPlayListCtrl::kColumnAction], L"识别中");
    EXPECT_EQ(Row(0)[CPlayListCtrl::kColumnProgress], L"0");
    EXPECT_EQ(Row(0)[CPlayListCtrl::kColumnElapsed], L"00:00");
    EXPECT_FALSE(list_->SetItemRecognizing(1));
}

TEST_F(PlayListCtrlTest, ElapsedTimeAdvancesOnlyWhileRecognising)
{
    AddNamed({L"idle.wav", L"busy.wav", L"done.wav"});
    ASSERT_TRUE(list_->SetItemRecognizing(1));
    ASSERT_TRUE(list_->SetItemRecognizing(2));
    Records done(list_->GetItemFile(2), 1);
    done.Finish(1);
    list_->TickElapsed();
    list_->UpdateItemStatus(done.All());
    for (int i = 0; i < 64; ++i)
        list_->TickElapsed();
    EXPECT_EQ(Cell(0, CPlayListCtrl::kColumnElapsed), L"00:00");
    EXPECT_EQ(Cell(1, CPlayListCtrl::kColumnElapsed), L"01:05");
    EXPECT_EQ(Cell(2, CPlayListCtrl::kColumnElapsed), L"00:01");
}

TEST_F(PlayListCtrlTest, BadIndexesAnswerNeutrallyWithAWarning)
{
    AddNamed({L"a.wav"});
    const LogSince log;
    EXPECT_EQ(list_->GetItemStatus(-1), -1);
    EXPECT_EQ(list_->GetItemFile(5), L"");
    EXPECT_EQ(list_->GetItemDuration(1), 0);
    EXPECT_FALSE(list_->RemoveAt(1));
    CControlUI* element = list_->GetItemAt(0);
    EXPECT_STREQ(list_->GetItemText(element, 3, 0), L"unknown");
    EXPECT_EQ(list_->GetItemCount(), 1);

    const std::string text = log.Text();
    EXPECT_NE(text.find("]" + TestSupport::LogEntryStart("CPlayListCtrl::GetItemStatus", "GetItemStatus not exist: -1")), std::string::npos) << text;
    EXPECT_NE(text.find("warning>>> ["), std::string::npos);
    EXPECT_NE(text.find(TestSupport::LogEntryStart("CPlayListCtrl::GetItemFile", "row not eq data size: row: 5, size: 1")), std::string::npos);
    EXPECT_NE(text.find(TestSupport::LogEntryStart("CPlayListCtrl::GetItemDuration", "row not eq data size: row: 1, size: 1")), std::string::npos);
    EXPECT_NE(text.find(TestSupport::LogEntryStart("CPlayListCtrl::RemoveAt", "row not eq data size: row: 1, size: 1")), std::string::npos);
    EXPECT_NE(text.find(TestSupport::LogEntryStart("CPlayListCtrl::GetItemText", "row not eq data size: row: 3, size: 1")), std::string::npos);
}

TEST_F(PlayListCtrlTest, RemovingRowsKeepsRecordsAndElementsInStep)
{
    AddNamed({L"0.wav", L"1.wav", L"2.wav", L"3.wav", L"4.wav"});
    ASSERT_TRUE(list_->SetItemRecognizing(3));
    std::vector<std::vector<std::wstring>> before;
    for (int i = 0; i < 5; ++i)
        before.push_back(Row(i));

    EXPECT_TRUE(list_->RemoveAt(2));
    ASSERT_EQ(list_->GetItemCount(), 4);
    ASSERT_EQ(list_->GetCount(), 4);
    EXPECT_EQ(Row(0), before[0]);
    EXPECT_EQ(Row(1), before[1]);
    EXPECT_EQ(Row(2), before[3]);
    EXPECT_EQ(Row(3), before[4]);
    EXPECT_EQ(list_->GetItemStatus(2), ItemRecognizing);

    // Removing through the element, and through the list's own container interface.
    EXPECT_TRUE(list_->Remove(list_->GetItemAt(0)));
    CListUI* asList = list_;
    EXPECT_TRUE(asList->Remove(asList->GetItemAt(0)));
    EXPECT_EQ(Files(), (std::vector<std::wstring>{before[3][0], before[4][0]}));
    CListTextElementUI stranger;
    EXPECT_FALSE(list_->Remove(&stranger));
    EXPECT_FALSE(list_->Remove(nullptr));

    AddNamed({L"5.wav", L"6.wav"});
    asList->RemoveAll();
    EXPECT_EQ(list_->GetItemCount(), 0);
    EXPECT_EQ(list_->GetCount(), 0);
    AddNamed({L"0.wav"});
    EXPECT_EQ(Row(0), before[0]);
}

TEST_F(PlayListCtrlTest, RemovingTheSelectedRowTellsTheWindowWithRowsAndRecordsAgreeing)
{
    AddNamed({L"a.wav", L"b.wav", L"c.wav"});
    ASSERT_TRUE(list_->SelectItem(1));
    std::vector<std::pair<int, int>> seen;  // rows and records at each selection change
    window_.onNotify = [&](TNotifyUI& message) {
        if (message.type == kNotifyItemSelect)
            seen.emplace_back(list_->GetCount(), list_->GetItemCount());
    };
    EXPECT_TRUE(list_->RemoveAt(1));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], std::make_pair(2, 2));
    EXPECT_EQ(list_->GetCurSel(), -1);
    window_.onNotify = nullptr;
}

TEST_F(PlayListCtrlTest, ActionAndDeleteCellsAreFoundByPosition)
{
    AddNamed({L"a.wav", L"b.wav"});
    window_.GetWidget()->grab();  // lays the rows out
    CControlUI* row = list_->GetItemAt(1);
    const UiRect rowRect = row->GetPos();
    ASSERT_FALSE(rowRect.IsEmpty());
    const UiRect action = list_->GetHeader()->GetColumnRect(CPlayListCtrl::kColumnAction);
    const UiRect remove = list_->GetHeader()->GetColumnRect(CPlayListCtrl::kColumnDelete);
    ASSERT_EQ(action.Width(), 80);
    ASSERT_EQ(remove.left, action.right);
    const int middle = (rowRect.top + rowRect.bottom) / 2;

    // The cell less the text inset 4,3,6,5: left and top inclusive, right and bottom exclusive.
    EXPECT_TRUE(list_->HitTestColumn(row, action.left + 40, middle, true));
    EXPECT_FALSE(list_->HitTestColumn(row, action.left + 40, middle, false));
    EXPECT_TRUE(list_->HitTestColumn(row, action.left + 4, rowRect.top + 3, true));
    EXPECT_FALSE(list_->HitTestColumn(row, action.left + 3, middle, true));
    EXPECT_FALSE(list_->HitTestColumn(row, action.left + 40, rowRect.top + 2, true));
    EXPECT_TRUE(list_->HitTestColumn(row, action.right - 7, rowRect.bottom - 6, true));
    EXPECT_FALSE(list_->HitTestColumn(row, action.right - 6, middle, true));
    EXPECT_FALSE(list_->HitTestColumn(row, action.left + 40, rowRect.bottom - 5, true));

    EXPECT_TRUE(list_->HitTestColumn(row, remove.left + 40, middle, false));
    EXPECT_FALSE(list_->HitTestColumn(row, remove.left + 40, middle, true));
    // The other row's cell is not this row's.
    EXPECT_FALSE(list_->HitTestColumn(list_->GetItemAt(0), remove.left + 40, middle, false));
    // The window's own look-up of the point finds the same row.
    EXPECT_EQ(window_.FindControlAt(remove.left + 40, middle), row);

    CListTextElementUI stranger;
    EXPECT_FALSE(list_->HitTestColumn(&stranger, remove.left + 40, middle, false));
    EXPECT_FALSE(list_->HitTestColumn(nullptr, remove.left + 40, middle, false));
}

}  // namespace
