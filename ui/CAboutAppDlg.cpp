#include "ui/CAboutAppDlg.h"

#include "base/AppVersion.h"
#include "base/LogFile.h"
#include "maintenance/CUpdateChecker.h"
#include "maintenance/LaunchUpdater.h"
#include "ui/toolkit/CButtonUI.h"
#include "ui/toolkit/CLabelUI.h"
#include "ui/toolkit/UiToolkit.h"

#include <QColor>

namespace {

const QColor kAttentionColor = QColor::fromRgba(0xFFFF3333);
const QColor kQuietColor = QColor::fromRgba(0xFF999999);

}  // namespace

CAboutAppDlg::CAboutAppDlg(const CUpdateChecker& checker) : updates(checker) {}

std::wstring CAboutAppDlg::GetWindowClassName() const
{
    return L"CAboutAppDlg";
}

CAboutAppDlg::~CAboutAppDlg() = default;

void CAboutAppDlg::InitWindow()
{
    btnClose = FindControl<CButtonUI>(L"btnClose");
    btnOK = FindControl<CButtonUI>(L"btnOK");
    btnAppUrl = FindControl<CButtonUI>(L"btnAppUrl");
    labVersion = FindControl<CLabelUI>(L"labVersion");
    labVerInfo = FindControl<CLabelUI>(L"labVerInfo");
    btnTelHelp = FindControl<CButtonUI>(L"btnTelHelp");
    if (btnClose == nullptr || btnOK == nullptr || btnAppUrl == nullptr || labVersion == nullptr ||
        labVerInfo == nullptr || btnTelHelp == nullptr)
        WriteLog(Warning, "CAboutAppDlg::InitWindow", "%s", "the layout lacks some of its controls");

    if (btnTelHelp != nullptr) {
        btnTelHelp->SetShowHtml(true);
        btnTelHelp->SetText(std::wstring(L"电话:") + kSupportPhone + L"    QQ:" + kSupportQQ);
    }
    if (btnAppUrl != nullptr) {
        btnAppUrl->SetShowHtml(true);
        btnAppUrl->SetText(std::wstring(L"<u>Quenby官网: ") + kSiteText + L"</u>");
    }
    if (labVersion != nullptr)
        labVersion->SetText(std::wstring(L"软件版本: ") + kAppVersion);

    // The state at the moment of opening; the window does not follow later changes.
    const CUpdateChecker& checker = updates;
    std::wstring info;
    QColor colour;
    std::wstring okText = L"确定";
    offersUpdate = false;
    if (!checker.HasLatestVersion()) {
        info = L"更新失败,有问题请联系客服!";
        colour = kAttentionColor;
    } else if (checker.IsUpdateAvailable()) {
        info = L"发现新的版本";
        colour = kAttentionColor;
        okText = L"立即更新";
        offersUpdate = true;
    } else {
        info = L"已是最新版本";
        colour = kQuietColor;
    }
    if (labVerInfo != nullptr) {
        labVerInfo->SetText(info);
        labVerInfo->SetTextColor(colour);
    }
    if (btnOK != nullptr)
        btnOK->SetText(okText);
}

void CAboutAppDlg::OnClick(TNotifyUI& message)
{
    CControlUI* sender = message.sender;
    if (sender == nullptr)
        return;
    if (sender == btnClose) {
        Close(2);
    } else if (sender == btnOK) {
        Close(1);
        // Only when the button offered the update: a version found after the window opened
        // must not turn a plain "确定" into quitting the program.
        if (offersUpdate && updates.IsUpdateAvailable()) {
            WriteLog(Info, "CAboutAppDlg::OnClick", "%s", "update now");
            LaunchUpdater();
            if (exitRequest)
                exitRequest();
        }
    } else if (sender == btnTelHelp || sender == btnAppUrl) {
        UiToolkit::ShellOpen(kSiteUrl);
    }
}

std::wstring CAboutAppDlg::GetSkinFile() const
{
    return L"AboutAppDlg.xml";
}

void CAboutAppDlg::SetExitRequest(std::function<void()> request)
{
    exitRequest = std::move(request);
}

void CAboutAppDlg::ShowDialog()
{
    if (IsWindow()) {
        BringToTop();
        return;
    }
    if (!Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 600, 400)) {
        WriteLog(Error, "CAboutAppDlg::ShowDialog", "%s", "the About window cannot be created");
        return;
    }
    CenterWindow();
    ShowWindow(true, true);
}
