#include "ui/RtmpPlayer.h"

#include "base/AppPaths.h"
#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "base/platform/WindowMessages.h"
#include "engine/CAudioConvert.h"
#include "engine/CAudioSegment.h"
#include "engine/CData.h"
#include "engine/RecognitionFailure.h"
#include "engine/SegmentTexts.h"
#include "maintenance/CUpdateChecker.h"
#include "maintenance/CUpdateNotice.h"
#include "maintenance/LaunchUpdater.h"
#include "ui/BrowseForFolder.h"
#include "ui/CAboutAppDlg.h"
#include "ui/CMessageWnd.h"
#include "ui/CPlayListCtrl.h"
#include "ui/MessageWndTaskNotice.h"
#include "ui/PlayItem.h"
#include "ui/ResultFileNames.h"
#include "ui/SaveWholeFile.h"
#include "ui/toolkit/CButtonUI.h"
#include "ui/toolkit/CLabelUI.h"
#include "ui/toolkit/CRichEditUI.h"
#include "ui/toolkit/UiToolkit.h"


#include <filesystem>
#include <map>

namespace {

constexpr uintptr_t kSystemCommandMask = 0xFFF0;
constexpr uintptr_t kKeyL = 0x4C;
constexpr int kNoticeSeconds = 5;

}  // namespace

RtmpPlayer::RtmpPlayer()
    : audioConvert(std::make_unique<CAudioConvert>()), aboutDlg(std::make_unique<CAboutAppDlg>())
{
    audioConvert->SetTaskNotice(std::make_shared<MessageWndTaskNotice>());
    // "立即更新" ends the application through this window's close sequence, which ends with the
    // application's exit: the exit then runs once. Posted, because the close releases the
    // About object whose click is being handled.
    aboutDlg->SetExitRequest([](void* self) { static_cast<RtmpPlayer*>(self)->PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0); },
                             this);
}

RtmpPlayer::~RtmpPlayer()
{
    // Nothing may reach the job manager from here on, even if the window still exists.
    closing = true;
    aboutDlg.reset();
    audioConvert.reset();
}

std::wstring RtmpPlayer::GetWindowClassName() const
{
    return L"Talvora";
}

std::wstring RtmpPlayer::GetSkinFile() const
{
    return L"RtmpPlayer.xml";
}

// The layout is as large as the window main creates, so it can be mapped before the layout is
// read: the window appears sooner and its first picture is still the whole layout.
bool RtmpPlayer::ShowsBeforeLayout() const
{
    return true;
}

CControlUI* RtmpPlayer::CreateControl(const std::wstring& className)
{
    if (className == L"CPlayListCtrl")
        return new CPlayListCtrl();
    return nullptr;
}

void RtmpPlayer::InitWindow()
{
    btnMin = FindControl<CButtonUI>(L"btnMin");
    btnMax = FindControl<CButtonUI>(L"btnMax");
    btnClose = FindControl<CButtonUI>(L"btnClose");
    btnAbout = FindControl<CButtonUI>(L"btnAbout");
    btnAdd = FindControl<CButtonUI>(L"btnAdd");
    btnStart = FindControl<CButtonUI>(L"btnStart");
    btnStartAll = FindControl<CButtonUI>(L"btnStartAll");
    btnSave = FindControl<CButtonUI>(L"btnSave");
    playList = FindControl<CPlayListCtrl>(L"playList");
    edtText = FindControl<CRichEditUI>(L"edtText");
    if (playList == nullptr || edtText == nullptr || btnClose == nullptr)
        WriteLog(Error, "RtmpPlayer::InitWindow", "%s", "the layout lacks the list, the text pane or the close button");

    // The title says when the text comes from this machine rather than the cloud service, whose
    // quality and languages differ; with the service the title stays as it always was.
    if (auto* recognizer = FindControl<CLabelUI>(L"labRecognizer");
        recognizer != nullptr && audioConvert->GetRecognizerKind() == RecognizerKind::LocalEnglish)
        recognizer->SetText(kLocalRecognizerTitle);

    CData::Instance().SetMainWnd(GetHandle());
    if (!SetTimer(btnClose, kTickTimerId, kTickMs))
        WriteLog(Error, "RtmpPlayer::InitWindow", "%s", "the one-second tick cannot be started");

    // Centred before it is shown, so it does not appear in the corner first.
    CenterWindow();
    ShowWindow(true, true);

    // After the window is up: the check's set-up (libcurl) is no reason to show the window later.
    CUpdateChecker& checker = CData::Instance().GetUpdateChecker();
    checker.SetNotifyWnd(GetHandle());
    checker.StartCheck();
}

