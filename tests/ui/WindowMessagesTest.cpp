// Posted and input messages: the pre-dispatch filter, the thread-safe window handle, the system
// close command and what happens to messages a destroyed window never saw.
#include "tests/ui/UiTestSupport.h"
#include "ui/toolkit/CButtonUI.h"
#include "ui/toolkit/UiToolkit.h"

#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using UiTest::ScopedSkin;
using UiTest::TestWindow;

namespace {

const char* const kLayout = R"(<Window size="300,200" caption="0,0,0,30">
  <VerticalLayout name="root" bkcolor="#FFF0F0F0">
    <Label name="title" height="30" text="title"/>
    <HorizontalLayout name="body">
      <Button name="ok" width="80" height="30" text="OK"/>
      <Label name="info" text="info"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>)";

constexpr uint32_t kMine = WM_USER + 77;

class WindowMessagesTest : public testing::Test {
protected:
    WindowMessagesTest() : skin_(std::map<std::string, std::string>{{"test.xml", kLayout}}) {}
    void SetUp() override { ASSERT_TRUE(skin_.Installed()); }

    ScopedSkin skin_;
};

TEST_F(WindowMessagesTest, PostedMessagesPassTheFilterInOrderWithTheirValues)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    std::shared_ptr<WindowHandle> handle = window.GetHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(CWindowBase::FromHandle(handle.get()), &window);

    constexpr uint32_t kFirst = WM_USER + 3000;
    constexpr uint32_t kSecond = WM_USER + 0x400;
    ASSERT_TRUE(handle->PostMessage(kFirst, 0x1234, 0));
    ASSERT_TRUE(handle->PostMessage(kSecond, 4, -5));
    ASSERT_TRUE(window.PostMessage(kMine, 1, 2));
    EXPECT_TRUE(window.MessagesOf(kFirst).empty()) << "posted, not sent";
    ASSERT_TRUE(UiTest::WaitFor([&] { return !window.MessagesOf(kMine).empty(); }));

    std::vector<TestWindow::Message> mine;
    for (const auto& seen : window.messages) {
        if (seen.message >= WM_USER)
            mine.push_back(seen);
    }
    ASSERT_EQ(mine.size(), 3u);
    EXPECT_EQ(mine[0].message, 4024u);
    EXPECT_EQ(mine[0].wParam, 0x1234u);
    EXPECT_EQ(mine[1].message, 0x800u);
    EXPECT_EQ(mine[1].wParam, 4u);
    EXPECT_EQ(mine[1].lParam, -5);
    EXPECT_EQ(mine[2].message, kMine);
    EXPECT_TRUE(window.IsWindow()) << "messages the toolkit does not know change nothing";
}

TEST_F(WindowMessagesTest, PostsFromManyThreadsAllArriveInEachThreadsOrder)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    std::shared_ptr<WindowHandle> handle = window.GetHandle();
    constexpr int kThreads = 4;
    constexpr int kEach = 250;
    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([handle, t, &refused] {
            for (int i = 0; i < kEach; ++i) {
                if (!handle->PostMessage(kMine, static_cast<uintptr_t>(t), i))
                    ++refused;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(refused.load(), 0);
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.MessagesOf(kMine).size() == kThreads * kEach; }));
    std::vector<intptr_t> next(kThreads, 0);
    for (const auto& seen : window.MessagesOf(kMine)) {
        ASSERT_LT(seen.wParam, static_cast<uintptr_t>(kThreads));
        EXPECT_EQ(seen.lParam, next[seen.wParam]) << "thread " << seen.wParam;
        next[seen.wParam] = seen.lParam + 1;
    }
}

TEST_F(WindowMessagesTest, TheFilterCanConsumeAMessageSoItIsNotProcessed)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    window.consume = [](const TestWindow::Message& seen) { return seen.message == WM_CLOSE; };
    window.Close(1);
    ASSERT_TRUE(UiTest::WaitFor([&] { return !window.MessagesOf(WM_CLOSE).empty(); }));
    UiTest::ProcessEvents();
    EXPECT_TRUE(window.IsWindow()) << "a consumed close closes nothing";
    window.consume = nullptr;
    window.Close(2);
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.finalCount == 1; }));
}

