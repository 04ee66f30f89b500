// The program's message box: texts and buttons, the callback, the countdown, self-deletion,
// placing over its parent and coming to the front.
#include "tests/ui/UiTestSupport.h"
#include "ui/MessageBox.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Label.h"

#include <QPointer>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

using UiTest::TestWindow;

namespace {

struct Observed {
    std::vector<std::pair<int, uint32_t>> results;
    std::vector<bool> windowExistedAtCallback;
    int ticks = 0;
    bool deleted = false;
};

Observed* g_observed = nullptr;
WindowBase* g_box = nullptr;

void RecordResult(int result, uint32_t userData)
{
    g_observed->results.emplace_back(result, userData);
    g_observed->windowExistedAtCallback.push_back(g_box != nullptr && g_box->IsWindow());
}

// A message box that reports its countdown ticks and its deletion.
class ObservedMessageWnd : public MessageBox {
public:
    ObservedMessageWnd(int autoDelete, int countdownSeconds, Observed& observed)
        : MessageBox(autoDelete, countdownSeconds), observed_(observed)
    {
    }
    ~ObservedMessageWnd() override
    {
        observed_.deleted = true;
        if (g_box == this)
            g_box = nullptr;
    }
    void OnCountdownTick() override
    {
        ++observed_.ticks;
        MessageBox::OnCountdownTick();
    }

private:
    Observed& observed_;
};

QPoint Centre(const UiRect& rect)
{
    return QPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

class MessageBoxTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_observed = &observed_;
        UiTest::ClearDiagnostics();
    }
    void TearDown() override
    {
        g_observed = nullptr;
        g_box = nullptr;
    }

    ObservedMessageWnd* Show(int autoDelete, int countdown, WindowBase* parent, bool withCallback = true,
                             bool showCancel = true)
    {
        auto* box = new ObservedMessageWnd(autoDelete, countdown, observed_);
        g_box = box;
        box->SetButtons(L"确定", showCancel ? L"取消" : L"", showCancel);
        box->SetMessage(L"暂无需要保存的内容!");
        box->ShowBox(parent, withCallback ? &RecordResult : nullptr, 42);
        return box;
    }

    void Click(WindowBase* box, const wchar_t* name)
    {
        Control* control = box->FindControl(name);
        ASSERT_NE(control, nullptr) << name;
        QTest::mouseClick(box->GetWidget()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          Centre(control->GetPos()));
    }

    Observed observed_;
};

TEST_F(MessageBoxTest, TextsButtonsAndFontsComeFromTheCallerAndTheLayout)
{
    ObservedMessageWnd* box = Show(1, 0, nullptr);
    ASSERT_TRUE(box->IsWindow());
    EXPECT_TRUE(box->IsVisible());
    EXPECT_TRUE(UiTest::Diagnostics().empty());
    EXPECT_EQ(box->GetWidget()->size(), QSize(400, 260));
    EXPECT_EQ(box->GetWindowClassName(), L"CMessageWnd");
    EXPECT_EQ(box->GetSkinFile(), L"MessageWnd.xml");

    auto* title = box->FindControl<Label>(L"TitleTxtLab");
    auto* text = box->FindControl<TextLabel>(L"MainTxtLab");
    auto* ok = box->FindControl<Button>(L"btnOK");
    auto* cancel = box->FindControl<Button>(L"btnCancel");
    ASSERT_TRUE(title && text && ok && cancel);
    EXPECT_NE(box->FindControl<Label>(L"MainIconLab"), nullptr);
    EXPECT_EQ(title->GetText(), L"提示");
    EXPECT_EQ(text->GetText(), L"暂无需要保存的内容!");
    EXPECT_EQ(ok->GetText(), L"确定");
    EXPECT_EQ(cancel->GetText(), L"取消");
    EXPECT_TRUE(cancel->IsVisible());
    EXPECT_EQ(title->font().pixelSize(), 16);
    EXPECT_EQ(text->font().pixelSize(), 14);
    EXPECT_FALSE(title->font().bold());
    EXPECT_EQ(ok->GetPos().Width(), 100);
    EXPECT_EQ(ok->GetPos().Height(), 30);
    // What a screen reader says of the box and its close button, an image alone.
    EXPECT_EQ(box->GetWidget()->accessibleName(), QStringLiteral("提示"));
    EXPECT_EQ(box->GetWidget()->accessibleDescription(), QStringLiteral("暂无需要保存的内容!"));
    ASSERT_NE(box->FindControl<Button>(L"btnClose"), nullptr);
    EXPECT_EQ(box->FindControl<Button>(L"btnClose")->toolTip(), QStringLiteral("关闭"));
    EXPECT_EQ(box->FindControl<Button>(L"btnClose")->accessibleName(), QStringLiteral("关闭"));
    box->Close(2);
    EXPECT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));
}