void RtmpPlayer::Notify(TNotifyUI& message)
{
    CWindowBase::Notify(message);
    if (closing)
        return;
    if (message.type == kNotifyTimer) {
        if (audioConvert != nullptr)
            audioConvert->Dispatch();
        if (playList != nullptr)
            playList->TickElapsed();
    } else if (message.type == kNotifyItemSelect) {
        // The new row comes with the notification: while a click is being handled the list may
        // not report it as selected yet.
        const auto row = static_cast<int>(static_cast<intptr_t>(message.wParam));
        if (playList != nullptr && row >= 0 && row < playList->GetCount())
            ShowResultText(row);
        else
            RefreshResultText();
    }
}

void RtmpPlayer::OnClick(TNotifyUI& message)
{
    CControlUI* sender = message.sender;
    if (sender == nullptr)
        return;
    if (sender == btnClose)
        Close();
    else if (sender == btnMax)
        ToggleMaximize();
    else if (sender == btnMin)
        PostMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (sender == btnAbout)
        ShowAboutDlg();
    else if (sender == btnAdd) {
        if (playList != nullptr)
            playList->AddFiles();
    } else if (sender == btnStart)
        StartNextItem();
    else if (sender == btnStartAll)
        StartAllItems();
    else if (sender == btnSave)
        SaveResults();
}

void RtmpPlayer::AddFiles(const std::vector<std::wstring>& paths, const char* origin)
{
    if (closing || playList == nullptr)
        return;
    std::vector<std::wstring> files;
    for (const std::wstring& path : paths) {
        std::error_code error;
        if (std::filesystem::is_regular_file(WideToAnsi(path), error))
            files.push_back(path);
        else
            WriteLog(Warning, "RtmpPlayer::AddFiles", "%s", ("not a file that can be added: " + WideToAnsi(path)).c_str());
    }
    const int added = playList->AddPaths(files);
    WriteLog(Info, "RtmpPlayer::AddFiles", "%s gave %zu files, added %d", origin, paths.size(), added);
}

void RtmpPlayer::ToggleMaximize()
{
    if (btnMax == nullptr)
        return;
    if (IsMaximized()) {
        PostMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
        btnMax->SetNormalImage(L"restore_normal.png");
        btnMax->SetHotImage(L"restore_over.png");
        btnMax->SetPushedImage(L"restore_over.png");
    } else {
        PostMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        btnMax->SetNormalImage(L"max_normal.png");
        btnMax->SetHotImage(L"max_over.png");
        btnMax->SetPushedImage(L"max_over.png");
    }
}

void RtmpPlayer::ShowAboutDlg()
{
    if (aboutDlg == nullptr)
        return;
    if (aboutDlg->IsWindow()) {
        aboutDlg->BringToTop();
        return;
    }
    if (!aboutDlg->Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 600, 400))
        return;
    aboutDlg->CenterWindow();
    aboutDlg->ShowWindow(true, true);
}

bool RtmpPlayer::StartItem(int index)
{
    if (audioConvert == nullptr || playList == nullptr)
        return false;
    const std::string path = WideToAnsi(playList->GetItemFile(index));
    if (!audioConvert->AddTask(path, playList->GetItemDuration(index)))
        return false;
    playList->SetItemRecognizing(index);
    return true;
}

void RtmpPlayer::StartNextItem()
{
    if (closing || playList == nullptr)
        return;
    for (int i = 0; i < playList->GetCount(); ++i) {
        if (playList->GetItemStatus(i) != ItemIdle)
            continue;
        // One click starts at most one file; a refused file is tried again by the next click.
        StartItem(i);
        return;
    }
}

