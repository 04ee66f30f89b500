// The playlist: rows from real audio files (durations probed with libmediainfo), the row limit
// and duplicates, the open-file dialog and dropped files and folders, removal, the action and
// delete cells by position, and long paths cut in their middle. The rows' states and their rules are the file list's (FileListTest).
#include "base/AppPaths.h"
#include "base/TextConvert.h"
#include "engine/TranscriptionJobs.h"
#include "engine/CloudRecognizer.h"
#include "support/AudioFiles.h"
#include "support/TestSupport.h"
#include "tests/ui/FileDialogDriver.h"
#include "tests/ui/PlayListFixture.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/MessageBox.h"
#include "ui/FileListView.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Label.h"
#include "ui/toolkit/ListHeader.h"
#include "ui/toolkit/ListRow.h"
#include "ui/toolkit/ListRowsView.h"
#include "ui/toolkit/UiToolkit.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QToolTip>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using TestSupport::TempDir;
using UiTest::TestWindow;
using namespace PlayListFixture;

namespace {

// A path as the list's cells show it.
std::wstring Shown(const std::string& path)
{
    return QString::fromStdString(path).toStdWString();
}

class FileListViewTest : public testing::Test {
protected:
    FileListViewTest() : skin_(TestSkinFiles()) {}

    void SetUp() override
    {
        ASSERT_TRUE(skin_.Installed());
        window_.factory = [](const std::wstring& className) -> Control* {
            return className == L"CPlayListCtrl" ? new FileListView() : nullptr;
        };
        ASSERT_TRUE(UiTest::CreateShown(window_));
        list_ = window_.FindControl<FileListView>(L"playList");
        ASSERT_NE(list_, nullptr);
    }

    void TearDown() override
    {
        CloseMessageBoxes();
    }

    // A real audio file of `seconds`, made by ffmpeg.
    std::string Audio(const std::string& name, double seconds)
    {
        const std::string path = dir_ / name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        EXPECT_TRUE(TestSupport::MakeToneFile(path, seconds, {440}, seconds)) << path;
        return path;
    }

    // A long silent file, quick to write: 1000 samples a second, 8 bits.
    std::string Silence(const std::string& name, int seconds)
    {
        const std::string path = dir_ / name;
        const auto result = TestSupport::RunChild({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi",
                                                   "-i", "anullsrc=r=1000:cl=mono", "-t", std::to_string(seconds),
                                                   "-c:a", "pcm_u8", path});
        EXPECT_EQ(result.exitCode, 0);
        return path;
    }

    bool Probed() { return UiTest::DurationsProbed(list_->Files()); }

    std::wstring Cell(int row, int column)
    {
        auto* element = static_cast<ListRow*>(list_->GetItemAt(row));
        return element != nullptr ? element->GetText(column) : L"<no row>";
    }

    std::vector<std::wstring> Row(int row)
    {
        std::vector<std::wstring> cells;
        for (int column = 0; column < FileListView::kColumnCount; ++column)
            cells.push_back(Cell(row, column));
        return cells;
    }

    std::vector<std::string> Files()
    {
        std::vector<std::string> files;
        for (int i = 0; i < list_->GetItemCount(); ++i)
            files.push_back(list_->GetItemFile(i));
        return files;
    }

