// The list: cells asked of the text callback, rows added and removed by index, the header's
// column rectangles, the selection and its notifications, rows under the pointer, and the table
// of cells assistive tools read.
#include "tests/ui/UiTestSupport.h"
#include "ui/toolkit/ListHeader.h"
#include "ui/toolkit/ListRow.h"
#include "ui/toolkit/ListControl.h"
#include "ui/toolkit/ListRowsView.h"
#include "ui/toolkit/ListTextSource.h"

#include <QAccessible>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

using UiTest::ScopedSkin;
using UiTest::TestWindow;

namespace {

const char* const kLayout = R"(<Window size="600,300">
  <VerticalLayout name="root" bkcolor="#FFF0F0F0">
    <Label name="top" height="40"/>
    <TestList name="list" bkcolor="#FFFFFFFF" bordersize="1" bordercolor="#FF9CC4EA" inset="1,1,1,1" vscrollbar="true"
              itemheight="30" itemselectedbkcolor="#FFC1E3FF" itemhotbkcolor="#FFDED8DA" itembkcolor="#FFE2DDDF"
              itemaltbk="true" itemalign="center" itemendellipsis="true" itemtextpadding="4,2,4,2">
      <ListHeader height="24" sepwidth="1">
        <ListHeaderItem text="文件"/>
        <ListHeaderItem text="时间" width="100"/>
        <ListHeaderItem text="操作" width="80"/>
        <ListHeaderItem text="删除" width="80"/>
      </ListHeader>
    </TestList>
  </VerticalLayout>
</Window>)";

// A list that keeps one record per row beside its elements, the way the program's playlist does.
class TestList : public ListControl, public ListTextSource {
public:
    TestList() { SetTextCallback(this); }

    void Append(const std::wstring& name)
    {
        names.push_back(name);
        AddAt(new ListRow(), GetCount());
    }

    const wchar_t* GetItemText(Control* element, int row, int column) override
    {
        ++asked;
        lastRow = row;
        lastColumn = column;
        std::wstring text = row >= 0 && row < static_cast<int>(names.size())
                                ? names[static_cast<size_t>(row)] + L"/" + std::to_wstring(column)
                                : L"unknown";
        element->SetUserData(text);
        return element->GetUserData().c_str();
    }

    bool RemoveAt(int index) override
    {
        if (index < 0 || index >= static_cast<int>(names.size()))
            return false;
        names.erase(names.begin() + index);
        return ListControl::RemoveAt(index);
    }

    void RemoveAll() override
    {
        names.clear();
        ListControl::RemoveAll();
    }

    // The "操作" column acts on a press.
    bool IsCellPressable(int row, int column) const override { return column == 2 && row >= 0 && row < GetCount(); }

    std::vector<std::wstring> names;
    int asked = 0;
    int lastRow = -2;
    int lastColumn = -2;
};

class ListTest : public testing::Test {
protected:
    ListTest() : skin_(std::map<std::string, std::string>{{"test.xml", kLayout}}) {}

    void SetUp() override
    {
        ASSERT_TRUE(skin_.Installed());
        window_.factory = [](const std::wstring& className) -> Control* {
            return className == L"TestList" ? new TestList() : nullptr;
        };
        ASSERT_TRUE(UiTest::CreateShown(window_));
        list_ = window_.FindControl<TestList>(L"list");
        ASSERT_NE(list_, nullptr);
    }

    std::vector<std::wstring> Column0()
    {
        std::vector<std::wstring> texts;
        for (int i = 0; i < list_->GetCount(); ++i)
            texts.push_back(static_cast<ListRow*>(list_->GetItemAt(i))->GetText(0));
        return texts;
    }

    ScopedSkin skin_;
    TestWindow window_;
    TestList* list_ = nullptr;
};

TEST_F(ListTest, CellsAskTheCallbackAndTheElementKeepsTheLastText)
{
    list_->Append(L"a.mp3");
    list_->Append(L"b.wav");
    ASSERT_EQ(list_->GetCount(), 2);
    auto* second = static_cast<ListRow*>(list_->GetItemAt(1));
    EXPECT_EQ(second->GetText(3), L"b.wav/3");
    EXPECT_EQ(list_->lastRow, 1);
    EXPECT_EQ(list_->lastColumn, 3);
    EXPECT_EQ(second->GetUserData(), L"b.wav/3");

    // Painting asks again for every visible cell; nothing is cached in the list.
    list_->names[1] = L"c.ogg";
    const int before = list_->asked;
    list_->Invalidate();
    window_.GetWidget()->grab();
    EXPECT_GE(list_->asked - before, 2 * 4);
    EXPECT_EQ(second->GetText(0), L"c.ogg/0");
}

