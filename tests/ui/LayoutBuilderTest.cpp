// The layout builder: elements, attributes, geometry and what reaches the diagnostic hook.
#include "tests/ui/UiTestSupport.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/CheckBox.h"
#include "ui/toolkit/ComboBox.h"
#include "ui/toolkit/Container.h"
#include "ui/toolkit/Edit.h"
#include "ui/toolkit/Label.h"
#include "ui/toolkit/ListHeader.h"
#include "ui/toolkit/ListControl.h"
#include "ui/toolkit/Option.h"
#include "ui/toolkit/TextPane.h"
#include "ui/toolkit/UiToolkit.h"
#include "ui/UiLanguage.h"

#include <QCursor>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QTranslator>
#include <QWindow>
#include <QWidget>

#include <gtest/gtest.h>

using UiTest::ScopedSkin;
using UiTest::TestWindow;

namespace {

const char* const kLayout = R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="500,300" mininfo="300,200" caption="0,0,0,30" sizebox="4,4,4,4" roundcorner="6,6"
        disabledtextcolor="#FFA7A6AA">
  <Font id="0" name="微软雅黑" size="16" default="true"/>
  <Font id="1" name="微软雅黑" size="14" bold="true"/>
  <Font id="2" name="微软雅黑" size="18" underline="true"/>
  <Font id="3" name="微软雅黑" size="28" italic="true"/>
  <ScrollBar width="14" upnormalimage="red.png" thumbnormalimage="file='thumb.png' corner='0,4,0,4'" bkimage="blue.png"/>
  <VerticalLayout name="root" inset="2,2,2,2" bkcolor="#FFF0F0F0" bkcolor2="#FF1D97E4">
    <HorizontalLayout name="bar" height="50" bordersize="0,0,0,2" bordercolor="#FFA0A0A0" inset="10,0,15,0">
      <Label name="fixed" width="60" height="32" padding="5,3,0,0" text="Quenby" textcolor="#FF91A0A1" font="3"/>
      <Label name="filler" height="32" padding="5,8,0,0"/>
      <Button name="btn" width="21" height="21" padding="10,10,0,0" normalimage="red.png" hotimage="green.png" pushedimage="blue.png"/>
    </HorizontalLayout>
    <HorizontalLayout name="tools" height="30" childpadding="10" bkcolor="#FFF0F0F0">
      <Button name="a" text="添加音频" font="2" textcolor="#FF000000"/>
      <Button name="b" text="开始识别" font="2" visible="false"/>
      <Button name="c" text="批量识别" font="2"/>
      <Control name="spacer"/>
    </HorizontalLayout>
    <List name="list" bkcolor="#FFFFFFFF" bordersize="1" bordercolor="#FF9CC4EA" inset="1,1,1,1" vscrollbar="true"
          itemselectedbkcolor="#FFC1E3FF" itemhotbkcolor="#FFDED8DA" itembkcolor="#FFE2DDDF" itemaltbk="true"
          itemalign="center" itemendellipsis="true" itemtextpadding="3,0,3,0">
      <ListHeader height="24" bkimage="blue.png" sepimage="red.png" sepwidth="1" font="1">
        <ListHeaderItem text="文件"/>
        <ListHeaderItem text="时间" width="100"/>
        <ListHeaderItem text="类型" width="60"/>
      </ListHeader>
    </List>
    <RichEdit name="edit" inset="5,5,5,5" textcolor="#FF91A0A1" readonly="true" multiline="true" vscrollbar="true"
              autovscroll="true" wantreturn="false" wantctrlreturn="false" menu="true" bkcolor="#FFF0F0F0"/>
  </VerticalLayout>
</Window>
)";

std::map<std::string, std::string> Skin(const std::string& layout = kLayout)
{
    return {
        {"test.xml", layout},
        {"red.png", UiTest::MakePng(4, 4, 0xFFFF0000)},
        {"green.png", UiTest::MakePng(4, 4, 0xFF00FF00)},
        {"blue.png", UiTest::MakePng(4, 4, 0xFF0000FF)},
        {"thumb.png", UiTest::MakePng(4, 12, 0xFF00FF00)},
    };
}