void RtmpPlayer::StartAllItems()
{
    if (closing || playList == nullptr)
        return;
    for (int i = 0; i < playList->GetCount(); ++i) {
        if (playList->GetItemStatus(i) == ItemIdle)
            StartItem(i);
    }
}

std::wstring RtmpPlayer::BuildResultText(const std::wstring& file)
{
    if (audioConvert == nullptr)
        return {};
    const std::vector<CAudioSegment*> records = audioConvert->GetFinishedSegments(WideToAnsi(file));
    if (!records.empty() && playList != nullptr)
        playList->UpdateItemStatus(records);
    if (RecognitionFailure::IsFailed(records))
        return RecognitionFailure::Describe(records);
    return SegmentTexts::Joined(records);
}

void RtmpPlayer::RefreshResultText()
{
    if (closing || playList == nullptr || edtText == nullptr)
        return;
    int row = playList->GetCurSel();
    if (row < 0) {
        if (playList->GetCount() == 0)
            return;
        playList->SelectItem(0, false);
        row = 0;
    }
    ShowResultText(row);
}

void RtmpPlayer::ShowResultText(int row)
{
    if (edtText != nullptr && playList != nullptr)
        edtText->SetText(BuildResultText(playList->GetItemFile(row)));
}

void RtmpPlayer::SaveResults()
{
    if (closing || playList == nullptr)
        return;
    std::map<std::wstring, std::wstring> results;
    for (int i = 0; i < playList->GetCount(); ++i) {
        if (playList->GetItemStatus(i) == ItemDone) {
            const std::wstring path = playList->GetItemFile(i);
            results[path] = BuildResultText(path);
        }
    }
    if (results.empty()) {
        ShowNotice(L"暂无需要保存的内容!");
        return;
    }

    const std::string folder = WideToAnsi(BrowseForFolder(this, L"选择保存目录"));
    // The window may have been closed while the folder chooser was open.
    if (folder.empty() || closing)
        return;

    // Files already in the folder keep their content: the texts take names still free there.
    ResultFileNames names(AnsiToWide(folder));
    int saved = 0;
    for (const auto& [path, text] : results) {
        const std::string target = folder + "/" + WideToAnsi(names.Take(path)) + ".txt";
        bool opened = false;
        if (SaveWholeFile(target, WideToAnsi(text), opened)) {
            ++saved;
        } else if (!opened) {
            WriteLog(Error, "RtmpPlayer::OnClick", "%s", ("fopen create file failed." + folder).c_str());
        } else {
            // Not counted: the user would otherwise take a cut-off file for the whole text.
            WriteLog(Error, "RtmpPlayer::OnClick", "%s", ("write file failed. " + target).c_str());
        }
    }
    ShowNotice(L"成功保存 " + std::to_wstring(saved) + L" 个结果");
}

void RtmpPlayer::Close()
{
    if (closing)
        return;
    closing = true;
    WriteLog(Info, "RtmpPlayer::Close", "main close");
    KillTimer(btnClose);
    ShowWindow(false);
    // The About window goes with its object; the job manager's workers finish without effect.
    aboutDlg.reset();
    audioConvert.reset();
    CData::Instance().PostAppExit();
}

void RtmpPlayer::OnFinalMessage()
{
    CWindowBase::OnFinalMessage();
    UiToolkit::PostQuitMessage(0);
}

void RtmpPlayer::OnOwnedMessage(uint32_t message, uintptr_t wParam, std::unique_ptr<WindowPayload> payload)
{
    if (message == WM_USER_UPDATE)
        OnUpdateReport(wParam, dynamic_cast<const CUpdateNotice*>(payload.get()));
}