    void AddNamed(const std::vector<std::string>& names)
    {
        for (const std::string& name : names)
            list_->AddItem(dir_ / name);
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
    FileListView* list_ = nullptr;
    TempDir dir_;
};

TEST_F(FileListViewTest, NewRowShowsTheFileItsProbedDurationAndTypeAndIsIdle)
{
    const std::string wav = Audio("数据 folder/录音 1.wav", 3.2);
    list_->AddItem(wav);
    ASSERT_EQ(list_->GetCount(), 1);
    // Listed at once; the duration shows once probed.
    EXPECT_EQ(Cell(0, FileListView::kColumnDuration), L"--:--");
    ASSERT_TRUE(Probed());
    EXPECT_EQ(list_->GetItemCount(), 1);
    EXPECT_EQ(Row(0), (std::vector<std::wstring>{Shown(wav), L"00:03", L".wav", L"0", L"00:00", L"开始", L"删除"}));
    EXPECT_EQ(list_->GetItemFile(0), wav);
    EXPECT_EQ(list_->GetItemDuration(0), 3);
    EXPECT_EQ(list_->GetItemStatus(0), ItemIdle);
    // Any other column has no text of its own.
    EXPECT_EQ(Cell(0, 7), L"unknown");
    EXPECT_EQ(Cell(0, -1), L"unknown");

    // The answer lives in the asking element, so it outlives the call.
    Control* element = list_->GetItemAt(0);
    const wchar_t* text = list_->GetItemText(element, 0, FileListView::kColumnType);
    EXPECT_EQ(text, element->GetUserData().c_str());
    EXPECT_EQ(element->GetUserData(), L".wav");
}

TEST_F(FileListViewTest, DurationsBelowAndFromOneHour)
{
    list_->AddItem(Silence("59 minutes.wav", 59 * 60));
    list_->AddItem(Silence("61 minutes.wav", 61 * 60));
    ASSERT_EQ(list_->GetItemCount(), 2);
    ASSERT_TRUE(Probed());
    EXPECT_EQ(Cell(0, FileListView::kColumnDuration), L"59:00");
    EXPECT_EQ(list_->GetItemDuration(0), 3540);
    EXPECT_EQ(Cell(1, FileListView::kColumnDuration), L"01:01:00");
    EXPECT_EQ(list_->GetItemDuration(1), 3660);
}

TEST_F(FileListViewTest, UnreadableFilesGetNoDurationAndOddPathsKeepTheirType)
{
    TestSupport::WriteFile(dir_ / "notes.txt", "not audio");
    list_->AddItem(dir_ / "notes.txt");
    list_->AddItem(dir_ / "missing.mp3");
    list_->AddItem(dir_ / "my.folder/track");
    list_->AddItem("/no-dot-anywhere/track");
    ASSERT_EQ(list_->GetItemCount(), 4);
    ASSERT_TRUE(Probed());
    EXPECT_EQ(Row(0)[1], L"00:00");
    EXPECT_EQ(Row(0)[2], L".txt");
    EXPECT_EQ(list_->GetItemDuration(1), 0);
    EXPECT_EQ(Row(1)[1], L"00:00");
    EXPECT_EQ(Row(2)[2], L".folder/track");
    EXPECT_EQ(Row(3)[2], L"/no-dot-anywhere/track");
}

TEST_F(FileListViewTest, ThePathIsTheRowsIdentityExactly)
{
    const std::string wav = Audio("talk.wav", 1);
    list_->AddItem(wav);
    list_->AddItem(wav);
    list_->AddItem(dir_ / "TALK.wav");
    list_->AddItem("");
    EXPECT_EQ(Files(), (std::vector<std::string>{wav, dir_ / "TALK.wav"}));
    EXPECT_EQ(list_->GetCount(), 2);
}

TEST_F(FileListViewTest, ChosenFilesStopAtOneHundredRowsInTheirOrder)
{
    std::vector<std::string> chosen;
    for (int i = 0; i < 150; ++i) {
        chosen.push_back(dir_ / ("f" + std::to_string(149 - i) + ".mp3"));
        if (i == 10) {
            chosen.push_back("");
            chosen.push_back(chosen.front());
        }
    }
    EXPECT_EQ(list_->AddPaths(chosen), FileListView::kMaxItems);
    ASSERT_EQ(list_->GetItemCount(), 100);
    EXPECT_EQ(list_->GetCount(), 100);
    EXPECT_EQ(list_->GetItemFile(0), dir_ / "f149.mp3");
    EXPECT_EQ(list_->GetItemFile(99), dir_ / "f50.mp3");
    EXPECT_EQ(list_->AddPaths({dir_ / "more.mp3"}), 0);

    // With room again, files are taken once more.
    EXPECT_TRUE(list_->RemoveAt(0));
    EXPECT_EQ(list_->AddPaths({dir_ / "more.mp3", dir_ / "most.mp3"}), 1);
    EXPECT_EQ(list_->GetItemFile(99), dir_ / "more.mp3");
}

TEST_F(FileListViewTest, AddFilesTakesTheFilesChosenInTheDialogInItsOrder)
{
    const std::string first = Audio("b side.wav", 2);
    const std::string second = Audio("a side.mp3", 1);
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
    std::vector<std::string> expected{second};
    for (const QString& file : offered) {
        if (file.toStdString() != second)
            expected.push_back(file.toStdString());
    }
    EXPECT_EQ(Files(), expected);
    EXPECT_EQ(Files().back(), first);
    ASSERT_TRUE(Probed());
    EXPECT_EQ(Row(1)[1], L"00:02");
}

TEST_F(FileListViewTest, CancellingTheDialogAddsNothing)
{
    FileDialogDriver driver([](QFileDialog& dialog) { dialog.reject(); });
    list_->AddFiles();
    EXPECT_TRUE(driver.Answered());
    EXPECT_EQ(list_->GetCount(), 0);
}

TEST_F(FileListViewTest, DroppedFilesBecomeRowsUnderTheSameRules)
{
    const std::string a = Audio("drop a.wav", 1);
    const std::string b = Audio("拖放 b.wav", 2);
    std::filesystem::create_directories(dir_ / "a folder");
    list_->AddItem(b);
    EXPECT_TRUE(Drop({QUrl::fromLocalFile(QString::fromStdString(a)), QUrl(QStringLiteral("https://talvora.example/x.mp3")),
                      QUrl::fromLocalFile(QString::fromStdString(dir_ / "a folder")),
                      QUrl::fromLocalFile(QString::fromStdString(b))}));
    EXPECT_EQ(Files(), (std::vector<std::string>{b, a}));
    ASSERT_TRUE(Probed());
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
    std::vector<std::string> fill;
    for (int i = 0; i < 97; ++i)
        fill.push_back(dir_ / ("fill" + std::to_string(i) + ".wav"));
    EXPECT_EQ(list_->AddPaths(fill), 97);
    EXPECT_TRUE(Drop({QUrl::fromLocalFile(QString::fromStdString(dir_ / "x1.wav")),
                      QUrl::fromLocalFile(QString::fromStdString(dir_ / "x2.wav"))}));
    EXPECT_EQ(list_->GetItemCount(), 100);
    EXPECT_EQ(list_->GetItemFile(99), dir_ / "x1.wav");
}

TEST_F(FileListViewTest, ADroppedFolderGivesItsAudioAndVideoFilesOneLevelDownUpToTheRowLimit)
{
    const std::string folder = dir_ / "rec";
    std::filesystem::create_directories(folder + "/more");
    for (const char* name : {"track 10.wav", "track 2.MP3", "clip.mp4", "notes.txt", ".hidden.wav", "more/a.wav",
                             "more/b.wav"})
        TestSupport::WriteFile(folder + "/" + name, "x");
    list_->AddItem(folder + "/clip.mp4");
    std::vector<FileListView::FolderDrop> reports;
    list_->SetFolderDropReport([&](const FileListView::FolderDrop& drop) { reports.push_back(drop); });

    // In the names' order, numbers read as numbers; the listed file, the text and the subfolder
    // are left out and counted.
    EXPECT_TRUE(Drop({QUrl::fromLocalFile(QString::fromStdString(folder))}));
    EXPECT_EQ(Files(), (std::vector<std::string>{folder + "/clip.mp4", folder + "/track 2.MP3", folder + "/track 10.wav"}));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].added, 2);
    EXPECT_EQ(reports[0].skipped, 2);
    EXPECT_EQ(reports[0].subfolders, 1);