UiRect Pos(WindowBase& window, const wchar_t* name)
{
    Control* control = window.FindControl(name);
    return control != nullptr ? control->GetPos() : UiRect{-1, -1, -1, -1};
}

class LayoutBuilderTest : public testing::Test {
protected:
    void SetUp() override { UiTest::ClearDiagnostics(); }
};

TEST_F(LayoutBuilderTest, WindowAttributesSizeFontsAndCorners)
{
    ScopedSkin skin(Skin());
    ASSERT_TRUE(skin.Installed());
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    EXPECT_TRUE(UiTest::Diagnostics().empty()) << (UiTest::Diagnostics().empty() ? "" : "first: ");

    QWidget* widget = window.GetWidget();
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->size(), QSize(500, 300)) << "the layout's size wins over Create's";
    EXPECT_EQ(widget->minimumSize(), QSize(300, 200));
    EXPECT_TRUE(widget->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_FALSE(widget->mask().isEmpty());
    EXPECT_FALSE(widget->mask().contains(QPoint(0, 0))) << "the corner is cut off";
    EXPECT_TRUE(widget->mask().contains(QPoint(250, 150)));
    EXPECT_TRUE(widget->mask().contains(QPoint(3, 150)));
    EXPECT_FALSE(widget->mask().contains(QPoint(499, 299)));
    // However tall the window, its shape stays the window less its corners.
    widget->resize(500, 200000);
    EXPECT_TRUE(widget->mask().contains(QPoint(250, 100000)));
    EXPECT_TRUE(widget->mask().contains(QPoint(250, 199998)));
    EXPECT_FALSE(widget->mask().contains(QPoint(0, 199999))) << "the corner is cut off";
    widget->resize(500, 300);

    EXPECT_EQ(window.GetFont(3).pixelSize(), 28);
    EXPECT_TRUE(window.GetFont(3).italic());
    EXPECT_TRUE(window.GetFont(1).bold());
    EXPECT_TRUE(window.GetFont(2).underline());
    EXPECT_EQ(window.GetFont(-1).pixelSize(), 16) << "the default font";
    EXPECT_TRUE(window.GetFont(0).families().contains(QStringLiteral("WenQuanYi Micro Hei")));

    auto* fixed = window.FindControl<Label>(L"fixed");
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->font().pixelSize(), 28);
    EXPECT_TRUE(fixed->font().italic());
    EXPECT_EQ(fixed->GetTextColor(), QColor::fromRgba(0xFF91A0A1));
    auto* a = window.FindControl<Button>(L"a");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->font().underline());
    EXPECT_EQ(a->GetText(), L"添加音频");
}

TEST_F(LayoutBuilderTest, FixedSizesPaddingsInsetsSpacingAndFlexibleShares)
{
    ScopedSkin skin(Skin());
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));

    EXPECT_EQ(Pos(window, L"root"), (UiRect{0, 0, 500, 300})) << "the root fills the window";
    EXPECT_EQ(Pos(window, L"bar"), (UiRect{2, 2, 498, 52})) << "inset 2 around the root's children";
    // Title bar: inset 10 left and 15 right; the fixed label (60 wide, padding 5/3), the button
    // (21 x 21, padding 10/10) and between them the label without a width takes the rest.
    EXPECT_EQ(Pos(window, L"fixed"), (UiRect{17, 5, 77, 37}));
    EXPECT_EQ(Pos(window, L"filler"), (UiRect{82, 10, 452, 42}));
    EXPECT_EQ(Pos(window, L"btn"), (UiRect{462, 12, 483, 33}));
    // Toolbar: 10 between visible children; the hidden one takes no space; three equal shares.
    EXPECT_EQ(Pos(window, L"tools"), (UiRect{2, 52, 498, 82}));
    EXPECT_EQ(Pos(window, L"a"), (UiRect{2, 52, 161, 82}));
    EXPECT_EQ(Pos(window, L"c"), (UiRect{171, 52, 330, 82}));
    EXPECT_EQ(Pos(window, L"spacer"), (UiRect{340, 52, 498, 82}));
    // The list and the text pane share what is left equally.
    EXPECT_EQ(Pos(window, L"list"), (UiRect{2, 82, 498, 190}));
    EXPECT_EQ(Pos(window, L"edit"), (UiRect{2, 190, 498, 298}));

    // Showing a hidden child lays the row out again at once.
    window.FindControl(L"b")->SetVisible(true);
    EXPECT_EQ(Pos(window, L"a").Width(), 117) << "four shares of 466";
    EXPECT_EQ(Pos(window, L"spacer").right, 498);

    // A resize of the window lays everything out again.
    window.ResizeClient(600, 400);
    ASSERT_TRUE(UiTest::WaitFor([&] { return Pos(window, L"edit").right == 598; }));
    EXPECT_EQ(Pos(window, L"btn"), (UiRect{562, 12, 583, 33}));
}

