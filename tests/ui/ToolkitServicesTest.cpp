// Process-wide services of the toolkit: the message loop and its end, and the desktop's opener.
#include "tests/ui/UiTestSupport.h"
#include "ui/toolkit/UiToolkit.h"

#include <QDesktopServices>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// Stands in for the desktop's opener, so nothing is launched.
class OpenerDouble : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened.append(url); }
};

TEST(ToolkitServicesTest, TheMessageLoopEndsWithTheCodeOfPostQuitMessage)
{
    QTimer::singleShot(0, [] { UiToolkit::PostQuitMessage(5); });
    EXPECT_EQ(UiToolkit::MessageLoop(), 5);
    // A quit asked for before the loop runs ends the next loop at once.
    UiToolkit::PostQuitMessage(3);
    EXPECT_EQ(UiToolkit::MessageLoop(), 3);
}

TEST(ToolkitServicesTest, EventsQueuedBeforeTheQuitAreHandledFirst)
{
    UiTest::TestWindow window(L"MessageWnd.xml");
    ASSERT_TRUE(UiTest::CreateShown(window));
    int handled = 0;
    QTimer::singleShot(0, [&] {
        QMetaObject::invokeMethod(window.GetWidget(), [&] { ++handled; }, Qt::QueuedConnection);
        UiToolkit::PostQuitMessage(0);
    });
    EXPECT_EQ(UiToolkit::MessageLoop(), 0);
    EXPECT_EQ(handled, 1);
}

TEST(ToolkitServicesTest, ShellOpenHandsWebAddressesAndFoldersToTheDesktopsOpener)
{
    OpenerDouble opener;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &opener, "Open");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "Open");
    EXPECT_TRUE(UiToolkit::ShellOpen(L"https://www.talvora.example/"));
    EXPECT_TRUE(UiToolkit::ShellOpen(L"/tmp/数据 folder/Talvora"));
    EXPECT_FALSE(UiToolkit::ShellOpen(L""));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(opener.opened.size(), 2);
    EXPECT_EQ(opener.opened[0], QUrl(QStringLiteral("https://www.talvora.example/")));
    EXPECT_EQ(opener.opened[1].toLocalFile(), QStringLiteral("/tmp/数据 folder/Talvora"));
}

}  // namespace

#include "ToolkitServicesTest.moc"