TEST_F(MessageBoxTest, OkCallsBackWithOneWhileTheWindowStandsThenTheBoxGoesAndDeletesItself)
{
    ObservedMessageWnd* box = Show(1, 0, nullptr);
    Click(box, L"btnOK");
    ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));
    ASSERT_EQ(observed_.results.size(), 1u);
    EXPECT_EQ(observed_.results[0], std::make_pair(1, uint32_t{42}));
    EXPECT_TRUE(observed_.windowExistedAtCallback[0]) << "the callback runs before the window closes";
}

TEST_F(MessageBoxTest, CancelAndTheCloseButtonReportTwo)
{
    for (const wchar_t* button : {L"btnCancel", L"btnClose"}) {
        observed_ = Observed{};
        ObservedMessageWnd* box = Show(1, 0, nullptr);
        Click(box, button);
        ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; })) << button;
        ASSERT_EQ(observed_.results.size(), 1u) << button;
        EXPECT_EQ(observed_.results[0].first, 2) << button;
        EXPECT_TRUE(observed_.windowExistedAtCallback[0]);
    }
}

TEST_F(MessageBoxTest, TheCountdownClosesTheBoxAfterItsSecondsWithoutTheCallback)
{
    ObservedMessageWnd* box = Show(1, 2, nullptr);
    ASSERT_NE(box->FindControl(L"btnClose"), nullptr);
    EXPECT_TRUE(box->IsCountingDown());
    ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }, std::chrono::seconds(15)));
    EXPECT_EQ(observed_.ticks, 2) << "closed on the second one-second tick";
    EXPECT_TRUE(observed_.results.empty()) << "no callback on this path";
}

TEST_F(MessageBoxTest, WithoutACountdownNoTimerRunsAndTheBoxStaysUntilClicked)
{
    ObservedMessageWnd* box = Show(1, 0, nullptr, true, false);
    ASSERT_NE(box->FindControl(L"btnClose"), nullptr);
    EXPECT_FALSE(box->IsCountingDown());
    UiTest::ProcessEvents();
    EXPECT_TRUE(box->IsWindow());
    Click(box, L"btnClose");
    ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));
    EXPECT_EQ(observed_.ticks, 0);
    ASSERT_EQ(observed_.results.size(), 1u);
    EXPECT_EQ(observed_.results[0].first, 2) << "the close button reports 2 with Cancel hidden too";
}

TEST_F(MessageBoxTest, AHiddenCancelLeavesOkCentredInTheButtonRow)
{
    ObservedMessageWnd* box = Show(1, 0, nullptr, false, false);
    auto* cancel = box->FindControl<Button>(L"btnCancel");
    auto* ok = box->FindControl<Button>(L"btnOK");
    ASSERT_TRUE(cancel && ok);
    EXPECT_FALSE(cancel->IsVisible());
    EXPECT_EQ(cancel->GetText(), L"");
    const UiRect r = ok->GetPos();
    // The row has a padding of 10 on both sides inside the 400-pixel window.
    EXPECT_NEAR((r.left + r.right) / 2.0, 200.0, 1.0);
    EXPECT_EQ(r.bottom, 260 - 15);
    box->Close(1);
    EXPECT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));
    EXPECT_TRUE(observed_.results.empty()) << "a box shown without a callback calls none";
}

TEST_F(MessageBoxTest, BothButtonsStandCentredAsAGroup)
{
    ObservedMessageWnd* box = Show(1, 0, nullptr);
    const UiRect ok = box->FindControl(L"btnOK")->GetPos();
    const UiRect cancel = box->FindControl(L"btnCancel")->GetPos();
    EXPECT_EQ(cancel.left - ok.right, 20);
    EXPECT_NEAR((ok.left + cancel.right) / 2.0, 200.0, 1.0);
    box->Close(1);
    EXPECT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));
}

TEST_F(MessageBoxTest, CentredOverItsParentAndOnTheWorkAreaWithoutOne)
{
    TestWindow parent(L"AboutAppDlg.xml");
    ASSERT_TRUE(UiTest::CreateShown(parent, nullptr, 100, 80));
    const UiRect p = parent.GetWindowRect();
    ObservedMessageWnd* box = Show(1, 0, &parent);
    EXPECT_EQ(box->GetWindowRect(),
              (UiRect{(p.left + p.right) / 2 - 200, (p.top + p.bottom) / 2 - 130, (p.left + p.right) / 2 + 200,
                      (p.top + p.bottom) / 2 + 130}));
    EXPECT_EQ(box->GetWidget()->parentWidget(), parent.GetWidget()) << "owned by the parent";
    box->Close(1);
    ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));

    observed_ = Observed{};
    const UiRect work = WindowBase::GetWorkArea(UiRect{0, 0, 1, 1});
    box = Show(1, 0, nullptr);
    EXPECT_EQ(box->GetWindowRect().left, (work.left + work.right) / 2 - 200);
    EXPECT_EQ(box->GetWindowRect().top, (work.top + work.bottom) / 2 - 130);
    box->Close(1);
    ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));
}

