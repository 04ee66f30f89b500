#pragma once

#include "ui/toolkit/CWindowBase.h"

#include <functional>
#include <string>

class CButtonUI;
class CUpdateChecker;
class CLabelUI;

// The About window ("AboutAppDlg.xml"): logo, version, the update state at the moment of
// opening, the maker's site and support links, and OK, which reads "立即更新" and starts the
// updater when a newer version is known. The object outlives its window: the main window keeps
// one for its whole life and creates the window again on each opening.
class CAboutAppDlg : public CWindowBase {
public:
    // The maker's site that both links open, the same address as the site link shows it (short
    // enough for the link's 200 pixels), and the support numbers.
    static constexpr wchar_t kSiteUrl[] = L"https://talvora.test";
    static constexpr wchar_t kSiteText[] = L"talvora.test";
    static constexpr wchar_t kSupportPhone[] = L"555-0100";
    static constexpr wchar_t kSupportQQ[] = L"100000001";

    // Shows what `updates` knows when it opens.
    explicit CAboutAppDlg(const CUpdateChecker& updates);
    std::wstring GetWindowClassName() const override;
    ~CAboutAppDlg() override;
    void InitWindow() override;
    void OnClick(TNotifyUI& message) override;
    std::wstring GetSkinFile() const override;

    // Creates and shows the window, centred on the work area, or raises the one already open.
    void ShowDialog();

    // How "立即更新" ends the application once the updater runs: the main window's close
    // sequence, which ends with the application's exit, so the exit runs once and in the usual
    // order. Without one, the updater starts and the program goes on.
    void SetExitRequest(std::function<void()> request);

private:
    CButtonUI* btnClose = nullptr;
    CButtonUI* btnOK = nullptr;
    CButtonUI* btnAppUrl = nullptr;
    CLabelUI* labVersion = nullptr;
    CLabelUI* labVerInfo = nullptr;
    CButtonUI* btnTelHelp = nullptr;
    bool offersUpdate = false;  // what "btnOK" offered when the window opened
    const CUpdateChecker& updates;
    std::function<void()> exitRequest;
};