TEST_F(ListTest, RowsAreInsertedAndRemovedByIndexAndFoundByElement)
{
    for (const wchar_t* name : {L"0", L"1", L"2", L"3", L"4"})
        list_->Append(name);
    auto* extra = new ListRow();
    list_->names.insert(list_->names.begin() + 1, L"x");
    ASSERT_TRUE(list_->AddAt(extra, 1));
    EXPECT_EQ(list_->GetItemIndex(extra), 1);
    EXPECT_EQ(extra->GetIndex(), 1);
    EXPECT_EQ(extra->GetOwner(), list_);
    EXPECT_EQ(Column0(), (std::vector<std::wstring>{L"0/0", L"x/0", L"1/0", L"2/0", L"3/0", L"4/0"}));

    ASSERT_TRUE(list_->RemoveAt(3));
    EXPECT_EQ(Column0(), (std::vector<std::wstring>{L"0/0", L"x/0", L"1/0", L"3/0", L"4/0"}));
    // Remove goes through RemoveAt, so a subclass keeps its rows in step.
    ASSERT_TRUE(list_->Remove(extra));
    EXPECT_EQ(list_->names.size(), 4u);
    EXPECT_EQ(Column0(), (std::vector<std::wstring>{L"0/0", L"1/0", L"3/0", L"4/0"}));

    EXPECT_FALSE(list_->RemoveAt(4));
    EXPECT_FALSE(list_->RemoveAt(-1));
    ListRow stranger;
    EXPECT_EQ(list_->GetItemIndex(&stranger), -1);
    EXPECT_FALSE(list_->Remove(&stranger));
    EXPECT_EQ(list_->GetItemIndex(window_.FindControl(L"top")), -1);
    EXPECT_FALSE(list_->Add(window_.FindControl(L"top"))) << "only row elements go into a list";
    EXPECT_EQ(list_->GetItemAt(4), nullptr);

    list_->RemoveAll();
    EXPECT_EQ(list_->GetCount(), 0);
    EXPECT_TRUE(list_->names.empty());
}

TEST_F(ListTest, HeaderColumnRectanglesRowRectanglesAndTextInsets)
{
    list_->Append(L"a");
    list_->Append(L"b");
    ListHeader* header = list_->GetHeader();
    ASSERT_EQ(header->GetColumnCount(), 4);
    // The list spans x 0..600 with a border and inset of 1; the header starts below y 40 + 1.
    const UiRect file = header->GetColumnRect(0);
    const UiRect action = header->GetColumnRect(2);
    const UiRect remove = header->GetColumnRect(3);
    EXPECT_EQ(file, (UiRect{1, 41, 1 + 598 - 260, 65}));
    EXPECT_EQ(header->GetColumnRect(1).Width(), 100);
    EXPECT_EQ(action, (UiRect{599 - 160, 41, 599 - 80, 65}));
    EXPECT_EQ(remove, (UiRect{599 - 80, 41, 599, 65}));
    EXPECT_EQ(list_->GetItemTextPadding(), (UiRect{4, 2, 4, 2}));

    const UiRect row1 = list_->GetItemAt(1)->GetPos();
    EXPECT_EQ(row1, (UiRect{1, 65 + 30, 599, 65 + 60}));
    EXPECT_EQ(list_->GetRowRect(5), UiRect{});

    // A row element is the control under a point of its row.
    EXPECT_EQ(window_.FindControlAt(remove.left + 5, row1.top + 5), list_->GetItemAt(1));
    EXPECT_EQ(window_.FindControlAt(remove.left + 5, 50), list_) << "the header is the list's";
    EXPECT_EQ(window_.FindControlAt(100, 200), list_) << "below the rows";
}