    // One row left: the folder's second file is skipped too.
    std::vector<std::string> fill;
    for (int i = 0; i < 96; ++i)
        fill.push_back(dir_ / ("fill" + std::to_string(i) + ".wav"));
    ASSERT_EQ(list_->AddPaths(fill), 96);
    EXPECT_TRUE(Drop({QUrl::fromLocalFile(QString::fromStdString(folder + "/more"))}));
    EXPECT_EQ(list_->GetItemCount(), 100);
    EXPECT_EQ(list_->GetItemFile(99), folder + "/more/a.wav");
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].added, 1);
    EXPECT_EQ(reports[1].skipped, 1);
    EXPECT_EQ(reports[1].subfolders, 0);
}

TEST_F(FileListViewTest, ALongPathIsCutInItsMiddleAndShownWholeInItsTooltip)
{
    std::string path = dir_.Path();
    for (int i = 0; i < 8; ++i)
        path += "/a folder with a rather long name " + std::to_string(i);
    // A name longer than half the cell: a plain middle cut would take some of it.
    path += "/会议录音 第二部分 final version 2.wav";
    list_->AddItem(path);
    list_->AddItem(dir_ / "short.wav");
    window_.GetWidget()->grab();

    ListRowsView* view = list_->View();
    const QString whole = QString::fromStdString(path);
    const QString shown = view->ShownText(0, FileListView::kColumnFile);
    const QString name = QStringLiteral("/会议录音 第二部分 final version 2.wav");
    // Cut among the folders: the start of the path, then the whole name.
    EXPECT_TRUE(shown.startsWith(whole.left(6))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(name)) << shown.toStdString();
    EXPECT_TRUE(shown.left(shown.size() - name.size()).contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_EQ(view->ShownText(1, FileListView::kColumnFile), QString::fromStdString(dir_ / "short.wav"));
    EXPECT_EQ(view->ShownText(0, FileListView::kColumnType), QStringLiteral(".wav"));

    // The pointer resting on the cell shows the whole path; the other cells have no tooltip.
    const QRect cell = view->visualRect(view->model()->index(0, FileListView::kColumnFile));
    QHelpEvent help(QEvent::ToolTip, cell.center(), view->viewport()->mapToGlobal(cell.center()));
    QCoreApplication::sendEvent(view->viewport(), &help);
    EXPECT_TRUE(UiTest::WaitFor([] { return QToolTip::isVisible(); }));
    EXPECT_EQ(QToolTip::text(), whole);
    QToolTip::hideText();
    EXPECT_FALSE(view->model()->index(0, FileListView::kColumnDuration).data(Qt::ToolTipRole).isValid());
}

TEST_F(FileListViewTest, BadIndexesAnswerNeutrallyWithAWarning)
{
    AddNamed({"a.wav"});
    const LogSince log;
    EXPECT_EQ(list_->GetItemStatus(-1), -1);
    EXPECT_EQ(list_->GetItemFile(5), "");
    EXPECT_EQ(list_->GetItemDuration(1), 0);
    EXPECT_FALSE(list_->RemoveAt(1));
    Control* element = list_->GetItemAt(0);
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

TEST_F(FileListViewTest, RemovingRowsKeepsRecordsAndElementsInStep)
{
    AddNamed({"0.wav", "1.wav", "2.wav", "3.wav", "4.wav"});
    // A row being recognised goes too, with its cells: the window alone refuses to delete it.
    TestSupport::WriteFile(list_->GetItemFile(3), "x");
    TranscriptionJobs jobs(std::make_shared<CloudRecognizer>(), nullptr, JobOptions{.maxWorkers = 0});
    list_->Files().SetJobs(&jobs);
    ASSERT_TRUE(list_->Files().Start(3));
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
    ListControl* asList = list_;
    EXPECT_TRUE(asList->Remove(asList->GetItemAt(0)));
    EXPECT_EQ(Files(), (std::vector<std::string>{dir_ / "3.wav", dir_ / "4.wav"}));
    ListRow stranger;
    EXPECT_FALSE(list_->Remove(&stranger));
    EXPECT_FALSE(list_->Remove(nullptr));

    AddNamed({"5.wav", "6.wav"});
    asList->RemoveAll();
    list_->Files().SetJobs(nullptr);
    EXPECT_EQ(list_->GetItemCount(), 0);
    EXPECT_EQ(list_->GetCount(), 0);
    AddNamed({"0.wav"});
    EXPECT_EQ(Row(0), before[0]);
}

TEST_F(FileListViewTest, RemovingTheSelectedRowTellsTheWindowWithRowsAndRecordsAgreeing)
{
    AddNamed({"a.wav", "b.wav", "c.wav"});
    ASSERT_TRUE(list_->SelectItem(1));
    std::vector<std::pair<int, int>> seen;  // rows and records at each selection change
    window_.onNotify = [&](Notification& message) {
        if (message.type == kNotifyItemSelect)
            seen.emplace_back(list_->GetCount(), list_->GetItemCount());
    };
    EXPECT_TRUE(list_->RemoveAt(1));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], std::make_pair(2, 2));
    EXPECT_EQ(list_->GetCurSel(), -1);
    window_.onNotify = nullptr;
}

TEST_F(FileListViewTest, ActionAndDeleteCellsAreFoundByPosition)
{
    AddNamed({"a.wav", "b.wav"});
    window_.GetWidget()->grab();  // lays the rows out
    Control* row = list_->GetItemAt(1);
    const UiRect rowRect = row->GetPos();
    ASSERT_FALSE(rowRect.IsEmpty());
    const UiRect action = list_->GetHeader()->GetColumnRect(FileListView::kColumnAction);
    const UiRect remove = list_->GetHeader()->GetColumnRect(FileListView::kColumnDelete);
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

    ListRow stranger;
    EXPECT_FALSE(list_->HitTestColumn(&stranger, remove.left + 40, middle, false));
    EXPECT_FALSE(list_->HitTestColumn(nullptr, remove.left + 40, middle, false));
}

}  // namespace
