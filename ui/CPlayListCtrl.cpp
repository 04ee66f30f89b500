#include "ui/CPlayListCtrl.h"

#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "base/TextUtils.h"
#include "engine/CAudioSegment.h"
#include "engine/CData.h"
#include "engine/MediaInfoProbe.h"
#include "engine/RecognitionFailure.h"
#include "ui/CFileOpenDialog.h"
#include "ui/CMessageWnd.h"
#include "ui/toolkit/CListHeaderUI.h"
#include "ui/toolkit/CListTextElementUI.h"
#include "ui/toolkit/CListViewUI.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace {

constexpr wchar_t kActionStart[] = L"开始";
constexpr wchar_t kActionRecognizing[] = L"识别中";
constexpr wchar_t kActionDone[] = L"完成";
constexpr wchar_t kActionFailed[] = L"失败";
constexpr wchar_t kDeleteText[] = L"删除";
constexpr wchar_t kUnknownText[] = L"unknown";
constexpr wchar_t kPoorAudioText[] = L",音频质量太差，部分内容无法识别。";
// A segment that needed this many dispatches makes the file's text incomplete or doubtful.
constexpr int32_t kPoorAudioAttempts = 10;

constexpr wchar_t kAudioPatterns[] =
    L"*.3ga;*.669;*.a52;*.aac;*.ac3;*.adt;*.adts;*.aif;*.aifc;*.aiff;*.amr;*.aob;*.ape;*.awb;*.caf;*.dts;"
    L"*.flac;*.it;*.kar;*.m4a;*.m4b;*.m4p;*.m5p;*.mid;*.mka;*.mlp;*.mod;*.mpa;*.mp1;*.mp2;*.mp3;*.mpc;*.mpga;"
    L"*.mus;*.oga;*.ogg;*.oma;*.opus;*.qcp;*.ra;*.rmi;*.s3m;*.sid;*.spx;*.thd;*.tta;*.voc;*.vqf;*.w64;*.wav;"
    L"*.wma;*.wv;*.xa;*.xm;"
    // Video files: ffmpeg takes their sound track.
    L"*.3gp;*.avi;*.flv;*.m4v;*.mkv;*.mov;*.mp4;*.mpeg;*.mpg;*.webm;*.wmv";
constexpr size_t kDialogResultChars = 26000;

// The local files a drag carries, in its order; anything else (web links, folders) is left out.
std::vector<std::wstring> DroppedFiles(const QMimeData* mime, bool logSkipped)
{
    std::vector<std::wstring> files;
    if (mime == nullptr || !mime->hasUrls())
        return files;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isDir()) {
            if (logSkipped)
                WriteLog(Info, "CPlayListCtrl::dropEvent", "%s", ("folder not added: " + path.toStdString()).c_str());
            continue;
        }
        files.push_back(path.toStdWString());
    }
    return files;
}

}  // namespace

CPlayListCtrl::CPlayListCtrl()
{
    SetTextCallback(this);
    // Drops land on the row view first; it passes them on to the list, which adds the files.
    setAcceptDrops(true);
    View()->setAcceptDrops(false);
    View()->viewport()->setAcceptDrops(false);
}

// The list's own destructor stops asking for texts before its elements go.
CPlayListCtrl::~CPlayListCtrl() = default;

void CPlayListCtrl::AddFiles()
{
    CFileOpenDialog dialog;
    CWindowBase* window = GetWindow();
    dialog.SetOwner(window != nullptr ? window->GetWidget() : nullptr);
    dialog.SetTitle(L"选择文件");
    dialog.AddFilter(L"audio files", kAudioPatterns);
    dialog.AddFilter(L"all files(*.*)", L"*.*");
    dialog.SetFlags(CFileOpenDialog::kExplorer | CFileOpenDialog::kAllowMultiSelect | CFileOpenDialog::kHideReadOnly |
                    CFileOpenDialog::kNoChangeDir);
    dialog.SetBufferSize(kDialogResultChars);
    if (!dialog.DoModal())
        return;
    const int added = AddPaths(dialog.GetPathNames());
    WriteLog(Info, "CPlayListCtrl::AddFiles", "chose %zu files, added %d", dialog.GetPathNames().size(), added);
}