TEST_F(ListTest, SelectingWithoutFocusAndTheItemSelectNotification)
{
    for (const wchar_t* name : {L"a", L"b", L"c"})
        list_->Append(name);
    EXPECT_EQ(list_->GetCurSel(), -1);
    window_.notes.clear();
    ASSERT_TRUE(list_->SelectItem(2));
    EXPECT_EQ(list_->GetCurSel(), 2);
    EXPECT_TRUE(static_cast<ListRow*>(list_->GetItemAt(2))->IsSelected());
    EXPECT_FALSE(list_->View()->hasFocus()) << "the focus stays where it was";
    auto selects = window_.NotesOfType(kNotifyItemSelect);
    ASSERT_EQ(selects.size(), 1u);
    EXPECT_EQ(selects[0].sender, list_);
    EXPECT_EQ(selects[0].row, 2);
    EXPECT_EQ(selects[0].previousRow, -1);

    ASSERT_TRUE(list_->SelectItem(2));
    EXPECT_EQ(window_.NotesOfType(kNotifyItemSelect).size(), 1u) << "selecting the selected row changes nothing";
    EXPECT_FALSE(list_->SelectItem(3));
    EXPECT_EQ(list_->GetCurSel(), 2);
}

TEST_F(ListTest, RemovingRowsKeepsTheSelectionOnItsElementOrClearsIt)
{
    for (const wchar_t* name : {L"a", L"b", L"c", L"d"})
        list_->Append(name);
    ASSERT_TRUE(list_->SelectItem(2));
    Control* selected = list_->GetItemAt(2);
    window_.notes.clear();

    ASSERT_TRUE(list_->RemoveAt(0));
    EXPECT_EQ(list_->GetCurSel(), 1);
    EXPECT_EQ(list_->GetItemAt(1), selected);
    EXPECT_TRUE(window_.NotesOfType(kNotifyItemSelect).empty());

    // The callback answers for the list as it stands after the removal, at any notification.
    int countAtNotify = -1;
    window_.onNotify = [&](Notification& message) {
        if (message.type == kNotifyItemSelect)
            countAtNotify = list_->GetCount();
    };
    ASSERT_TRUE(list_->RemoveAt(1));
    EXPECT_EQ(list_->GetCurSel(), -1);
    auto selects = window_.NotesOfType(kNotifyItemSelect);
    ASSERT_EQ(selects.size(), 1u);
    EXPECT_EQ(selects[0].row, -1);
    EXPECT_EQ(selects[0].previousRow, 1);
    EXPECT_EQ(countAtNotify, 2);
}

TEST_F(ListTest, APressOnARowIsReportedWithItsCellAndPointFirstThenSelectsIt)
{
    for (const wchar_t* name : {L"a", L"b", L"c"})
        list_->Append(name);
    Control* underAtPress = nullptr;
    int selectionAtPress = -2;
    window_.onNotify = [&](Notification& message) {
        if (message.type == kNotifyItemPress) {
            underAtPress = window_.FindControlAt(message.point.x(), message.point.y());
            selectionAtPress = list_->GetCurSel();
        }
    };
    const UiRect row = list_->GetItemAt(1)->GetPos();
    const UiRect second = list_->GetHeader()->GetColumnRect(1);
    window_.notes.clear();
    QTest::mouseClick(window_.GetWidget()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(second.left + 5, row.top + 10));
    ASSERT_TRUE(UiTest::WaitFor([&] { return list_->GetCurSel() == 1; }));
    EXPECT_EQ(underAtPress, list_->GetItemAt(1));
    EXPECT_EQ(selectionAtPress, -1);
    const auto presses = window_.NotesOfType(kNotifyItemPress);
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].sender, list_->GetItemAt(1));
    EXPECT_EQ(presses[0].row, 1);
    EXPECT_EQ(presses[0].column, 1);
    EXPECT_EQ(presses[0].point, QPoint(second.left + 5, row.top + 10));
    const auto clicks = window_.NotesOfType(kNotifyItemClick);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].sender, list_->GetItemAt(1));
    EXPECT_EQ(window_.NotesOfType(kNotifyItemSelect).size(), 1u);

    // The right button and presses below the rows report no press.
    window_.notes.clear();
    const UiRect listRect = list_->GetPos();
    QTest::mouseClick(window_.GetWidget()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(listRect.left + 20, listRect.bottom - 5));
    QTest::mouseClick(window_.GetWidget()->windowHandle(), Qt::RightButton, Qt::NoModifier,
                      QPoint(row.left + 20, row.top + 10));
    UiTest::ProcessEvents();
    EXPECT_TRUE(window_.NotesOfType(kNotifyItemPress).empty());
}