TEST_F(WindowMessagesTest, TheSystemCloseCommandPassesTheFilterAndClosesFromPostOrDesktop)
{
    {
        TestWindow window;
        ASSERT_TRUE(UiTest::CreateShown(window));
        ASSERT_TRUE(window.GetHandle()->PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0));
        ASSERT_TRUE(UiTest::WaitFor([&] { return window.finalCount == 1; }));
        ASSERT_EQ(window.MessagesOf(WM_SYSCOMMAND).size(), 1u);
        EXPECT_EQ(window.MessagesOf(WM_SYSCOMMAND)[0].wParam, SC_CLOSE);
        EXPECT_EQ(window.GetCloseResult(), 0);
    }
    {
        TestWindow window;
        ASSERT_TRUE(UiTest::CreateShown(window));
        window.GetWidget()->close();  // as the desktop's close button or Alt+F4 do
        EXPECT_FALSE(window.IsWindow());
        ASSERT_EQ(window.MessagesOf(WM_SYSCOMMAND).size(), 1u);
        EXPECT_EQ(window.MessagesOf(WM_SYSCOMMAND)[0].wParam, SC_CLOSE);
        ASSERT_TRUE(UiTest::WaitFor([&] { return window.finalCount == 1; }));
    }
}

TEST_F(WindowMessagesTest, AfterTheWindowIsGonePostsAreRefusedAndQueuedOnesAreHandedBack)
{
    auto window = std::make_unique<TestWindow>();
    ASSERT_TRUE(UiTest::CreateShown(*window));
    std::shared_ptr<WindowHandle> handle = window->GetHandle();
    window->Close(1);
    ASSERT_TRUE(handle->PostMessage(kMine, 1, 100));
    ASSERT_TRUE(handle->PostMessage(kMine, 2, 200));
    ASSERT_TRUE(UiTest::WaitFor([&] { return window->finalCount == 1; }));
    EXPECT_TRUE(window->MessagesOf(kMine).empty()) << "the close came first";
    ASSERT_EQ(window->undelivered.size(), 2u);
    EXPECT_EQ(window->undelivered[0].lParam, 100);
    EXPECT_EQ(window->undelivered[1].lParam, 200);

    EXPECT_FALSE(handle->PostMessage(kMine, 3, 300));
    EXPECT_EQ(CWindowBase::FromHandle(handle.get()), nullptr);
    bool refusedOnThread = false;
    std::thread([&] { refusedOnThread = !handle->PostMessage(kMine, 4, 400); }).join();
    EXPECT_TRUE(refusedOnThread);

    // The handle outlives the window object as well.
    window.reset();
    EXPECT_FALSE(handle->PostMessage(kMine, 5, 500));
}

// A payload that counts the living ones.
struct CountedPayload : WindowPayload {
    explicit CountedPayload(int value) : value(value) { ++living; }
    ~CountedPayload() override { --living; }
    int value;
    static inline std::atomic<int> living{0};
};

TEST_F(WindowMessagesTest, OwnedPayloadsReachTheHandlerInTheirPlaceOrAreDestroyedUndelivered)
{
    auto window = std::make_unique<TestWindow>();
    ASSERT_TRUE(UiTest::CreateShown(*window));
    std::shared_ptr<WindowHandle> handle = window->GetHandle();
    const size_t before = window->messages.size();
    ASSERT_TRUE(handle->PostMessage(kMine, 1, 10));
    ASSERT_TRUE(handle->PostOwned(kMine, 2, std::make_unique<CountedPayload>(20)));
    ASSERT_TRUE(window->PostOwned(kMine, 3, nullptr));
    ASSERT_TRUE(handle->PostMessage(kMine, 4, 40));
    ASSERT_TRUE(UiTest::WaitFor([&] { return window->MessagesOf(kMine).size() == 2; }));
    ASSERT_EQ(window->owned.size(), 2u);
    EXPECT_EQ(window->owned[0].wParam, 2u);
    EXPECT_EQ(window->owned[0].messagesBefore, before + 1) << "in its place among the posts";
    ASSERT_NE(dynamic_cast<CountedPayload*>(window->owned[0].payload.get()), nullptr);
    EXPECT_EQ(dynamic_cast<CountedPayload*>(window->owned[0].payload.get())->value, 20);
    EXPECT_EQ(window->owned[1].wParam, 3u);
    EXPECT_EQ(window->owned[1].payload, nullptr);
    EXPECT_EQ(CountedPayload::living, 1) << "the window holds the one it took";
    window->owned.clear();

    window->Close(1);
    ASSERT_TRUE(handle->PostOwned(kMine, 5, std::make_unique<CountedPayload>(50)));
    EXPECT_EQ(CountedPayload::living, 1);
    ASSERT_TRUE(UiTest::WaitFor([&] { return window->finalCount == 1; }));
    EXPECT_TRUE(window->owned.empty());
    EXPECT_TRUE(window->undelivered.empty()) << "an owned payload is nobody's to free";
    EXPECT_EQ(CountedPayload::living, 0);
    EXPECT_FALSE(handle->PostOwned(kMine, 6, std::make_unique<CountedPayload>(60)));
    EXPECT_EQ(CountedPayload::living, 0);
}