TEST_F(MessageBoxTest, AMinimisedParentCountsAsNoneAndAParentNearTheEdgeKeepsTheBoxInside)
{
    TestWindow parent(L"AboutAppDlg.xml");
    ASSERT_TRUE(UiTest::CreateShown(parent));
    const UiRect work = WindowBase::GetWorkArea(parent.GetWindowRect());

    // Near the bottom-right corner, half outside: the box is pushed back inside.
    parent.SetWindowPos(work.right - 200, work.bottom - 100);
    ObservedMessageWnd* box = Show(1, 0, &parent);
    EXPECT_EQ(box->GetWindowRect(), (UiRect{work.right - 400, work.bottom - 260, work.right, work.bottom}));
    box->Close(1);
    ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));

    // Near the top-left corner.
    observed_ = Observed{};
    parent.SetWindowPos(work.left - 400, work.top - 300);
    box = Show(1, 0, &parent);
    EXPECT_EQ(box->GetWindowRect().left, work.left);
    EXPECT_EQ(box->GetWindowRect().top, work.top);
    box->Close(1);
    ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));

    // Minimised: the work area's centre.
    observed_ = Observed{};
    parent.SetWindowPos(0, 0);
    parent.GetWidget()->showMinimized();
    ASSERT_TRUE(UiTest::WaitFor([&] { return parent.IsMinimized(); }));
    box = Show(1, 0, &parent);
    EXPECT_EQ(box->GetWindowRect().left, (work.left + work.right) / 2 - 200);
    EXPECT_EQ(box->GetWindowRect().top, (work.top + work.bottom) / 2 - 130);
    box->Close(1);
    ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));
}

TEST_F(MessageBoxTest, BroughtToTheFrontWithoutStayingOnTop)
{
    TestWindow parent(L"AboutAppDlg.xml");
    ASSERT_TRUE(UiTest::CreateShown(parent));
    ObservedMessageWnd* box = Show(1, 0, &parent);
    EXPECT_TRUE(UiTest::WaitFor([&] { return box->GetWidget()->isActiveWindow(); }));
    EXPECT_FALSE(box->GetWidget()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(box->GetWidget()->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    box->Close(1);
    ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));
}

TEST_F(MessageBoxTest, TheParentsEndOrTheDesktopsCloseEndsTheBoxWithoutTheCallback)
{
    {
        TestWindow parent(L"AboutAppDlg.xml");
        ASSERT_TRUE(UiTest::CreateShown(parent));
        Show(1, 0, &parent);
        parent.Close(1);
        ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted && parent.finalCount == 1; }));
        EXPECT_TRUE(observed_.results.empty());
    }
    observed_ = Observed{};
    ObservedMessageWnd* box = Show(1, 0, nullptr);
    box->GetWidget()->close();  // as the desktop's close button or Alt+F4 do
    ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));
    EXPECT_TRUE(observed_.results.empty());
}

TEST_F(MessageBoxTest, WithoutAutoDeleteTheCallerKeepsTheObject)
{
    ObservedMessageWnd* box = Show(0, 0, nullptr);
    Click(box, L"btnOK");
    QPointer<QWidget> widget = box->GetWidget();
    ASSERT_TRUE(UiTest::WaitFor([&] { return !box->IsWindow() && widget.isNull(); }));
    UiTest::ProcessEvents();
    EXPECT_FALSE(observed_.deleted);
    EXPECT_EQ(box->GetCloseResult(), 1);
    delete box;
    EXPECT_TRUE(observed_.deleted);
}

TEST_F(MessageBoxTest, ABoxThatCannotBeBuiltStillDeletesItself)
{
    {
        UiTest::ScopedSkin empty(std::map<std::string, std::string>{{"other.xml", "<Window/>"}});
        Show(1, 0, nullptr);
        EXPECT_TRUE(UiTest::HasDiagnostic("MessageWnd.xml"));
        ASSERT_TRUE(UiTest::WaitFor([&] { return observed_.deleted; }));
    }
    EXPECT_TRUE(observed_.results.empty());
}

}  // namespace
