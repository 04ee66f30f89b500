#include "ui/AboutDialog.h"

#include "base/AppVersion.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "maintenance/UpdateCheck.h"
#include "maintenance/LaunchUpdater.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Label.h"
#include "ui/toolkit/UiToolkit.h"

#include <QColor>

namespace {

const QColor kAttentionColor = QColor::fromRgba(0xFFFF3333);
const QColor kQuietColor = QColor::fromRgba(0xFF999999);

}  // namespace

AboutDialog::AboutDialog(const UpdateCheck& checker) : updates(checker) {}

std::wstring AboutDialog::GetWindowClassName() const
{
    return L"CAboutAppDlg";
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::InitWindow()
{
    btnClose = FindControl<Button>(L"btnClose");
    btnOK = FindControl<Button>(L"btnOK");
    btnAppUrl = FindControl<Button>(L"btnAppUrl");
    labVersion = FindControl<Label>(L"labVersion");
    labVerInfo = FindControl<Label>(L"labVerInfo");
    btnTelHelp = FindControl<Button>(L"btnTelHelp");
    if (btnClose == nullptr || btnOK == nullptr || btnAppUrl == nullptr || labVersion == nullptr ||
        labVerInfo == nullptr || btnTelHelp == nullptr)
        WriteLog(Warning, LogTag::kAboutDialogInitWindow, "%s", "the layout lacks some of its controls");

    if (btnTelHelp != nullptr) {
        btnTelHelp->SetShowHtml(true);
        const QString phone = QString::fromWCharArray(kSupportPhone);
        btnTelHelp->SetText(tr("电话:%1    QQ:%2").arg(phone, QString::fromWCharArray(kSupportQQ)).toStdWString());
    }
    if (btnAppUrl != nullptr) {
        btnAppUrl->SetShowHtml(true);
        btnAppUrl->SetText(L"<u>" + tr("Quenby官网: %1").arg(QString::fromWCharArray(kSiteText)).toStdWString() + L"</u>");
    }
    if (labVersion != nullptr)
        labVersion->SetText(tr("软件版本: %1").arg(QString::fromWCharArray(kAppVersion)).toStdWString());

    // The state at the moment of opening; the window does not follow later changes.
    const UpdateCheck& checker = updates;
    QString info;
    QColor colour;
    QString okText = tr("确定");
    offersUpdate = false;
    if (!checker.HasLatestVersion() && !UpdateCheck::IsEnabled()) {
        // Nothing was asked, so nothing failed: the user turned the check off.
        info = tr("已关闭自动检查更新");
        colour = kQuietColor;
    } else if (!checker.HasLatestVersion()) {
        info = tr("更新失败,有问题请联系客服!");
        colour = kAttentionColor;
    } else if (checker.IsUpdateAvailable()) {
        info = tr("发现新的版本");
        colour = kAttentionColor;
        okText = tr("立即更新");
        offersUpdate = true;
    } else {
        info = tr("已是最新版本");
        colour = kQuietColor;
    }
    if (labVerInfo != nullptr) {
        labVerInfo->SetText(info.toStdWString());
        labVerInfo->SetTextColor(colour);
    }
    if (btnOK != nullptr)
        btnOK->SetText(okText.toStdWString());
}

void AboutDialog::OnClick(Notification& message)
{
    Control* sender = message.sender;
    if (sender == nullptr)
        return;
    if (sender == btnClose) {
        Close(2);
    } else if (sender == btnOK) {
        Close(1);
        // Only when the button offered the update: a version found after the window opened
        // must not turn a plain "确定" into quitting the program.
        if (offersUpdate && updates.IsUpdateAvailable()) {
            WriteLog(Info, LogTag::kAboutDialogOnClick, "%s", "update now");
            LaunchUpdater();
            if (exitRequest)
                exitRequest();
        }
    } else if (sender == btnTelHelp || sender == btnAppUrl) {
        UiToolkit::ShellOpen(kSiteUrl);
    }
}

std::wstring AboutDialog::GetSkinFile() const
{
    return L"AboutAppDlg.xml";
}

void AboutDialog::SetExitRequest(std::function<void()> request)
{
    exitRequest = std::move(request);
}

void AboutDialog::ShowDialog()
{
    if (IsWindow()) {
        BringToTop();
        return;
    }
    if (!Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 600, 400)) {
        WriteLog(Error, LogTag::kAboutDialogShowDialog, "%s", "the About window cannot be created");
        return;
    }
    CenterWindow();
    ShowWindow(true, true);
}
