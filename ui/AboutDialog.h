#pragma once

#include "ui/toolkit/WindowBase.h"

#include <QCoreApplication>

#include <functional>
#include <string>

class Button;
class UpdateCheck;
class Label;

// The About window ("AboutAppDlg.xml"): logo, version, the update state at the moment of
// opening (or that the user turned the check off), the maker's site and support links, and OK, which reads "立即更新" and starts the
// updater when a newer version is known. The object outlives its window: the main window keeps
// one for its whole life and creates the window again on each opening.
class AboutDialog : public WindowBase {
    Q_DECLARE_TR_FUNCTIONS(AboutDialog)

public:
    // The maker's site that both links open, the same address as the site link shows it (short
    // enough for the link's 200 pixels), and the support numbers.
    static constexpr wchar_t kSiteUrl[] = L"https://talvora.test";
    static constexpr wchar_t kSiteText[] = L"talvora.test";
    static constexpr wchar_t kSupportPhone[] = L"555-0100";
    static constexpr wchar_t kSupportQQ[] = L"100000001";

    // Shows what `updates` knows when it opens.
    explicit AboutDialog(const UpdateCheck& updates);
    std::wstring GetWindowClassName() const override;
    ~AboutDialog() override;
    void InitWindow() override;
    void OnClick(Notification& message) override;
    std::wstring GetSkinFile() const override;

    // Creates and shows the window, centred on the work area, or raises the one already open.
    void ShowDialog();

    // How "立即更新" ends the application once the updater runs: the main window's close
    // sequence, which ends with the application's exit, so the exit runs once and in the usual
    // order. Without one, the updater starts and the program goes on.
    void SetExitRequest(std::function<void()> request);

private:
    Button* btnClose = nullptr;
    Button* btnOK = nullptr;
    Button* btnAppUrl = nullptr;
    Label* labVersion = nullptr;
    Label* labVerInfo = nullptr;
    Button* btnTelHelp = nullptr;
    bool offersUpdate = false;  // what "btnOK" offered when the window opened
    const UpdateCheck& updates;
    std::function<void()> exitRequest;
};