TEST_F(LayoutBuilderTest, BackgroundGradientBorderAndButtonImagesArePainted)
{
    ScopedSkin skin(Skin());
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    const QImage image = window.GetWidget()->grab().toImage();
    ASSERT_EQ(image.size(), QSize(500, 300));

    // The title bar's bottom border, 2 pixels of #FFA0A0A0.
    EXPECT_EQ(image.pixelColor(250, 50), QColor(0xA0, 0xA0, 0xA0));
    EXPECT_EQ(image.pixelColor(250, 51), QColor(0xA0, 0xA0, 0xA0));
    // The root's vertical gradient: light at the top, near the second colour at the bottom.
    const QColor top = image.pixelColor(1, 4);
    const QColor bottom = image.pixelColor(1, 295);
    EXPECT_GT(top.red(), 0xE0);
    EXPECT_LT(bottom.red(), 0x40);
    EXPECT_GT(bottom.blue(), 0xD0);
    // The button shows its normal image, stretched over it.
    EXPECT_EQ(image.pixelColor(472, 22), QColor(Qt::red));
    // The list's border.
    EXPECT_EQ(image.pixelColor(250, 82), QColor(0x9C, 0xC4, 0xEA));
}

TEST_F(LayoutBuilderTest, AButtonShowsItsNormalHotAndPushedImagesAndTheyCanChange)
{
    ScopedSkin skin(Skin());
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    auto* button = window.FindControl<Button>(L"btn");
    ASSERT_NE(button, nullptr);
    const QPoint centre(10, 10);
    auto colour = [&] { return button->grab().toImage().pixelColor(centre); };
    EXPECT_EQ(colour(), QColor(Qt::red));

    // Images are changed at run time, as a maximise button does.
    button->SetNormalImage(L"blue.png");
    EXPECT_EQ(button->GetNormalImage(), L"blue.png");
    EXPECT_EQ(colour(), QColor(Qt::blue));
    button->SetNormalImage(L"red.png");

    // The pointer moves over the button (the offscreen platform turns this into real input).
    QCursor::setPos(button->mapToGlobal(centre));
    ASSERT_TRUE(UiTest::WaitFor([&] { return button->IsHot(); }));
    EXPECT_EQ(colour(), QColor(Qt::green));
    QWindow* native = window.GetWidget()->windowHandle();
    const QPoint inWindow = button->mapTo(window.GetWidget(), centre);
    QTest::mousePress(native, Qt::LeftButton, Qt::NoModifier, inWindow);
    ASSERT_TRUE(UiTest::WaitFor([&] { return button->IsPushed(); }));
    EXPECT_EQ(colour(), QColor(Qt::blue));
    QTest::mouseRelease(native, Qt::LeftButton, Qt::NoModifier, inWindow);
    ASSERT_TRUE(UiTest::WaitFor([&] { return window.clicks.size() == 1; }));
    EXPECT_FALSE(button->IsPushed());
    button->SetHotImage(L"blue.png");
    EXPECT_EQ(button->GetHotImage(), L"blue.png");
    EXPECT_EQ(colour(), QColor(Qt::blue)) << "the pointer is still over it";
    EXPECT_TRUE(UiTest::Diagnostics().empty());
}