TEST_F(ListTest, AssistiveToolsReadATableOfCellsThatFollowTheirRowsAndPressTheCellsThatAct)
{
    for (const wchar_t* name : {L"a", L"b"})
        list_->Append(name);
    list_->SetAccessibleName(L"文件列表");
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list_->View());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    EXPECT_EQ(table->text(QAccessible::Name), QStringLiteral("文件列表"));
    QAccessibleTableInterface* cells = table->tableInterface();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->rowCount(), 2);
    EXPECT_EQ(cells->columnCount(), 4);
    // The titles first, then row by row.
    ASSERT_EQ(table->childCount(), 12);
    EXPECT_EQ(table->child(0)->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(table->child(3)->text(QAccessible::Name), QStringLiteral("删除"));

    QAccessibleInterface* b = cells->cellAt(1, 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->role(), QAccessible::Cell);
    EXPECT_EQ(b->text(QAccessible::Name), QStringLiteral("b/0"));
    EXPECT_EQ(b->parent(), table);
    EXPECT_EQ(table->indexOfChild(b), 8);
    EXPECT_EQ(table->child(8), b);
    EXPECT_EQ(table->childAt(b->rect().center().x(), b->rect().center().y()), b);
    ASSERT_NE(b->tableCellInterface(), nullptr);
    EXPECT_EQ(b->tableCellInterface()->rowIndex(), 1);
    EXPECT_EQ(b->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name), QStringLiteral("文件"));

    // Any cell selects its row; only the cells that act offer a press, and press as the mouse does.
    ASSERT_EQ(b->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::setFocusAction()});
    b->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    EXPECT_EQ(list_->GetCurSel(), 1);
    EXPECT_TRUE(b->state().selected);
    // Where the keyboard focus is: the cell Qt's focus events name.
    ASSERT_TRUE(UiTest::WaitFor([&] { return list_->View()->hasFocus(); }));
    EXPECT_EQ(table->focusChild(), b);
    EXPECT_TRUE(b->state().focused);
    EXPECT_EQ(cells->selectedRows(), QList<int>{1});
    QAccessibleInterface* act = cells->cellAt(0, 2);
    ASSERT_EQ(act->actionInterface()->actionNames().value(0), QAccessibleActionInterface::pressAction());
    window_.notes.clear();
    act->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    const auto presses = window_.NotesOfType(kNotifyItemPress);
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].row, 0);
    EXPECT_EQ(presses[0].column, 2);
    EXPECT_EQ(window_.FindControlAt(presses[0].point.x(), presses[0].point.y()), list_->GetItemAt(0));
    const UiRect column = list_->GetHeader()->GetColumnRect(2);
    EXPECT_TRUE(presses[0].point.x() > column.left && presses[0].point.x() < column.right);

    // A row goes: its cells with it, and the cells below move up with their rows.
    ASSERT_TRUE(list_->RemoveAt(0));
    EXPECT_FALSE(act->isValid());
    EXPECT_EQ(cells->cellAt(0, 0), b);
    EXPECT_EQ(b->tableCellInterface()->rowIndex(), 0);
    EXPECT_EQ(table->childCount(), 8);
}

TEST_F(ListTest, AWindowThatRemovesThePressedRowLeavesTheClickToTheListAsItStands)
{
    for (const wchar_t* name : {L"a", L"b", L"c"})
        list_->Append(name);
    window_.onNotify = [&](Notification& message) {
        if (message.type == kNotifyItemPress)
            list_->RemoveAt(message.row);
    };
    const UiRect row = list_->GetItemAt(1)->GetPos();
    QTest::mouseClick(window_.GetWidget()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(row.left + 20, row.top + 10));
    ASSERT_TRUE(UiTest::WaitFor([&] { return list_->GetCurSel() == 1; }));
    EXPECT_EQ(list_->names, (std::vector<std::wstring>{L"a", L"c"}));
    EXPECT_EQ(static_cast<ListRow*>(list_->GetItemAt(1))->GetText(0), L"c/0")
        << "the row now under the pointer is selected";
}