void CPlayListCtrl::AddItem(const std::wstring& path)
{
    if (path.empty())
        return;
    for (const PlayItem& item : items) {
        if (item.filePath == path)
            return;
    }
    PlayItem item;
    item.filePath = path;
    item.durationSeconds = ProbeAudioDuration(path);
    item.durationText = AnsiToWide(PubUtils::FormatDuration(item.durationSeconds));
    item.fileType = PubUtils::CutString(path, L".", true, false, true);
    item.progressText = L"0";
    item.elapsedSeconds = 0;
    item.actionText = kActionStart;
    item.deleteText = kDeleteText;
    item.status = ItemIdle;
    items.push_back(std::move(item));
    if (!CListUI::AddAt(new CListTextElementUI(), GetCount())) {
        // Cannot happen for a fresh element at the end; keep the rows and records in step anyway.
        items.pop_back();
        WriteLog(Error, "CPlayListCtrl::AddItem", "%s", ("row not added: " + WideToAnsi(path)).c_str());
    }
}

int CPlayListCtrl::AddPaths(const std::vector<std::wstring>& paths)
{
    const int before = GetItemCount();
    for (const std::wstring& path : paths) {
        if (path.empty())
            continue;
        if (GetItemCount() >= kMaxItems)
            break;
        AddItem(path);
    }
    const int added = GetItemCount() - before;
    if (added > 0)
        EnsureVisible(before);
    return added;
}

std::wstring CPlayListCtrl::GetItemFile(int index)
{
    if (index < 0 || index >= GetItemCount()) {
        WriteLog(Warning, "CPlayListCtrl::GetItemFile", "row not eq data size: row: %d, size: %lu", index,
                 static_cast<unsigned long>(items.size()));
        return std::wstring();
    }
    return items[static_cast<size_t>(index)].filePath;
}

int CPlayListCtrl::GetItemDuration(int index)
{
    if (index < 0 || index >= GetItemCount()) {
        WriteLog(Warning, "CPlayListCtrl::GetItemDuration", "row not eq data size: row: %d, size: %lu", index,
                 static_cast<unsigned long>(items.size()));
        return 0;
    }
    return items[static_cast<size_t>(index)].durationSeconds;
}

int CPlayListCtrl::GetItemStatus(int index)
{
    if (index < 0 || index >= GetItemCount()) {
        WriteLog(Warning, "CPlayListCtrl::GetItemStatus", "GetItemStatus not exist: %d", index);
        return -1;
    }
    return items[static_cast<size_t>(index)].status;
}

bool CPlayListCtrl::SetItemRecognizing(int index)
{
    if (index < 0 || index >= GetItemCount())
        return false;
    PlayItem& item = items[static_cast<size_t>(index)];
    if (item.status == ItemFailed) {
        // A new recognition of the file: its progress and time start over.
        item.progressText = L"0";
        item.elapsedSeconds = 0;
    } else if (item.status != ItemIdle) {
        return false;
    }
    item.status = ItemRecognizing;
    item.actionText = kActionRecognizing;
    Invalidate();
    return true;
}

bool CPlayListCtrl::ResetItem(int index)
{
    if (index < 0 || index >= GetItemCount())
        return false;
    PlayItem& item = items[static_cast<size_t>(index)];
    item.progressText = L"0";
    item.elapsedSeconds = 0;
    item.actionText = kActionStart;
    item.status = ItemIdle;
    item.saved = false;
    Invalidate();
    return true;
}

bool CPlayListCtrl::IsItemSaved(int index) const
{
    return index >= 0 && index < GetItemCount() && items[static_cast<size_t>(index)].saved;
}

void CPlayListCtrl::SetItemSaved(int index)
{
    if (index >= 0 && index < GetItemCount())
        items[static_cast<size_t>(index)].saved = true;
}

void CPlayListCtrl::UpdateItemStatus(const std::vector<CAudioSegment*>& vctInfo)
{
    if (vctInfo.empty()) {
        WriteLog(Warning, "CPlayListCtrl::UpdateItemStatus", "%s", "UpdateItemStatus vctInfo is empty");
        return;
    }
    for (const CAudioSegment* record : vctInfo) {
        if (record == nullptr) {
            WriteLog(Warning, "CPlayListCtrl::UpdateItemStatus", "%s", "UpdateItemStatus null record");
            return;
        }
    }
    const CAudioSegment& first = *vctInfo.front();
    const std::wstring file = AnsiToWide(first.file);
    PlayItem* item = nullptr;
    for (PlayItem& candidate : items) {
        if (candidate.filePath == file) {
            item = &candidate;
            break;
        }
    }
    if (item == nullptr) {
        WriteLog(Warning, "CPlayListCtrl::UpdateItemStatus", "UpdateItemStatus no found. %s", first.file.c_str());
        return;
    }
    // A record without a plan would divide by zero; it cannot come from the job manager.
    if (first.segmentCount <= 0) {
        WriteLog(Warning, "CPlayListCtrl::UpdateItemStatus", "UpdateItemStatus bad segment count %d. %s",
                 first.segmentCount, first.file.c_str());
        return;
    }

    const size_t count = vctInfo.size();
    const unsigned percent = static_cast<unsigned>(count * 100 / static_cast<size_t>(first.segmentCount));
    wchar_t progress[32];
    std::swprintf(progress, sizeof progress / sizeof progress[0], L"%u%%", percent);
    item->progressText = progress;

    if (count == static_cast<size_t>(first.segmentCount)) {
        const bool failed = RecognitionFailure::IsFailed(vctInfo);
        // Told once, when the file completes; later calls only rewrite the same values.
        if (item->status != ItemDone && item->status != ItemFailed) {
            if (failed) {
                ShowWarning(RecognitionFailure::Describe(vctInfo));
            } else {
                for (const CAudioSegment* record : vctInfo) {
                    if (record->attempts >= kPoorAudioAttempts) {
                        ShowWarning(AnsiToWide(record->file) + kPoorAudioText);
                        break;
                    }
                }
            }
        }
        item->progressText = L"100%";
        item->actionText = failed ? kActionFailed : kActionDone;
        item->status = failed ? ItemFailed : ItemDone;
    }
    Invalidate();
}

