#include "ui/FileListView.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/TextUtils.h"
#include "ui/EngineTexts.h"
#include "ui/AudioFileTypes.h"
#include "ui/DroppedFiles.h"
#include "ui/OpenFilesDialog.h"
#include "ui/toolkit/WindowBase.h"
#include "ui/toolkit/ListHeader.h"
#include "ui/toolkit/ListRow.h"
#include "ui/toolkit/ListRowsView.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontMetrics>

namespace {

constexpr char kUnknownText[] = "unknown";

constexpr size_t kDialogResultChars = 26000;

}  // namespace

FileListView::FileListView()
    : probes([this](const std::string& path, int32_t seconds) {
          // The answer comes on the probing thread; the rows are this thread's. A view gone
          // meanwhile takes no answer.
          QMetaObject::invokeMethod(
              this,
              [this, path, seconds] {
                  if (files.SetDuration(path, seconds) >= 0)
                      Refresh();
              },
              Qt::QueuedConnection);
      })
{
    // Adding many files, or a slow one, never holds up the window.
    files.SetDurationProbe([this](const std::string& path) { probes.Probe(path); });
    SetTextCallback(this);
    // Drops land on the row view first; it passes them on to the list, which adds the files.
    setAcceptDrops(true);
    View()->setAcceptDrops(false);
    View()->viewport()->setAcceptDrops(false);
}

// The list's own destructor stops asking for texts before its elements go.
FileListView::~FileListView() = default;

void FileListView::AddFiles()
{
    OpenFilesDialog dialog;
    WindowBase* window = GetWindow();
    dialog.SetOwner(window != nullptr ? window->GetWidget() : nullptr);
    dialog.SetTitle(tr("选择文件").toStdWString());
    dialog.AddFilter(tr("audio files").toStdWString(), AudioFileTypes::Patterns());
    dialog.AddFilter(tr("all files(*.*)").toStdWString(), L"*.*");
    dialog.SetFlags(OpenFilesDialog::kExplorer | OpenFilesDialog::kAllowMultiSelect | OpenFilesDialog::kHideReadOnly |
                    OpenFilesDialog::kNoChangeDir);
    dialog.SetBufferSize(kDialogResultChars);
    if (!dialog.DoModal())
        return;
    std::vector<std::string> chosen;
    for (const std::wstring& path : dialog.GetPathNames())
        chosen.push_back(QString::fromStdWString(path).toStdString());
    const int added = AddPaths(chosen);
    WriteLog(Info, LogTag::kFileListViewAddFiles, "chose %zu files, added %d", chosen.size(), added);
}

bool FileListView::AddItem(const std::string& path)
{
    return files.Add(path) && AddElements(1) == 1;
}

int FileListView::AddPaths(const std::vector<std::string>& paths)
{
    const int before = GetItemCount();
    const int added = AddElements(files.AddPaths(paths));
    if (added > 0)
        EnsureVisible(before);
    return added;
}

int FileListView::AddElements(int rows)
{
    for (int i = 0; i < rows; ++i) {
        if (!ListControl::AddAt(new ListRow(), GetCount())) {
            // Cannot happen for a fresh element at the end; keep the rows and elements in step
            // anyway.
            const int row = GetCount();
            WriteLog(Error, LogTag::kFileListViewAddItem, "%s", ("row not added: " + files.Row(row)->filePath).c_str());
            while (files.Count() > row)
                files.Remove(row);
            return i;
        }
    }
    return rows;
}

bool FileListView::Exists(int index, const char* tag, const char* format)
{
    if (files.Row(index) != nullptr)
        return true;
    WriteLog(Warning, tag, format, index, static_cast<unsigned long>(files.Count()));
    return false;
}

std::string FileListView::GetItemFile(int index)
{
    if (!Exists(index, LogTag::kFileListViewGetItemFile, "row not eq data size: row: %d, size: %lu"))
        return {};
    return files.Row(index)->filePath;
}

int FileListView::GetItemDuration(int index)
{
    if (!Exists(index, LogTag::kFileListViewGetItemDuration, "row not eq data size: row: %d, size: %lu"))
        return 0;
    return files.Row(index)->durationSeconds;
}

int FileListView::GetItemStatus(int index)
{
    if (files.Row(index) == nullptr) {
        WriteLog(Warning, LogTag::kFileListViewGetItemStatus, "GetItemStatus not exist: %d", index);
        return -1;
    }
    return files.Row(index)->status;
}

