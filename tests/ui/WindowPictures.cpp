// Pictures of the program's windows.
//
//   talvora_window_pictures <folder>          renders each window offscreen into <folder>/*.png
//   talvora_window_pictures --check           the same into a temporary folder, and checks them
//   talvora_window_pictures --show <folder> [--hold <seconds>]
//       shows the real windows on the display (tools/show-windows.sh runs it under Xvfb), saves
//       the screen and each window as the display shows them, and keeps them open a while
//
// The About window is shown in its three update states with the texts the About dialog sets; the
// settings window with the cloud service chosen and one key pair (the real dialog would read the
// settings of whoever runs this).
#include "base/AppVersion.h"
#include "skin/EmbeddedSkin.h"
#include "ui/AboutDialog.h"
#include "ui/EngineTexts.h"
#include "ui/MessageBox.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/ComboBox.h"
#include "ui/toolkit/Edit.h"
#include "ui/toolkit/Label.h"
#include "ui/toolkit/Option.h"
#include "ui/toolkit/WindowBase.h"
#include "ui/toolkit/UiToolkit.h"
#include "ui/UiLanguage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

int g_diagnostics = 0;

void CountDiagnostic(const std::string& message)
{
    ++g_diagnostics;
    std::fprintf(stderr, "toolkit: %s", message.c_str());
}

// The About layout with the texts of one update state.
class AboutPicture : public WindowBase {
public:
    enum State { Failed, UpdateFound, Latest };
    explicit AboutPicture(State state) : state_(state) {}
    std::wstring GetWindowClassName() const override { return L"CAboutAppDlg"; }
    std::wstring GetSkinFile() const override { return L"AboutAppDlg.xml"; }
    void InitWindow() override
    {
        auto* support = FindControl<Button>(L"btnTelHelp");
        auto* site = FindControl<Button>(L"btnAppUrl");
        auto* version = FindControl<Label>(L"labVersion");
        auto* info = FindControl<Label>(L"labVerInfo");
        auto* ok = FindControl<Button>(L"btnOK");
        if (!support || !site || !version || !info || !ok)
            return;
        // The texts the About window shows, in the language chosen at the start.
        const auto text = [](const char* source) { return QCoreApplication::translate("AboutDialog", source); };
        support->SetShowHtml(true);
        support->SetText(text("电话:%1    QQ:%2")
                             .arg(QString::fromWCharArray(AboutDialog::kSupportPhone),
                                  QString::fromWCharArray(AboutDialog::kSupportQQ))
                             .toStdWString());
        site->SetShowHtml(true);
        site->SetText(L"<u>" + text("Quenby官网: %1").arg(QString::fromWCharArray(AboutDialog::kSiteText)).toStdWString() +
                      L"</u>");
        version->SetText(text("软件版本: %1").arg(QString::fromWCharArray(kAppVersion)).toStdWString());
        if (state_ == Failed) {
            info->SetText(text("更新失败,有问题请联系客服!").toStdWString());
            info->SetTextColor(QColor::fromRgba(0xFFFF3333));
            ok->SetText(text("确定").toStdWString());
        } else if (state_ == UpdateFound) {
            info->SetText(text("发现新的版本").toStdWString());
            info->SetTextColor(QColor::fromRgba(0xFFFF3333));
            ok->SetText(text("立即更新").toStdWString());
        } else {
            info->SetText(text("已是最新版本").toStdWString());
            info->SetTextColor(QColor::fromRgba(0xFF999999));
            ok->SetText(text("确定").toStdWString());
        }
    }

private:
    State state_;
};

// The settings layout as the settings window fills it for the cloud service with one pair.
class SettingsPicture : public WindowBase {
public:
    std::wstring GetWindowClassName() const override { return L"SettingsDialog"; }
    std::wstring GetSkinFile() const override { return L"SettingsDlg.xml"; }
    void InitWindow() override
    {
        auto* cloud = FindControl<Option>(L"optCloud");
        auto* pairs = FindControl<ComboBox>(L"cmbPairs");
        auto* apiKey = FindControl<Edit>(L"edtApiKey");
        auto* secret = FindControl<Edit>(L"edtSecretKey");
        if (!cloud || !pairs || !apiKey || !secret)
            return;
        cloud->Select();
        for (const wchar_t* name : {L"edtWhisperUrl", L"edtWhisperModel", L"edtWhisperKey"}) {
            if (Control* field = FindControl(name))
                field->SetEnabled(false);
        }
        pairs->AddItem(QCoreApplication::translate("SettingsDialog", "第 %1 组  %2").arg(1).arg(QStringLiteral("Zq8Xw1Ty5Ua2")).toStdWString(), L"");
        apiKey->SetText(L"Zq8Xw1Ty5Ua2");
        secret->SetText(L"s3cr3t-s3cr3t");
    }
};

struct Picture {
    std::string name;
    WindowBase* window;
};

// Waits for the event loop to settle (layouts, paints, the window system's answers).
void Settle(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    } while (clock.elapsed() < milliseconds);
}

MessageBox* ShowBox(const std::wstring& text, bool showCancel, WindowBase* parent)
{
    auto* box = new MessageBox(1, 0);
    box->SetButtons(QCoreApplication::translate("MessageBox", "确定").toStdWString(),
                    showCancel ? QCoreApplication::translate("MessageBox", "取消").toStdWString() : L"", showCancel);
    box->SetMessage(text);
    box->ShowBox(parent, nullptr, 0);
    return box;
}

