// The window base: notifications, closing with a result, showing and placing, the drag area and
// the resize border.
#include "tests/ui/UiTestSupport.h"
#include "ui/toolkit/Button.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

using UiTest::ScopedSkin;
using UiTest::TestWindow;

namespace {

const char* const kLayout = R"(<Window size="300,200" caption="0,0,0,30" sizebox="4,4,4,4" mininfo="200,150">
  <VerticalLayout name="root" bkcolor="#FFF0F0F0">
    <HorizontalLayout name="title" height="30">
      <Label name="caption" text="title"/>
      <Button name="close" width="20" height="20" padding="0,5,5,0" text="x"/>
    </HorizontalLayout>
    <HorizontalLayout name="body" inset="10,10,10,10">
      <Button name="ok" width="80" height="30" text="OK"/>
      <Label name="info" text="info"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>)";

QPoint Centre(const UiRect& rect)
{
    return QPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

class WindowBaseTest : public testing::Test {
protected:
    WindowBaseTest() : skin_(std::map<std::string, std::string>{{"test.xml", kLayout}}) {}
    void SetUp() override
    {
        ASSERT_TRUE(skin_.Installed());
        UiTest::ClearDiagnostics();
    }

    ScopedSkin skin_;
};

TEST_F(WindowBaseTest, AClickIsANotificationWithItsSenderAndReachesOnClick)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    EXPECT_EQ(window.initCount, 1);
    ASSERT_EQ(window.NotesOfType(kNotifyWindowInit).size(), 1u);

    auto* ok = window.FindControl<Button>(L"ok");
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(window.GetWidget()->windowHandle(), Qt::LeftButton, Qt::NoModifier, Centre(ok->GetPos()));
    ASSERT_TRUE(UiTest::WaitFor([&] { return !window.clicks.empty(); }));
    EXPECT_EQ(window.clicks, std::vector<Control*>{ok});
    const auto clicks = window.NotesOfType(kNotifyClick);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].sender, ok);
}

TEST_F(WindowBaseTest, CloseWithAResultDestroysTheWindowAndTheObjectCanCreateAgain)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    window.Close(7);
    EXPECT_TRUE(window.IsWindow()) << "closing waits for the messages queued before";
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.finalCount == 1; }));
    EXPECT_FALSE(window.IsWindow());
    EXPECT_EQ(window.GetWidget(), nullptr);
    EXPECT_EQ(window.FindControl(L"ok"), nullptr);
    EXPECT_EQ(window.GetCloseResult(), 7);
    EXPECT_EQ(window.desktopCloses, 0) << "the program's own close asks nobody";

    ASSERT_TRUE(UiTest::CreateShown(window));
    EXPECT_EQ(window.initCount, 2);
    EXPECT_NE(window.FindControl<Button>(L"ok"), nullptr);
    EXPECT_FALSE(window.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 10, 10)) << "one window at a time";
}

TEST_F(WindowBaseTest, NotificationsStopOnceCloseIsAsked)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    auto* ok = window.FindControl<Button>(L"ok");
    ASSERT_NE(ok, nullptr);
    ok->click();
    EXPECT_EQ(window.clicks.size(), 1u);
    window.Close(1);
    ok->click();
    EXPECT_EQ(window.clicks.size(), 1u) << "a click after Close reports nothing";
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.finalCount == 1; }));
}

TEST_F(WindowBaseTest, ShowHideCentreAndBringToTop)
{
    TestWindow window;
    ASSERT_TRUE(window.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 600, 400));
    EXPECT_FALSE(window.IsVisible()) << "no WS_VISIBLE, not shown";
    window.ShowWindow(true, true);
    EXPECT_TRUE(window.IsVisible());
    window.ShowWindow(false);
    EXPECT_FALSE(window.IsVisible());
    window.ShowWindow(true, false);
    EXPECT_TRUE(window.IsVisible());

    const UiRect work = WindowBase::GetWorkArea(window.GetWindowRect());
    window.CenterWindow();
    const UiRect centred = window.GetWindowRect();
    EXPECT_EQ(centred.left, (work.left + work.right) / 2 - 150);
    EXPECT_EQ(centred.top, (work.top + work.bottom) / 2 - 100);

    // An owned window centres on its owner, kept inside the work area.
    TestWindow owned;
    window.SetWindowPos(work.right - 300, work.bottom - 200);
    ASSERT_TRUE(owned.Create(&window, L"", WS_POPUP, 0, 0, 0, 10, 10));
    owned.CenterWindow();
    EXPECT_EQ(owned.GetWindowRect(), (UiRect{work.right - 300, work.bottom - 200, work.right, work.bottom}));

    owned.ShowWindow(true, false);
    owned.BringToTop();
    EXPECT_TRUE(owned.IsVisible());
    EXPECT_FALSE(owned.GetWidget()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(UiTest::WaitFor([&] { return owned.GetWidget()->isActiveWindow(); }));
}

