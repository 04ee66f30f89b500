// The About window: its texts in the three update states, what its buttons do (the updater and
// the end of the application, the site), one window at a time, and the object outliving its
// windows. The update state comes from a real check against an update server of the test's own;
// the updater beside this test program is a double that records that it ran.
#include "base/AppVersion.h"
#include "base/AppPaths.h"
#include "base/TextConvert.h"
#include "app/ApplicationExit.h"
#include "maintenance/UpdateCheck.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AboutDialog.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Label.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QPointer>
#include <QTest>
#include <QTextDocument>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>

using TestSupport::ReadFile;
using TestSupport::TempDir;
using TestSupport::WriteFile;

namespace {

// The update server of this process. The update check reads its address once, when the
// application context is created, so the server lives as long as the process.
class UpdateServer {
public:
    static UpdateServer& Instance()
    {
        static UpdateServer* server = new UpdateServer();
        return *server;
    }
    void Reply(const std::string& latest)
    {
        std::lock_guard<std::mutex> guard(lock_);
        body_ = R"({"latest-version":")" + latest + R"(","minimum-required":"0"})";
    }
    std::string Url() const { return server_.Url(); }

private:
    UpdateServer()
    {
        server_.Server().Get("/version/Talvora", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard<std::mutex> guard(lock_);
            res.set_content(body_, "application/json");
        });
        server_.Start();
    }
    TestSupport::LoopbackHttpServer server_;
    std::mutex lock_;
    std::string body_ = "{}";
};

std::string LogText()
{
    return ReadFile(AppPaths::GetAppDataDir() + "/Talvora.log");
}

int AboutWindows()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("CAboutAppDlg") && widget->isVisible())
            ++count;
    }
    return count;
}

// Records what the desktop's opener was asked to open.
class OpenerDouble : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

class AboutDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Before the checker exists: the server it asks, and where the updater double reports.
        mark_ = dir_ / "updater ran";
        setenv("TALVORA_TEST_UPDATER_MARK", mark_.c_str(), 1);
        UpdateServer& server = UpdateServer::Instance();
        updateDir_ = AppPaths::GetUpdateDataDir();
        WriteFile(updateDir_ + "/config.ini", "[Talvora]\nUpdateUrl=" + server.Url() + "\n");
        std::remove((updateDir_ + "/ver").c_str());
        checker_ = std::make_unique<UpdateCheck>();
        about_ = std::make_unique<AboutDialog>(*checker_);
        // As the main window's close sequence ends: the program's exit, then the window closes.
        about_->SetExitRequest([this] {
            LeaveApplication();
            ++mainCloses_;
            main_.Close(0);
        });

        ASSERT_TRUE(UiTest::CreateShown(main_));
        logStart_ = LogText().size();
    }

    void TearDown() override
    {
        about_.reset();
        UiTest::ProcessEvents();
    }

    // The check as the program runs it, against the answer `latest`; `installed` is the version
    // of the local manifest, or empty for none.
    void Check(const std::string& latest, const std::string& installed = "")
    {
        if (!installed.empty()) {
            WriteFile(updateDir_ + "/ver", R"({"version":")" + installed + R"(","files":[]})");
            ASSERT_TRUE(checker_->LoadLocalManifest());
        }
        UpdateServer::Instance().Reply(latest);
        ASSERT_TRUE(checker_->CheckRemoteVersion());
    }

    void Open()
    {
        about_->ShowDialog();
        ASSERT_TRUE(UiTest::WaitFor([&] { return about_->IsWindow() && about_->IsVisible(); }));
    }

    std::wstring Text(const wchar_t* name) const
    {
        Control* control = about_->FindControl(name);
        return control != nullptr ? control->GetText() : L"<none>";
    }
    QColor InfoColour() const { return about_->FindControl<Label>(L"labVerInfo")->GetTextColor(); }

    void Click(const wchar_t* name)
    {
        auto* button = about_->FindControl<Button>(name);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, button->height() / 2));
    }

    bool WaitClosed()
    {
        return UiTest::WaitFor([&] { return !about_->IsWindow(); });
    }

    std::string Log() const
    {
        const std::string all = LogText();
        return all.size() > logStart_ ? all.substr(logStart_) : std::string();
    }

    bool MainWindowTold() const { return mainCloses_ > 0; }

    TempDir dir_;
    std::string mark_;
    std::string updateDir_;
    std::unique_ptr<UpdateCheck> checker_;
    UiTest::TestWindow main_{L"MessageWnd.xml"};
    std::unique_ptr<AboutDialog> about_;
    size_t logStart_ = 0;
    int mainCloses_ = 0;
};