TEST_F(LayoutBuilderTest, ScrollBarsAreDrawnWithTheWindowsImages)
{
    ScopedSkin skin(Skin());
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    auto* edit = window.FindControl<TextPane>(L"edit");
    ASSERT_NE(edit, nullptr);
    std::wstring text;
    for (int i = 0; i < 60; ++i)
        text += L"第 " + std::to_wstring(i) + L" 行\n";
    edit->SetText(text);
    QScrollBar* bar = edit->verticalScrollBar();
    ASSERT_TRUE(UiTest::WaitFor([&] { return bar->isVisible(); }));
    EXPECT_EQ(bar->value(), bar->maximum()) << "autovscroll keeps the end in view";
    EXPECT_EQ(bar->width(), 14);
    const QImage image = bar->grab().toImage();
    EXPECT_EQ(image.pixelColor(7, 3), QColor(Qt::red)) << "the up arrow";
    EXPECT_EQ(image.pixelColor(7, image.height() / 2 - 20), QColor(Qt::blue)) << "the track above the thumb";
    EXPECT_EQ(image.pixelColor(7, image.height() - 20), QColor(Qt::green)) << "the thumb, at the end";
}

TEST_F(LayoutBuilderTest, TooDeepANestingIsLeftOutWithADiagnostic)
{
    std::string layout = "<Window size=\"100,100\"><VerticalLayout name=\"root\">";
    for (int i = 0; i < 200; ++i)
        layout += "<VerticalLayout>";
    for (int i = 0; i < 200; ++i)
        layout += "</VerticalLayout>";
    layout += "<Label name=\"after\"/></VerticalLayout></Window>";
    ScopedSkin skin(Skin(layout));
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    EXPECT_TRUE(UiTest::HasDiagnostic("nested too deeply"));
    EXPECT_NE(window.FindControl(L"after"), nullptr);
}

TEST_F(LayoutBuilderTest, TextsForPeopleAreTranslatedUnderTheirLayoutsName)
{
    const std::string layout = R"(<Window size="300,200">
      <VerticalLayout>
        <Button name="a" text="添加音频" tooltip="开始识别" userdata="文件"/>
        <List name="list" emptytext="拖入音频文件，或点击「添加音频」">
          <ListHeader><ListHeaderItem text="文件"/></ListHeader>
        </List>
      </VerticalLayout>
    </Window>)";
    QTranslator english;
    ASSERT_TRUE(english.load(QString::fromLatin1(UiLanguage::kEnglishTranslation)));
    ASSERT_TRUE(QCoreApplication::installTranslator(&english));
    ScopedSkin skin({{"RtmpPlayer.xml", layout}, {"test.xml", layout}});
    ASSERT_TRUE(skin.Installed());

    TestWindow main(L"RtmpPlayer.xml");
    ASSERT_TRUE(UiTest::CreateShown(main));
    auto* button = main.FindControl<Button>(L"a");
    auto* list = main.FindControl<ListControl>(L"list");
    ASSERT_NE(button, nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(button->GetText(), L"Add audio");
    EXPECT_EQ(button->toolTip(), QStringLiteral("Start"));
    EXPECT_EQ(button->GetUserData(), L"文件") << "data, not a text for people";
    EXPECT_EQ(list->GetEmptyText(), L"Drop audio files here, or click \"Add audio\"");
    EXPECT_EQ(list->GetHeader()->GetColumnText(0), L"File");

    // Another layout's texts have translations of their own, and this one has none.
    TestWindow other(L"test.xml");
    ASSERT_TRUE(UiTest::CreateShown(other));
    EXPECT_EQ(other.FindControl<Button>(L"a")->GetText(), L"添加音频");
    EXPECT_EQ(other.FindControl<ListControl>(L"list")->GetHeader()->GetColumnText(0), L"文件");
    // The translator leaves the application as it goes, after the windows.
}