TEST_F(ListTest, RowsArePaintedWithTheirStateColoursAndCentredText)
{
    for (const wchar_t* name : {L"a", L"b", L"c"})
        list_->Append(name);
    ASSERT_TRUE(list_->SelectItem(2));
    const UiRect r0 = list_->GetItemAt(0)->GetPos();
    const UiRect r1 = list_->GetItemAt(1)->GetPos();
    const UiRect r2 = list_->GetItemAt(2)->GetPos();
    const QImage image = window_.GetWidget()->grab().toImage();
    EXPECT_EQ(image.pixelColor(r0.left + 2, r0.top + 1), QColor(0xE2, 0xDD, 0xDF));
    EXPECT_NE(image.pixelColor(r1.left + 2, r1.top + 1), QColor(0xE2, 0xDD, 0xDF)) << "alternate shading";
    EXPECT_EQ(image.pixelColor(r2.left + 2, r2.top + 1), QColor(0xC1, 0xE3, 0xFF)) << "selected";

    // Row 0's first cell: its text ("a/0") is centred in the column.
    const UiRect column = list_->GetHeader()->GetColumnRect(0);
    int least = INT_MAX;
    int most = INT_MIN;
    for (int y = r0.top; y < r0.bottom; ++y) {
        for (int x = column.left; x < column.right; ++x) {
            if (image.pixelColor(x, y).lightness() < 100) {
                least = std::min(least, x);
                most = std::max(most, x);
            }
        }
    }
    ASSERT_LE(least, most) << "the cell shows text";
    EXPECT_NEAR((least + most) / 2.0, (column.left + column.right) / 2.0, 3.0);
}

TEST_F(ListTest, TheRightButtonAsksForARowMenuAndTheEmptyListShowsItsHint)
{
    // Empty: the hint in grey, in the middle of the rows' area.
    list_->SetEmptyText(L"拖入音频文件");
    const QRect rows = list_->View()->viewport()->geometry();
    const QPoint middle = list_->View()->viewport()->mapTo(window_.GetWidget(), rows.center() - rows.topLeft());
    auto greyAround = [&](const QImage& image) {
        int grey = 0;
        for (int x = middle.x() - 60; x < middle.x() + 60; ++x) {
            for (int y = middle.y() - 10; y < middle.y() + 10; ++y)
            {
                const QColor colour = image.pixelColor(x, y);
                grey += colour.red() == colour.green() && colour.green() == colour.blue() && colour.red() < 0xE0 ? 1 : 0;
            }
        }
        return grey;
    };
    EXPECT_GT(greyAround(window_.GetWidget()->grab().toImage()), 10);
    // A drag it will accept frames the rows.
    list_->SetDropHighlight(true);
    const QImage framed = window_.GetWidget()->grab().toImage();
    const QPoint corner = list_->View()->viewport()->mapTo(window_.GetWidget(), QPoint(2, 2));
    EXPECT_EQ(framed.pixelColor(corner), QColor(0x1D, 0x97, 0xE4));
    list_->SetDropHighlight(false);

    for (const wchar_t* name : {L"a", L"b", L"c"})
        list_->Append(name);
    EXPECT_EQ(greyAround(window_.GetWidget()->grab().toImage()), 0);
    const UiRect row = list_->GetItemAt(2)->GetPos();
    window_.notes.clear();
    QTest::mouseClick(window_.GetWidget()->windowHandle(), Qt::RightButton, Qt::NoModifier,
                      QPoint(row.left + 20, row.top + 10));
    ASSERT_TRUE(UiTest::WaitFor([&] { return !window_.NotesOfType(kNotifyMenu).empty(); }));
    const auto menus = window_.NotesOfType(kNotifyMenu);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].sender, list_->GetItemAt(2));
    EXPECT_EQ(menus[0].row, 2);
    EXPECT_EQ(menus[0].point, QPoint(row.left + 20, row.top + 10));
    EXPECT_EQ(list_->GetCurSel(), 2);
    // Below the rows there is no row to ask for.
    window_.notes.clear();
    const UiRect listRect = list_->GetPos();
    QTest::mouseClick(window_.GetWidget()->windowHandle(), Qt::RightButton, Qt::NoModifier,
                      QPoint(listRect.left + 20, listRect.bottom - 5));
    UiTest::ProcessEvents();
    EXPECT_TRUE(window_.NotesOfType(kNotifyMenu).empty());
}

}  // namespace