const wchar_t* FileListView::GetItemText(Control* element, int row, int column)
{
    std::string text = kUnknownText;
    if (Exists(row, LogTag::kFileListViewGetItemText, "row not eq data size: row: %d, size: %lu")) {
        const FileRow& item = *files.Row(row);
        switch (column) {
        case kColumnFile:
            text = item.filePath;
            break;
        case kColumnDuration:
            // Still being probed.
            text = item.durationSeconds == FileRow::kDurationUnknown ? "--:--" : TextUtils::FormatDuration(item.durationSeconds);
            break;
        case kColumnType:
            text = item.FileType();
            break;
        case kColumnProgress:
            text = item.progressText;
            break;
        case kColumnElapsed:
            text = TextUtils::FormatDuration(item.elapsedSeconds);
            break;
        case kColumnAction:
            text = EngineTexts::Translate(item.ActionText()).toStdString();
            break;
        case kColumnDelete:
            text = EngineTexts::Translate(FileRow::kDeleteText).toStdString();
            break;
        default:
            break;
        }
    }
    std::wstring cell = QString::fromStdString(text).toStdWString();
    if (element == nullptr) {
        lastText = std::move(cell);
        return lastText.c_str();
    }
    element->SetUserData(cell);
    return element->GetUserData().c_str();
}

std::wstring FileListView::GetItemToolTip(Control*, int row, int column)
{
    const FileRow* item = files.Row(row);
    if (item == nullptr || column != kColumnFile)
        return std::wstring();
    return QString::fromStdString(item->filePath).toStdWString();
}

QString FileListView::FitCellText(int column, const QString& text, const QFontMetrics& metrics, int width) const
{
    if (column != kColumnFile || metrics.horizontalAdvance(text) <= width)
        return ListControl::FitCellText(column, text, metrics, width);
    // The name is what tells the rows apart: the cut goes into the folders while the name fits.
    const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
    if (slash > 0) {
        const QString name = text.mid(slash);
        const int room = width - metrics.horizontalAdvance(name);
        const QString folders = room > 0 ? metrics.elidedText(text.left(slash), Qt::ElideMiddle, room) : QString();
        if (!folders.isEmpty())
            return folders + name;
    }
    return metrics.elidedText(text, Qt::ElideMiddle, width);
}

bool FileListView::IsCellPressable(int row, int column) const
{
    const FileRow* item = files.Row(row);
    if (item == nullptr)
        return false;
    // As the window answers a click there: a row that cannot start keeps its action cell still.
    if (column == kColumnAction)
        return item->status == ItemIdle || item->status == ItemFailed;
    return column == kColumnDelete;
}

bool FileListView::RemoveAt(int index)
{
    if (!Exists(index, LogTag::kFileListViewRemoveAt, "row not eq data size: row: %d, size: %lu"))
        return false;
    // The row goes first: removing the selected row tells the window at once, and by then the
    // remaining rows and elements must agree.
    files.Remove(index);
    return ListControl::RemoveAt(index);
}

bool FileListView::Remove(Control* element)
{
    return RemoveAt(GetItemIndex(element));
}

void FileListView::RemoveAll()
{
    files.Clear();
    ListControl::RemoveAll();
}

bool FileListView::HitTestColumn(Control* element, int x, int y, bool action)
{
    if (element == nullptr || GetItemIndex(element) < 0)
        return false;
    const int column = action ? kColumnAction : kColumnDelete;
    const UiRect columnRect = GetHeader()->GetColumnRect(column);
    const UiRect rowRect = element->GetPos();
    const UiRect inset = GetItemTextPadding();
    UiRect cell{columnRect.left + inset.left, rowRect.top + inset.top, columnRect.right - inset.right,
                rowRect.bottom - inset.bottom};
    return cell.Contains(x, y);
}

void FileListView::dragEnterEvent(QDragEnterEvent* event)
{
    const bool accepted = DroppedFiles::Offers(event->mimeData());
    if (accepted)
        event->acceptProposedAction();
    else
        event->ignore();
    SetDropHighlight(accepted);
}

void FileListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (DroppedFiles::Offers(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileListView::dragLeaveEvent(QDragLeaveEvent* event)
{
    SetDropHighlight(false);
    ListControl::dragLeaveEvent(event);
}

void FileListView::dropEvent(QDropEvent* event)
{
    SetDropHighlight(false);
    const DroppedFiles dropped(event->mimeData());
    if (dropped.Files().empty() && dropped.Folders() == 0) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const int added = AddPaths(dropped.Files());
    WriteLog(Info, LogTag::kFileListViewDropEvent, "dropped %zu files, added %d", dropped.Files().size(), added);
    if (dropped.Folders() == 0)
        return;
    FolderDrop report;
    report.added = added;
    report.skipped = dropped.OtherFiles() + static_cast<int>(dropped.Files().size()) - added;
    report.subfolders = dropped.Subfolders();
    WriteLog(Info, LogTag::kFileListViewDropEvent, "%d folders: %d files neither audio nor video, %d subfolders not opened",
             dropped.Folders(), dropped.OtherFiles(), dropped.Subfolders());
    if (folderDropReport)
        folderDropReport(report);
}