TEST_F(LayoutBuilderTest, ControlsAreFoundByNameOnlyAsTheirOwnType)
{
    ScopedSkin skin(Skin());
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));

    EXPECT_NE(window.FindControl<Label>(L"fixed"), nullptr);
    EXPECT_EQ(window.FindControl<Button>(L"fixed"), nullptr) << "a label is not a button";
    EXPECT_EQ(window.FindControl<TextPane>(L"btn"), nullptr);
    EXPECT_NE(window.FindControl<Button>(L"btn"), nullptr);
    EXPECT_NE(window.FindControl<HorizontalLayout>(L"bar"), nullptr);
    EXPECT_NE(window.FindControl<Container>(L"bar"), nullptr);
    EXPECT_NE(window.FindControl<ListControl>(L"list"), nullptr);
    EXPECT_NE(window.FindControl<TextPane>(L"edit"), nullptr);
    EXPECT_EQ(window.FindControl(L"nothing"), nullptr);
    EXPECT_EQ(window.FindControl<Label>(L"nothing"), nullptr);
}

TEST_F(LayoutBuilderTest, ListHeaderRichEditAndScrollBarAttributes)
{
    ScopedSkin skin(Skin());
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));

    auto* list = window.FindControl<ListControl>(L"list");
    ASSERT_NE(list, nullptr);
    ListHeader* header = list->GetHeader();
    ASSERT_EQ(header->GetColumnCount(), 3);
    EXPECT_EQ(header->GetColumnText(1), L"时间");
    EXPECT_EQ(header->height(), 24);
    EXPECT_EQ(header->GetColumnRect(1).Width(), 100);
    EXPECT_EQ(header->GetColumnRect(2).Width(), 60);
    EXPECT_EQ(header->GetColumnRect(0).Width(), 494 - 160) << "the column without a width takes the rest";
    EXPECT_EQ(header->GetColumnRect(0).left, 3);
    EXPECT_EQ(header->GetColumnRect(0).top, 83);
    EXPECT_EQ(list->GetItemTextPadding(), (UiRect{3, 0, 3, 0}));
    EXPECT_TRUE(list->GetItemStyle().altBk);
    EXPECT_EQ(list->GetItemStyle().selectedBkColor, QColor::fromRgba(0xFFC1E3FF));

    auto* edit = window.FindControl<TextPane>(L"edit");
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->IsReadOnly());
    EXPECT_EQ(edit->palette().color(QPalette::Active, QPalette::Text), QColor::fromRgba(0xFF91A0A1));
    EXPECT_EQ(edit->viewport()->geometry().topLeft(), QPoint(5, 5)) << "the inset keeps 5 pixels free";
    EXPECT_EQ(edit->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_EQ(edit->verticalScrollBar()->style()->pixelMetric(QStyle::PM_ScrollBarExtent), 14)
        << "scroll bars take the window's skin";
}

