// What reaches a window besides notifications: the keys its controls leave alone, the desktop's
// close, the program's own close and the end of the window object.
#include "tests/ui/UiTestSupport.h"
#include "ui/toolkit/Button.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <vector>

using UiTest::ScopedSkin;
using UiTest::TestWindow;

namespace {

const char* const kLayout = R"(<Window size="300,200" caption="0,0,0,30">
  <VerticalLayout name="root" bkcolor="#FFF0F0F0">
    <Label name="title" height="30" text="title"/>
    <HorizontalLayout name="body">
      <Button name="ok" width="80" height="30" text="OK"/>
      <Button name="other" width="80" height="30" text="Other"/>
      <Label name="info" text="info"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>)";

class WindowMessagesTest : public testing::Test {
protected:
    WindowMessagesTest() : skin_(std::map<std::string, std::string>{{"test.xml", kLayout}}) {}
    void SetUp() override { ASSERT_TRUE(skin_.Installed()); }

    ScopedSkin skin_;
};

// The keys the window saw other than the modifier keys themselves.
std::vector<TestWindow::Key> KeysWithout(const std::vector<TestWindow::Key>& keys)
{
    std::vector<TestWindow::Key> found;
    for (const TestWindow::Key& key : keys) {
        if (key.key != Qt::Key_Control && key.key != Qt::Key_Shift)
            found.push_back(key);
    }
    return found;
}

TEST_F(WindowMessagesTest, KeysArriveWithTheirQtKeyAndTheModifiersOfTheirOwnPress)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    QWindow* native = window.GetWidget()->windowHandle();
    QTest::keyClick(native, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(native, Qt::Key_L, Qt::ControlModifier);
    QTest::keyClick(native, Qt::Key_F5);
    ASSERT_TRUE(UiTest::WaitFor([&] { return KeysWithout(window.keys).size() >= 3; }));
    EXPECT_EQ(KeysWithout(window.keys),
              (std::vector<TestWindow::Key>{{Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier},
                                            {Qt::Key_L, Qt::ControlModifier},
                                            {Qt::Key_F5, Qt::NoModifier}}));
}

TEST_F(WindowMessagesTest, AFocusedControlTakesItsOwnKeysFirstAndLeavesTheOthersToTheWindow)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    ASSERT_TRUE(UiTest::WaitFor([&] { return QApplication::activeWindow() == window.GetWidget(); }));
    auto* ok = window.FindControl<Button>(L"ok");
    ASSERT_NE(ok, nullptr);
    QWindow* native = window.GetWidget()->windowHandle();
    // Tab moves the focus along the window's focus chain and shows it; the window handed the
    // focus to one of the two buttons by itself when it was activated.
    for (int tabs = 0; tabs < 2 && !ok->IsFocusVisible(); ++tabs) {
        QTest::keyClick(native, Qt::Key_Tab);
        UiTest::ProcessEvents();
    }
    ASSERT_TRUE(ok->IsFocusVisible());
    window.keys.clear();
    QTest::keyClick(native, Qt::Key_Return);
    ASSERT_TRUE(UiTest::WaitFor([&] { return !window.clicks.empty(); }));
    EXPECT_EQ(window.clicks, std::vector<Control*>{ok});
    EXPECT_TRUE(KeysWithout(window.keys).empty()) << "the button took Enter";

    QTest::keyClick(native, Qt::Key_Delete);
    ASSERT_EQ(KeysWithout(window.keys).size(), 1u);
    EXPECT_EQ(KeysWithout(window.keys)[0].key, Qt::Key_Delete);
}

TEST_F(WindowMessagesTest, TheDesktopsCloseAsksTheWindowWhichClosesAtOnceOrStays)
{
    {
        TestWindow window;
        ASSERT_TRUE(UiTest::CreateShown(window));
        window.GetWidget()->close();  // as the desktop's close button or Alt+F4 do
        EXPECT_EQ(window.desktopCloses, 1);
        EXPECT_FALSE(window.IsWindow());
        ASSERT_TRUE(UiTest::WaitFor([&] { return window.finalCount == 1; }));
        EXPECT_EQ(window.GetCloseResult(), 0);
    }
    {
        TestWindow window;
        ASSERT_TRUE(UiTest::CreateShown(window));
        window.closesOnDesktopClose = false;
        window.GetWidget()->close();
        UiTest::ProcessEvents();
        EXPECT_EQ(window.desktopCloses, 1);
        EXPECT_TRUE(window.IsWindow()) << "a window that questions the close stays";
        EXPECT_TRUE(window.IsVisible());
        EXPECT_EQ(window.finalCount, 0);
        EXPECT_TRUE(window.Close(3));
        ASSERT_TRUE(UiTest::WaitFor([&] { return window.finalCount == 1; }));
        EXPECT_EQ(window.desktopCloses, 1) << "the program's own close does not ask";
        EXPECT_EQ(window.GetCloseResult(), 3);
    }
}

TEST_F(WindowMessagesTest, ACloseAskedForOneWindowNeverClosesTheNextOne)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    EXPECT_TRUE(window.Close(1));
    window.CloseNow(2);
    EXPECT_FALSE(window.IsWindow());
    EXPECT_FALSE(window.Close(4)) << "no window to close";
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.finalCount == 1; }));
    EXPECT_EQ(window.GetCloseResult(), 2);

    ASSERT_TRUE(UiTest::CreateShown(window));
    UiTest::ProcessEvents();
    EXPECT_TRUE(window.IsWindow());
    EXPECT_EQ(window.finalCount, 1);
}

TEST_F(WindowMessagesTest, DeletingTheObjectWithAnOpenWindowClosesItQuietly)
{
    auto window = std::make_unique<TestWindow>();
    ASSERT_TRUE(UiTest::CreateShown(*window));
    QPointer<QWidget> widget = window->GetWidget();
    ASSERT_TRUE(window->Close(1));
    window.reset();
    ASSERT_TRUE(UiTest::WaitFor([&] { return widget.isNull(); }));
    UiTest::ProcessEvents();
}

}  // namespace