TEST_F(AboutDialogTest, BeforeAnyVersionIsKnownItReportsAFailedCheckAndOkOnlyCloses)
{
    if (checker_->HasLatestVersion())
        GTEST_SKIP() << "needs a process whose update check has not answered yet";
    Open();
    EXPECT_EQ(about_->GetWindowRect().Width(), 520);
    EXPECT_EQ(about_->GetWindowRect().Height(), 360);
    EXPECT_EQ(Text(L"labVersion"), std::wstring(L"软件版本: ") + kAppVersion);
    EXPECT_EQ(Text(L"labVerInfo"), L"更新失败,有问题请联系客服!");
    EXPECT_EQ(InfoColour(), QColor::fromRgba(0xFFFF3333));
    EXPECT_EQ(Text(L"btnOK"), L"确定");
    EXPECT_EQ(Text(L"btnAppUrl"), L"<u>Quenby官网: talvora.test</u>");
    EXPECT_EQ(Text(L"btnTelHelp"), L"电话:555-0100    QQ:100000001");
    EXPECT_TRUE(about_->FindControl(L"btnAppUrl")->IsShowHtml());
    EXPECT_TRUE(about_->FindControl(L"btnTelHelp")->IsShowHtml());

    Click(L"btnOK");
    ASSERT_TRUE(WaitClosed());
    EXPECT_EQ(about_->GetCloseResult(), 1);
    UiTest::ProcessEvents();
    EXPECT_FALSE(MainWindowTold());
    EXPECT_EQ(Log().find("app exit"), std::string::npos);
    EXPECT_TRUE(main_.IsWindow());
}

TEST_F(AboutDialogTest, WithTheCheckTurnedOffItSaysSoInsteadOfAFailure)
{
    if (checker_->HasLatestVersion())
        GTEST_SKIP() << "needs a process whose update check has not answered yet";
    WriteFile(updateDir_ + "/config.ini", "[Talvora]\nUpdateUrl=" + UpdateServer::Instance().Url() + "\nUpdateCheck=0\n");
    Open();
    EXPECT_EQ(Text(L"labVerInfo"), L"已关闭自动检查更新");
    EXPECT_EQ(InfoColour(), QColor::fromRgba(0xFF999999));
    EXPECT_EQ(Text(L"btnOK"), L"确定");
}

TEST_F(AboutDialogTest, NewerVersionOffersTheUpdateAndOkStartsTheUpdaterAndEndsTheApplication)
{
    Check("9.9.9.json");
    Open();
    EXPECT_EQ(Text(L"labVerInfo"), L"发现新的版本");
    EXPECT_EQ(InfoColour(), QColor::fromRgba(0xFFFF3333));
    EXPECT_EQ(Text(L"btnOK"), L"立即更新");

    Click(L"btnOK");
    ASSERT_TRUE(WaitClosed());
    EXPECT_EQ(about_->GetCloseResult(), 1);
    // The updater runs from its copy, and the main window is asked to close.
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return TestSupport::Exists(mark_); }));
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return ReadFile(mark_).find('\n') != std::string::npos; }));
    EXPECT_NE(ReadFile(mark_).find("/AutoUpdate"), std::string::npos) << ReadFile(mark_);
    EXPECT_NE(Log().find(TestSupport::LogEntryStart("CData::PostAppExit", "app exit")), std::string::npos);
    EXPECT_TRUE(UiTest::WaitFor([&] { return MainWindowTold(); }));
    EXPECT_TRUE(UiTest::WaitFor([&] { return !main_.IsWindow(); }));
}