TEST_F(LayoutBuilderTest, InputControlsTakeTheirAttributesItemsAndSendTheirNotifications)
{
    ScopedSkin skin(std::map<std::string, std::string>{{"test.xml", R"(<Window size="400,200">
  <VerticalLayout>
    <Edit name="secret" height="24" password="true" maxchar="5" placeholder="密钥" textcolor="#FF123456"/>
    <CheckBox name="check" height="24" text="A &amp; B" selected="true"/>
    <HorizontalLayout name="first" height="24"><Option name="a" text="甲" selected="true"/><Option name="b" text="乙"/></HorizontalLayout>
    <HorizontalLayout height="24"><Option name="c" text="丙" selected="true"/></HorizontalLayout>
    <Combo name="combo" height="24" editable="true">
      <Item text="自动" value=""/><Item text="中文" value="zh" selected="true"/><Item text="x"/>
    </Combo>
  </VerticalLayout>
</Window>)"}});
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window));
    EXPECT_TRUE(UiTest::Diagnostics().empty());

    auto* secret = window.FindControl<Edit>(L"secret");
    ASSERT_NE(secret, nullptr);
    EXPECT_TRUE(secret->IsPassword());
    EXPECT_EQ(secret->placeholderText(), QStringLiteral("密钥"));
    EXPECT_EQ(secret->palette().color(QPalette::Active, QPalette::Text), QColor::fromRgba(0xFF123456));
    QTest::keyClicks(secret, QStringLiteral("abcdefg"));
    EXPECT_EQ(secret->GetText(), L"abcde") << "maxchar cuts what is typed";
    EXPECT_EQ(window.NotesOfType(kNotifyTextChanged).size(), 5u);
    secret->SetText(L"set");
    EXPECT_EQ(window.NotesOfType(kNotifyTextChanged).size(), 5u) << "the program's own text is no edit";

    auto* check = window.FindControl<CheckBox>(L"check");
    ASSERT_NE(check, nullptr);
    EXPECT_TRUE(check->IsSelected());
    EXPECT_EQ(check->text(), QStringLiteral("A && B")) << "no keyboard shortcut is made of the text";
    EXPECT_EQ(check->GetText(), L"A & B");

    // Options exclude each other within their layout only.
    auto* a = window.FindControl<Option>(L"a");
    auto* b = window.FindControl<Option>(L"b");
    auto* c = window.FindControl<Option>(L"c");
    ASSERT_TRUE(a != nullptr && b != nullptr && c != nullptr);
    EXPECT_TRUE(a->IsSelected());
    EXPECT_TRUE(c->IsSelected());
    const size_t before = window.NotesOfType(kNotifySelectChanged).size();
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(8, b->height() / 2));
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    EXPECT_TRUE(c->IsSelected());
    ASSERT_EQ(window.NotesOfType(kNotifySelectChanged).size(), before + 1) << "only the option chosen tells";
    EXPECT_EQ(window.NotesOfType(kNotifySelectChanged).back().sender, b);

    auto* combo = window.FindControl<ComboBox>(L"combo");
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->GetCount(), 3);
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_EQ(combo->GetValue(), L"zh");
    combo->SetValue(L"");
    EXPECT_EQ(combo->GetText(), L"自动");
    EXPECT_EQ(window.NotesOfType(kNotifySelectChanged).back().row, 0);
    combo->SetValue(L"de");
    EXPECT_EQ(combo->GetValue(), L"de") << "an editable box takes a value of its own";
    EXPECT_EQ(combo->GetCount(), 3);
}

TEST_F(LayoutBuilderTest, TheFactoryIsAskedForEveryElementClassAndItsControlIsUsed)
{
    const std::string layout = R"(<Window size="200,100">
  <VerticalLayout name="root">
    <MyBox name="mine" height="20" bkcolor="#FF00FF00"/>
    <Label name="plain" text="x"/>
  </VerticalLayout>
</Window>)";
    ScopedSkin skin(Skin(layout));
    TestWindow window;
    Box* made = nullptr;
    window.factory = [&made](const std::wstring& className) -> Control* {
        if (className != L"MyBox")
            return nullptr;
        made = new Box();
        return made;
    };
    ASSERT_TRUE(UiTest::CreateShown(window));
    EXPECT_EQ(window.factoryAsked, (std::vector<std::wstring>{L"VerticalLayout", L"MyBox", L"Label"}));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(window.FindControl(L"mine"), made);
    EXPECT_EQ(made->GetPos(), (UiRect{0, 0, 200, 20})) << "the factory's control takes its attributes";
    EXPECT_NE(window.FindControl<Label>(L"plain"), nullptr) << "a class the factory declines is the toolkit's";
    EXPECT_TRUE(UiTest::Diagnostics().empty());
}

TEST_F(LayoutBuilderTest, UnknownElementsAndMissingImagesReachTheHookAsOneLine)
{
    const std::string layout = R"(<Window size="200,100">
  <VerticalLayout name="root">
    <Bogus name="odd"><Label name="inside"/></Bogus>
    <Label name="pic" bkimage="missing.png"/>
    <Button name="after" normalimage="gone.png"/>
  </VerticalLayout>
</Window>)";
    ScopedSkin skin(Skin(layout));
    TestWindow window;
    ASSERT_TRUE(UiTest::CreateShown(window)) << "the rest of the layout still stands";
    EXPECT_EQ(window.FindControl(L"odd"), nullptr);
    EXPECT_EQ(window.FindControl(L"inside"), nullptr) << "an unknown element is left out with its children";
    EXPECT_NE(window.FindControl<Label>(L"pic"), nullptr);
    EXPECT_NE(window.FindControl<Button>(L"after"), nullptr);

    EXPECT_TRUE(UiTest::HasDiagnostic("<Bogus>"));
    EXPECT_TRUE(UiTest::HasDiagnostic("missing.png"));
    EXPECT_TRUE(UiTest::HasDiagnostic("gone.png"));
    ASSERT_EQ(UiTest::Diagnostics().size(), 3u);
    for (const std::string& line : UiTest::Diagnostics()) {
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\n');
        EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line per diagnostic";
    }
}