bool IsBlank(const QImage& image)
{
    if (image.isNull())
        return true;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) {
            if (image.pixel(x, y) != first)
                return false;
        }
    }
    return true;
}

int Run(const QString& folder, bool show, int holdSeconds, bool check)
{
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }
    std::vector<std::unique_ptr<AboutPicture>> abouts;
    std::vector<Picture> pictures;

    const UiRect work = WindowBase::GetWorkArea(UiRect{0, 0, 1, 1});
    const AboutPicture::State states[] = {AboutPicture::Latest, AboutPicture::UpdateFound, AboutPicture::Failed};
    const char* const stateNames[] = {"AboutAppDlg-latest", "AboutAppDlg-update", "AboutAppDlg-failed"};
    for (int i = 0; i < 3; ++i) {
        abouts.push_back(std::make_unique<AboutPicture>(states[i]));
        AboutPicture& about = *abouts.back();
        if (!about.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 600, 400))
            return 1;
        about.SetWindowPos(work.left + 10 + i * 30, work.top + 10 + i * 30);
        about.ShowWindow(true, false);
        pictures.push_back(Picture{stateNames[i], &about});
    }
    SettingsPicture settings;
    if (!settings.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 600))
        return 1;
    settings.SetWindowPos(work.left + 140, work.top + 40);
    settings.ShowWindow(true, false);
    pictures.push_back(Picture{"SettingsDlg", &settings});
    // Message boxes over the last About window, as the program shows them.
    WindowBase* owner = abouts.back().get();
    MessageBox* notice = ShowBox(QCoreApplication::translate("MainWindow", "暂无需要保存的内容!").toStdWString(), false, nullptr);
    notice->SetWindowPos(work.right - 420, work.top + 10);
    pictures.push_back(Picture{"MessageWnd-notice", notice});
    MessageBox* warning =
        ShowBox(EngineTexts::Translate(ShownText{"%1,音频质量太差，部分内容无法识别。", {{"/home/user/录音/会议 2019.mp3"}}})
                    .toStdWString(),
                false, owner);
    warning->SetWindowPos(work.right - 420, work.top + 290);
    pictures.push_back(Picture{"MessageWnd-warning", warning});
    MessageBox* question = ShowBox(QCoreApplication::translate("MainWindow", "当前文件正在识别中，无法删除!").toStdWString(), true, nullptr);
    question->SetWindowPos(work.left + 40, work.bottom - 280);
    pictures.push_back(Picture{"MessageWnd-two-buttons", question});

    Settle(show ? 800 : 50);
    int failures = 0;
    for (const Picture& picture : pictures) {
        QWidget* widget = picture.window->GetWidget();
        QImage image;
        if (show && widget->windowHandle() != nullptr && widget->screen() != nullptr) {
            // The display gives what is on top there, so the window comes to the top first.
            picture.window->BringToTop();
            Settle(300);
            image = widget->screen()->grabWindow(widget->winId()).toImage();
        }
        if (image.isNull() || IsBlank(image))
            image = widget->grab().toImage();
        const QString path = folder + QLatin1Char('/') + QString::fromStdString(picture.name) + QStringLiteral(".png");
        if (!image.save(path, "PNG") || (check && IsBlank(QImage(path)))) {
            std::fprintf(stderr, "bad picture %s\n", qPrintable(path));
            ++failures;
        } else {
            std::printf("%s (%dx%d)\n", qPrintable(path), image.width(), image.height());
        }
    }
    if (show && QGuiApplication::primaryScreen() != nullptr) {
        const QString path = folder + QStringLiteral("/desktop.png");
        const QImage desktop = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        if (desktop.save(path, "PNG"))
            std::printf("%s (%dx%d)\n", qPrintable(path), desktop.width(), desktop.height());
        if (holdSeconds > 0)
            Settle(holdSeconds * 1000);
    }
    for (const Picture& picture : pictures)
        picture.window->Close(2);
    Settle(50);
    if (g_diagnostics > 0)
        ++failures;
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    bool show = false;
    bool check = false;
    int hold = 0;
    QString folder;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--show") == 0)
            show = true;
        else if (std::strcmp(argv[i], "--check") == 0)
            check = true;
        else if (std::strcmp(argv[i], "--hold") == 0 && i + 1 < argc)
            hold = std::atoi(argv[++i]);
        else
            folder = QString::fromLocal8Bit(argv[i]);
    }
    if (!show && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (folder.isEmpty() && !check) {
        std::fprintf(stderr, "usage: %s <folder> | --check | --show <folder> [--hold <seconds>]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    UiToolkit::SetDiagnosticHook(&CountDiagnostic);
    // In the language the program would choose here (LANG, or UiLanguage in config.ini).
    UiLanguage::SetUp();
    if (!InstallEmbeddedSkin())
        return 1;
    std::unique_ptr<QTemporaryDir> scratch;
    if (check) {
        scratch = std::make_unique<QTemporaryDir>();
        folder = scratch->path();
    }
    const int result = Run(folder, show, hold, check);
    UiToolkit::ReleaseSkinArchive();
    return result;
}
