#pragma once

#include "ui/RowMenu.h"
#include "ui/toolkit/CWindowBase.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

class CAboutAppDlg;
struct CUpdateNotice;
class CAudioConvert;
class CButtonUI;
class CMessageWnd;
class CPlayListCtrl;
class CRichEditUI;

// The program's main window ("RtmpPlayer.xml"): the title bar, the toolbar, the list of audio
// files and the pane with the selected file's text. It owns the job manager and the About
// dialog, turns the toolbar into engine calls, drives the engine with a one-second tick, reacts
// to the engine's and the update check's posted messages, and saves the finished texts.
//
// The window class is "Talvora": a second start of the program finds the running one by it.
// Every way of closing the window (the close button, the desktop's close, a required update)
// runs the same close sequence, so no result is read once the job manager is gone. The user's
// own closes (the close button, the desktop's close) first ask when work would be lost; the
// program's (termination signals, updates) never ask.
//
// Besides the toolbar: a context menu per row (stop, recognise again, copy the text, open the
// file's folder, export subtitles), the keys Ctrl+O (add), Ctrl+S (save), Delete (the selected
// row's delete cell), Enter (start the selected idle row) and the Menu key, and a desktop
// notification when a batch ends while the window is in the background.
// UI thread only.
class RtmpPlayer : public CWindowBase {
public:
    RtmpPlayer();
    ~RtmpPlayer() override;

    std::wstring GetWindowClassName() const override;
    std::wstring GetSkinFile() const override;
    bool ShowsBeforeLayout() const override;
    CControlUI* CreateControl(const std::wstring& className) override;
    void InitWindow() override;
    void Notify(TNotifyUI& message) override;
    void OnClick(TNotifyUI& message) override;
    intptr_t MessageHandler(uint32_t message, uintptr_t wParam, intptr_t lParam, bool& handled) override;
    void OnFinalMessage() override;
    void OnOwnedMessage(uint32_t message, uintptr_t wParam, std::unique_ptr<WindowPayload> payload) override;

    void ToggleMaximize();
    void ShowAboutDlg();
    // Starts the first idle row (one per call; a refused row is tried again by the next call).
    void StartNextItem();
    // Starts every idle row in list order; a refused row stays idle.
    void StartAllItems();
    // Files from outside the window (the command line, a later start of the program), added as
    // the open-file dialog adds them; what is not a readable file is left out with a warning.
    // `origin` names where they came from in the log.
    void AddFiles(const std::vector<std::wstring>& paths, const char* origin);
    // Writes the text of every finished file into a folder the user picks.
    void SaveResults();
    // The finished segment texts of one file, in segment order; a line break marks each gap.
    std::wstring BuildResultText(const std::wstring& file);
    // What the pane shows for a file: with more than one segment each text after its start
    // time, one segment per line; otherwise BuildResultText.
    std::wstring BuildPaneText(const std::wstring& file);
    // Shows the selected row's text (selecting row 0 when nothing is selected).
    void RefreshResultText();
    // The orderly shutdown: tick stopped, window hidden, About dialog and job manager released,
    // then the application's exit. Later calls do nothing.
    void Close();
    bool IsClosing() const { return closing; }
    // A close the user asked for: with work that would be lost (rows recognising, finished texts
    // never saved) a message box asks first, once; otherwise Close.
    void RequestClose();
    bool HasUnsavedWork();

    // The row menu's actions that apply to a row in its current state.
    std::set<RowMenu::Action> RowActions(int row);
    void RunRowAction(int row, RowMenu::Action action);
    // The row menu for a row at a point in client coordinates.
    void ShowRowMenu(int row, int x, int y);

    // The job manager while the window is running; null once Close has begun.
    CAudioConvert* GetAudioConvert() const { return audioConvert.get(); }
    CPlayListCtrl* GetPlayList() const { return playList; }

    // Shown in the title bar while the local English recognizer is in use.
    static constexpr wchar_t kLocalRecognizerTitle[] = L"本地英文识别";

    // The id and period of the tick that drives the engine.
    static constexpr uint32_t kTickTimerId = 0;
    static constexpr uint32_t kTickMs = 1000;

private:
    void OnSegmentDone(uintptr_t wParam);
    void OnUpdateReport(uintptr_t kind, const CUpdateNotice* notice);
    void OnListButtonDown(intptr_t lParam);
    // True when the key was taken for one of the window's keyboard commands.
    bool OnKeyDown(uintptr_t key);
    // The delete cell's rules: a recognising row stays, with a notice.
    void DeleteItem(int index);
    void StopItem(int index);
    void RetryItem(int index);
    void ExportSubtitles(int index);
    void OpenItemFolder(int index);
    int FindItem(const std::wstring& file);
    std::wstring ResultText(const std::wstring& file, bool timed);
    void TellBatchEnd();
    static void OnCloseAnswer(int result, uint32_t userData);
    // Starts the row's file; true when the job manager accepted it.
    bool StartItem(int index);
    void ShowResultText(int row);
    void ShowNotice(const std::wstring& text);

    CButtonUI* btnMin = nullptr;
    CButtonUI* btnMax = nullptr;
    CButtonUI* btnClose = nullptr;
    CButtonUI* btnAbout = nullptr;
    CButtonUI* btnAdd = nullptr;
    CButtonUI* btnStart = nullptr;
    CButtonUI* btnStartAll = nullptr;
    CButtonUI* btnSave = nullptr;
    CPlayListCtrl* playList = nullptr;
    CRichEditUI* edtText = nullptr;
    std::unique_ptr<CAudioConvert> audioConvert;
    std::unique_ptr<CAboutAppDlg> aboutDlg;
    std::unique_ptr<CMessageWnd> closeQuestion;
    int batchRows = 0;  // rows started since nothing was recognising, less the stopped ones
    bool closing = false;
};