TEST_F(LayoutBuilderTest, AMissingOrBrokenLayoutFailsCreateAndStillEndsWithTheFinalMessage)
{
    {
        ScopedSkin skin(Skin());
        TestWindow window(L"absent.xml");
        EXPECT_FALSE(window.Create(nullptr, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 0, 100, 100));
        EXPECT_FALSE(window.IsWindow());
        EXPECT_TRUE(UiTest::HasDiagnostic("absent.xml"));
        EXPECT_TRUE(UiTest::WaitFor([&] { return window.finalCount == 1; }));
        EXPECT_EQ(window.initCount, 0);
    }
    UiTest::ClearDiagnostics();
    {
        ScopedSkin skin(Skin("<Window size=\"100,100\"><VerticalLayout name=\"root\"><Label"));
        TestWindow window;
        window.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 100, 100);
        EXPECT_TRUE(UiTest::HasDiagnostic("XML error"));
    }
    UiTest::ClearDiagnostics();
    {
        ScopedSkin skin(Skin("<Dialog/>"));
        TestWindow window;
        EXPECT_FALSE(window.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 100, 100));
        EXPECT_TRUE(UiTest::HasDiagnostic("<Dialog>"));
    }
}

TEST_F(LayoutBuilderTest, ABrokenArchiveIsRefusedWithADiagnostic)
{
    const std::string garbage = "this is not a zip archive at all";
    EXPECT_FALSE(UiToolkit::SetSkinArchive(garbage.data(), garbage.size()));
    EXPECT_TRUE(UiTest::HasDiagnostic("skin archive"));
    EXPECT_FALSE(UiToolkit::HasSkinArchive());
    UiTest::ClearDiagnostics();
    TestWindow window(L"MessageWnd.xml");
    EXPECT_FALSE(window.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 100, 100));
    EXPECT_TRUE(UiTest::HasDiagnostic("MessageWnd.xml"));
    ScopedSkin restore({});  // puts the embedded skin back when it goes
}

// The program hands its archive over before the first window and has it opened by the window's
// first read: the window is still built whole, and a broken archive is still refused then.
TEST_F(LayoutBuilderTest, AnArchiveOpenedOnFirstReadBuildsTheWindowOrIsRefusedThen)
{
    const std::string archive =
        UiTest::MakeZip({{"test.xml", "<Window size=\"120,80\"><VerticalLayout><Label name=\"label\" text=\"later\"/>"
                                      "</VerticalLayout></Window>"}});
    ScopedSkin restore({});
    UiToolkit::SetSkinArchiveOnFirstRead(archive.data(), archive.size());
    {
        TestWindow window;
        ASSERT_TRUE(window.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 120, 80));
        Label* label = window.FindControl<Label>(L"label");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->GetText(), L"later");
    }
    EXPECT_TRUE(UiToolkit::HasSkinArchive());

    UiTest::ClearDiagnostics();
    const std::string garbage = "this is not a zip archive at all";
    UiToolkit::SetSkinArchiveOnFirstRead(garbage.data(), garbage.size());
    EXPECT_FALSE(UiTest::HasDiagnostic("skin archive"));
    TestWindow window;
    EXPECT_FALSE(window.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 100, 100));
    EXPECT_TRUE(UiTest::HasDiagnostic("skin archive"));
    EXPECT_FALSE(UiToolkit::HasSkinArchive());
}

}  // namespace