TEST_F(AboutDialogTest, UpToDateShowsTheQuietStateAndOkOnlyCloses)
{
    Check("1.0.8.json", "1.0.8");
    ASSERT_FALSE(checker_->IsUpdateAvailable());
    Open();
    EXPECT_EQ(Text(L"labVerInfo"), L"已是最新版本");
    EXPECT_EQ(InfoColour(), QColor::fromRgba(0xFF999999));
    EXPECT_EQ(Text(L"btnOK"), L"确定");

    Click(L"btnOK");
    ASSERT_TRUE(WaitClosed());
    UiTest::ProcessEvents();
    EXPECT_FALSE(MainWindowTold());
    EXPECT_FALSE(TestSupport::Exists(mark_));
}

TEST_F(AboutDialogTest, CloseButtonOnlyClosesEvenWhenAnUpdateIsOffered)
{
    Check("9.9.9.json");
    Open();
    Click(L"btnClose");
    ASSERT_TRUE(WaitClosed());
    EXPECT_EQ(about_->GetCloseResult(), 2);
    UiTest::ProcessEvents();
    EXPECT_FALSE(MainWindowTold());
    EXPECT_EQ(Log().find("app exit"), std::string::npos);
    EXPECT_TRUE(main_.IsWindow());
}

TEST_F(AboutDialogTest, AVersionFoundAfterOpeningDoesNotTurnOkIntoAnUpdate)
{
    Check("1.0.8.json", "1.0.8");
    Open();
    ASSERT_EQ(Text(L"btnOK"), L"确定");
    // The check learns of a newer version while the window stays open: its texts stay.
    Check("9.9.9.json");
    ASSERT_TRUE(checker_->IsUpdateAvailable());
    EXPECT_EQ(Text(L"btnOK"), L"确定");
    Click(L"btnOK");
    ASSERT_TRUE(WaitClosed());
    UiTest::ProcessEvents();
    EXPECT_FALSE(MainWindowTold());
    EXPECT_EQ(Log().find("app exit"), std::string::npos);

    // The next opening shows the new state.
    Open();
    EXPECT_EQ(Text(L"btnOK"), L"立即更新");
    Click(L"btnClose");
    EXPECT_TRUE(WaitClosed());
}

TEST_F(AboutDialogTest, BothLinksOpenTheMakersSite)
{
    OpenerDouble opener;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &opener, "Open");
    Open();
    Click(L"btnAppUrl");
    Click(L"btnTelHelp");
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    ASSERT_EQ(opener.opened.size(), 2);
    EXPECT_EQ(opener.opened[0], QUrl(QStringLiteral("https://talvora.test")));
    EXPECT_EQ(opener.opened[1], opener.opened[0]);
    // The links leave the window open.
    EXPECT_TRUE(about_->IsWindow());
}

TEST_F(AboutDialogTest, TheSiteLinkFitsItsButton)
{
    Open();
    auto* link = about_->FindControl<Button>(L"btnAppUrl");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->width(), 200);
    QTextDocument markup;
    markup.setHtml(QString::fromStdWString(link->GetText()));
    const int width = QFontMetrics(link->font()).horizontalAdvance(markup.toPlainText());
    EXPECT_LE(width, link->width()) << markup.toPlainText().toStdString();
}

TEST_F(AboutDialogTest, OneWindowAtATimeAndTheObjectOutlivesIt)
{
    Open();
    QWidget* first = about_->GetWidget();
    about_->ShowDialog();
    UiTest::ProcessEvents();
    EXPECT_EQ(about_->GetWidget(), first);
    EXPECT_EQ(AboutWindows(), 1);

    // The desktop's close destroys the window, not the object.
    QPointer<QWidget> closed = about_->GetWidget();
    closed->close();
    ASSERT_TRUE(WaitClosed());
    ASSERT_TRUE(UiTest::WaitFor([&] { return closed.isNull(); }));
    EXPECT_EQ(AboutWindows(), 0);
    Open();
    EXPECT_EQ(AboutWindows(), 1);
    EXPECT_EQ(Text(L"labVersion"), std::wstring(L"软件版本: ") + kAppVersion);

    // Going with the main window takes an open window along.
    about_.reset();
    UiTest::ProcessEvents();
    EXPECT_EQ(AboutWindows(), 0);
}

}  // namespace

#include "AboutDialogTest.moc"