intptr_t RtmpPlayer::MessageHandler(uint32_t message, uintptr_t wParam, intptr_t lParam, bool&)
{
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == kKeyL && UiToolkit::IsKeyDown(VK_CONTROL) && UiToolkit::IsKeyDown(VK_SHIFT))
            UiToolkit::ShellOpen(AnsiToWide(PubUtils::GetAppDataDir()));
        break;
    case WM_SYSCOMMAND:
        if ((wParam & kSystemCommandMask) == SC_CLOSE) {
            // A close from the desktop (its close button, Alt+F4) releases the jobs and ends the
            // application just like the close button does.
            if (!closing)
                Close();
            ShowWindow(false);
        }
        break;
    case WM_LBUTTONDOWN:
        OnListButtonDown(lParam);
        break;
    case WM_USER_SEGMENT_DONE:
        OnSegmentDone(wParam);
        break;
    default:
        break;
    }
    return 0;
}

void RtmpPlayer::OnUpdateReport(uintptr_t kind, const CUpdateNotice* notice)
{
    if (kind == kUpdateCheckFailed) {
        WriteLog(Warning, "RtmpPlayer::MessageHandler", "check update version failed");
    } else if (kind == kUpdateNeeded) {
        CUpdateChecker& checker = CData::Instance().GetUpdateChecker();
        if (checker.IsUpdateAvailable())
            WriteLog(Info, "RtmpPlayer::MessageHandler", "has no must update version");
        if (checker.IsUpdateRequired()) {
            WriteLog(Info, "RtmpPlayer::MessageHandler", "find must update version. start update");
            if (!closing) {
                LaunchUpdater();
                // The same orderly shutdown as the close button.
                Close();
            }
        }
    }
    WriteLog(Info, "RtmpPlayer::MessageHandler", "update msg: %d, %s", static_cast<int>(kind),
             notice != nullptr ? notice->Value.c_str() : "");
}

void RtmpPlayer::OnListButtonDown(intptr_t lParam)
{
    if (closing || playList == nullptr || audioConvert == nullptr)
        return;
    const UiPoint point = PointFromLParam(lParam);
    CControlUI* element = FindControlAt(point.x, point.y);
    if (element == nullptr)
        return;
    const int index = playList->GetItemIndex(element);
    if (index < 0)
        return;
    const std::string path = WideToAnsi(playList->GetItemFile(index));
    if (playList->HitTestColumn(element, point.x, point.y, false)) {
        if (playList->GetItemStatus(index) == ItemRecognizing) {
            ShowNotice(L"当前文件正在识别中，无法删除!");
            return;
        }
        audioConvert->RemoveTask(path);
        playList->Remove(element);
    } else if (playList->HitTestColumn(element, point.x, point.y, true)) {
        const int status = playList->GetItemStatus(index);
        if (status == ItemFailed) {
            // Started again from scratch: the failed attempt's records go first.
            audioConvert->RemoveTask(path);
            StartItem(index);
        } else if (status == ItemIdle) {
            StartItem(index);
        }
    }
}

void RtmpPlayer::OnSegmentDone(uintptr_t wParam)
{
    // A result that waited in the queue while Close released the job manager, or while its file
    // was removed, names a record that is gone: it is dropped unread.
    const CAudioSegment* segment = closing || audioConvert == nullptr ? nullptr : audioConvert->FindSegment(wParam);
    if (segment == nullptr)
        return;
    const std::string file = segment->file;
    if (playList == nullptr)
        return;
    const std::vector<CAudioSegment*> records = audioConvert->GetFinishedSegments(file);
    playList->UpdateItemStatus(records);
    if (records.size() == static_cast<size_t>(segment->segmentCount))
        WriteLog(Info, "RtmpPlayer::MessageHandler", "%s", ("recognition finished: " + file).c_str());

    int row = playList->GetCurSel();
    if (row < 0 && playList->GetCount() > 0) {
        playList->SelectItem(0, false);
        row = playList->GetCurSel();
    }
    if (row >= 0 && playList->GetItemFile(row) == AnsiToWide(file))
        RefreshResultText();
}

void RtmpPlayer::ShowNotice(const std::wstring& text)
{
    // The box deletes itself once its window is gone.
    auto* box = new CMessageWnd(1, kNoticeSeconds);
    box->SetButtons(L"确定", L"", false);
    box->SetMessage(text);
    box->ShowMessageWnd(IsWindow() ? this : nullptr, nullptr, 0);
}
