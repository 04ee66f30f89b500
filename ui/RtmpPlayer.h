#pragma once

#include "ui/toolkit/CWindowBase.h"

#include <memory>
#include <string>
#include <vector>

class CAboutAppDlg;
struct CUpdateNotice;
class CAudioConvert;
class CButtonUI;
class CPlayListCtrl;
class CRichEditUI;

// The program's main window ("RtmpPlayer.xml"): the title bar, the toolbar, the list of audio
// files and the pane with the selected file's text. It owns the job manager and the About
// dialog, turns the toolbar into engine calls, drives the engine with a one-second tick, reacts
// to the engine's and the update check's posted messages, and saves the finished texts.
//
// The window class is "Talvora": a second start of the program finds the running one by it.
// Every way of closing the window (the close button, the desktop's close, a required update)
// runs the same close sequence, so no result is read once the job manager is gone.
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
    // Shows the selected row's text (selecting row 0 when nothing is selected).
    void RefreshResultText();
    // The orderly shutdown: tick stopped, window hidden, About dialog and job manager released,
    // then the application's exit. Later calls do nothing.
    void Close();
    bool IsClosing() const { return closing; }

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
    bool closing = false;
};