TEST_F(WindowBaseTest, TheDragAreaMovesTheWindowAndTheBorderResizesIt)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window, nullptr, 100, 100));
    QWindow* native = window.GetWidget()->windowHandle();
    ASSERT_NE(native, nullptr);

    // Drag by the title label. Points are given relative to the window, which moves with the
    // pointer: the release happens where the pointer is then, over the same spot of the label.
    QTest::mousePress(native, Qt::LeftButton, Qt::NoModifier, QPoint(60, 15));
    QTest::mouseMove(native, QPoint(90, 35));
    QTest::mouseRelease(native, Qt::LeftButton, Qt::NoModifier, QPoint(60, 15));
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.GetWindowRect().left == 130; }));
    EXPECT_EQ(window.GetWindowRect().top, 120);
    EXPECT_EQ(window.GetWindowRect().Width(), 300);

    // A press on a button in the drag area is the button's.
    const UiRect before = window.GetWindowRect();
    const QPoint onClose = Centre(window.FindControl(L"close")->GetPos());
    QTest::mousePress(native, Qt::LeftButton, Qt::NoModifier, onClose);
    QTest::mouseMove(native, onClose + QPoint(30, 30));
    QTest::mouseRelease(native, Qt::LeftButton, Qt::NoModifier, onClose + QPoint(30, 30));
    UiTest::ProcessEvents();
    EXPECT_EQ(window.GetWindowRect(), before);

    // The right border widens the window; the bottom one cannot go below the minimum size.
    QTest::mousePress(native, Qt::LeftButton, Qt::NoModifier, QPoint(298, 100));
    QTest::mouseMove(native, QPoint(338, 100));
    QTest::mouseRelease(native, Qt::LeftButton, Qt::NoModifier, QPoint(338, 100));
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.GetWindowRect().Width() == 340; }));
    QTest::mousePress(native, Qt::LeftButton, Qt::NoModifier, QPoint(100, 198));
    QTest::mouseMove(native, QPoint(100, 40));
    QTest::mouseRelease(native, Qt::LeftButton, Qt::NoModifier, QPoint(100, 40));
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.GetWindowRect().Height() == 150; }));
    EXPECT_EQ(window.FindControl(L"root")->GetPos().Height(), 150) << "the layout follows the new size";
}

TEST_F(WindowBaseTest, MinimiseMaximiseAndRestore)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    window.Maximize();
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.IsMaximized(); }));
    EXPECT_TRUE(window.GetWidget()->mask().isEmpty()) << "no rounded corners while maximised";
    window.Restore();
    ASSERT_TRUE(UiTest::WaitFor([&] { return !window.IsMaximized(); }));
    window.Minimize();
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.IsMinimized(); }));
    window.Restore();
    ASSERT_TRUE(UiTest::WaitFor([&] { return !window.IsMinimized(); }));
    window.Minimize();
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.IsMinimized(); }));
    window.BringToTop();
    EXPECT_TRUE(UiTest::WaitFor([&] { return !window.IsMinimized(); }));
    EXPECT_TRUE(window.IsWindow());
}

TEST_F(WindowBaseTest, TheControlUnderAClientPoint)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    const UiRect ok = window.FindControl(L"ok")->GetPos();
    EXPECT_EQ(ok, (UiRect{10, 40, 90, 70}));
    EXPECT_EQ(window.FindControlAt(50, 55), window.FindControl(L"ok"));
    EXPECT_EQ(window.FindControlAt(150, 55), window.FindControl(L"info"));
    EXPECT_EQ(window.FindControlAt(5, 35), window.FindControl(L"body")) << "the inset belongs to the container";
    EXPECT_EQ(window.FindControlAt(20, 10), window.FindControl(L"caption"));
    EXPECT_EQ(window.FindControlAt(-1, 10), nullptr);
    EXPECT_EQ(window.FindControlAt(300, 10), nullptr);
}

}  // namespace