void CPlayListCtrl::ShowWarning(const std::wstring& text)
{
    // It stays until clicked, and deletes itself when its window is gone.
    auto* box = new CMessageWnd(1, 0);
    box->SetButtons(L"确定", L"取消", false);
    box->SetMessage(text);
    box->ShowMessageWnd(CWindowBase::FromHandle(CData::Instance().GetMainWnd().get()), nullptr, 0);
}

void CPlayListCtrl::TickElapsed()
{
    for (PlayItem& item : items) {
        if (item.status == ItemRecognizing)
            ++item.elapsedSeconds;
    }
    Invalidate();
}

const wchar_t* CPlayListCtrl::GetItemText(CControlUI* element, int row, int column)
{
    std::wstring text;
    if (row < 0 || row >= GetItemCount()) {
        WriteLog(Warning, "CPlayListCtrl::GetItemText", "row not eq data size: row: %d, size: %lu", row,
                 static_cast<unsigned long>(items.size()));
        text = kUnknownText;
    } else {
        const PlayItem& item = items[static_cast<size_t>(row)];
        switch (column) {
        case kColumnFile:
            text = item.filePath;
            break;
        case kColumnDuration:
            text = item.durationText;
            break;
        case kColumnType:
            text = item.fileType;
            break;
        case kColumnProgress:
            text = item.progressText;
            break;
        case kColumnElapsed:
            text = AnsiToWide(PubUtils::FormatDuration(item.elapsedSeconds));
            break;
        case kColumnAction:
            text = item.actionText;
            break;
        case kColumnDelete:
            text = item.deleteText;
            break;
        default:
            text = kUnknownText;
            break;
        }
    }
    if (element == nullptr) {
        lastText = std::move(text);
        return lastText.c_str();
    }
    element->SetUserData(text);
    return element->GetUserData().c_str();
}

bool CPlayListCtrl::RemoveAt(int index)
{
    if (index < 0 || index >= GetItemCount()) {
        WriteLog(Warning, "CPlayListCtrl::RemoveAt", "row not eq data size: row: %d, size: %lu", index,
                 static_cast<unsigned long>(items.size()));
        return false;
    }
    // The record goes first: removing the selected row tells the window at once, and by then
    // the remaining rows and records must agree.
    items.erase(items.begin() + index);
    return CListUI::RemoveAt(index);
}

bool CPlayListCtrl::Remove(CControlUI* element)
{
    return RemoveAt(GetItemIndex(element));
}

void CPlayListCtrl::RemoveAll()
{
    items.clear();
    CListUI::RemoveAll();
}

bool CPlayListCtrl::HitTestColumn(CControlUI* element, int x, int y, bool action)
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

void CPlayListCtrl::dragEnterEvent(QDragEnterEvent* event)
{
    const bool accepted = !DroppedFiles(event->mimeData(), false).empty();
    if (accepted)
        event->acceptProposedAction();
    else
        event->ignore();
    SetDropHighlight(accepted);
}

void CPlayListCtrl::dragMoveEvent(QDragMoveEvent* event)
{
    if (!DroppedFiles(event->mimeData(), false).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void CPlayListCtrl::dragLeaveEvent(QDragLeaveEvent* event)
{
    SetDropHighlight(false);
    CListUI::dragLeaveEvent(event);
}

void CPlayListCtrl::dropEvent(QDropEvent* event)
{
    SetDropHighlight(false);
    const std::vector<std::wstring> files = DroppedFiles(event->mimeData(), true);
    if (files.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const int added = AddPaths(files);
    WriteLog(Info, "CPlayListCtrl::dropEvent", "dropped %zu files, added %d", files.size(), added);
}