TEST_F(WindowMessagesTest, DeletingTheObjectWithAnOpenWindowClosesItQuietly)
{
    auto window = std::make_unique<TestWindow>();
    ASSERT_TRUE(UiTest::CreateShown(*window));
    QPointer<QWidget> widget = window->GetWidget();
    std::shared_ptr<WindowHandle> handle = window->GetHandle();
    window.reset();
    EXPECT_FALSE(handle->PostMessage(kMine, 0, 0));
    ASSERT_TRUE(UiTest::WaitFor([&] { return widget.isNull(); }));
}

TEST_F(WindowMessagesTest, KeysArriveAsWmKeyDownWithTheVirtualKeyAndTheModifierState)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    std::vector<std::pair<bool, bool>> held;  // (Ctrl, Shift) as the filter saw them
    window.consume = [&](const TestWindow::Message& seen) {
        if (seen.message == WM_KEYDOWN)
            held.emplace_back(UiToolkit::IsKeyDown(VK_CONTROL), UiToolkit::IsKeyDown(VK_SHIFT));
        return false;
    };
    QWindow* native = window.GetWidget()->windowHandle();
    QTest::keyClick(native, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(native, Qt::Key_L, Qt::ControlModifier);
    QTest::keyClick(native, Qt::Key_F5);
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.MessagesOf(WM_KEYDOWN).size() >= 3; }));

    std::vector<uintptr_t> keys;
    for (const auto& seen : window.MessagesOf(WM_KEYDOWN)) {
        if (seen.wParam != VK_CONTROL && seen.wParam != VK_SHIFT)
            keys.push_back(seen.wParam);
    }
    EXPECT_EQ(keys, (std::vector<uintptr_t>{0x4C, 0x4C, 0x74}));
    std::vector<std::pair<bool, bool>> forKeys;
    for (size_t i = 0; i < window.MessagesOf(WM_KEYDOWN).size(); ++i) {
        const uintptr_t key = window.MessagesOf(WM_KEYDOWN)[i].wParam;
        if (key != VK_CONTROL && key != VK_SHIFT)
            forKeys.push_back(held[i]);
    }
    ASSERT_EQ(forKeys.size(), 3u);
    EXPECT_EQ(forKeys[0], std::make_pair(true, true));
    EXPECT_EQ(forKeys[1], std::make_pair(true, false));
    EXPECT_EQ(forKeys[2], std::make_pair(false, false));
}

TEST_F(WindowMessagesTest, MousePressesArriveWithTheClientPointBeforeTheControlSeesThem)
{
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    auto* ok = window.FindControl<CButtonUI>(L"ok");
    ASSERT_NE(ok, nullptr);
    std::vector<CControlUI*> under;
    bool pushedAtFilter = true;
    window.consume = [&](const TestWindow::Message& seen) {
        if (seen.message == WM_LBUTTONDOWN) {
            const UiPoint point = PointFromLParam(seen.lParam);
            under.push_back(window.FindControlAt(point.x, point.y));
            pushedAtFilter = ok->IsPushed();
        }
        return false;
    };
    QWindow* native = window.GetWidget()->windowHandle();
    QTest::mouseClick(native, Qt::LeftButton, Qt::ShiftModifier, QPoint(40, 45));
    ASSERT_TRUE(UiTest::WaitFor([&] { return !window.clicks.empty(); })) << "the click still reaches the button";

    const auto downs = window.MessagesOf(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(PointFromLParam(downs[0].lParam), (UiPoint{40, 45}));
    EXPECT_EQ(downs[0].wParam, MK_LBUTTON | MK_SHIFT);
    EXPECT_EQ(under, std::vector<CControlUI*>{ok});
    EXPECT_FALSE(pushedAtFilter) << "the filter runs before the button handles the press";
    EXPECT_EQ(window.MessagesOf(WM_LBUTTONUP).size(), 1u);

    // A consumed press never reaches the button.
    window.clicks.clear();
    window.consume = [](const TestWindow::Message& seen) {
        return seen.message == WM_LBUTTONDOWN || seen.message == WM_LBUTTONUP;
    };
    QTest::mouseClick(native, Qt::LeftButton, Qt::NoModifier, QPoint(40, 45));
    UiTest::ProcessEvents();
    EXPECT_TRUE(window.clicks.empty());
}

TEST(PointLParamTest, CarriesSignedSixteenBitCoordinates)
{
    EXPECT_EQ(PointFromLParam(MakePointLParam(12, 34)), (UiPoint{12, 34}));
    EXPECT_EQ(PointFromLParam(MakePointLParam(-3, -40)), (UiPoint{-3, -40}));
    EXPECT_EQ(MakePointLParam(1, 2), 0x00020001);
}

}  // namespace
