#pragma once

#include "ui/toolkit/Control.h"

#include <QWidget>

#include <memory>
#include <vector>

class ListHeader;
class QFontMetrics;
class ListRowsModel;
class ListRow;
class ListRowsView;
class ListTextSource;

// "List": rows of ListRow under a ListHeader, with one selected row. Cell texts
// come from the text callback (ListTextSource) at every paint. Selecting a row (by the user or
// by SelectItem) sends "itemselect" (the new row or -1, and the old one); pressing a row with the
// left button sends "itempress" (row, column, point) before the list handles the press, then
// "itemclick"; double-clicking it sends "itemactivate", all from the row's element.
//
// Layout attributes besides the common ones: inset, vscrollbar, header ("hidden"), itemheight,
// itemfont, itemtextcolor, itemselectedtextcolor, itemhottextcolor, itembkcolor, itemaltbk
// (alternate-row shading), itemaltbkcolor, itemselectedbkcolor, itemhotbkcolor, itemalign,
// itemtextpadding, itemendellipsis, emptytext (a grey hint drawn while the list has no rows).
// Its <ListHeader> child describes the columns. The right button over a row selects the row and
// sends "menu" from its element. The row view shows
// where the keyboard focus is.
//
// Assistive tools (screen readers) see the rows' view as a table of cells read by their texts,
// under its column headers (ListAccessible); a cell that acts when pressed (IsCellPressable) can be
// pressed through them as the left button would. "accessiblename" names that table.
//
// The row operations are virtual so a subclass that keeps data per row can keep it in step:
// Remove goes through RemoveAt.
class ListControl : public QWidget, public Control {
public:
    ListControl();
    ~ListControl() override;
    std::wstring GetClass() const override { return L"List"; }

    void SetTextCallback(ListTextSource* callback);
    ListTextSource* GetTextCallback() const { return callback_; }

    // Takes ownership of a ListRow; refuses (ownership stays with the caller) any other
    // control, or an element already in a list.
    virtual bool Add(Control* element);
    virtual bool AddAt(Control* element, int index);
    // Removes and deletes the row's element. Removing the selected row leaves no row selected
    // and sends "itemselect" for row -1.
    virtual bool Remove(Control* element);
    virtual bool RemoveAt(int index);
    virtual void RemoveAll();
    int GetCount() const { return static_cast<int>(elements_.size()); }
    Control* GetItemAt(int index) const;
    // The row of an element of this list, -1 for anything else.
    int GetItemIndex(Control* element) const;

    // The selected row, -1 when none.
    int GetCurSel() const;
    // Selects a row (-1: none) and scrolls it into view; the keyboard focus moves only when asked.
    bool SelectItem(int index, bool takeFocus = false);
    void EnsureVisible(int index);

    ListHeader* GetHeader() const { return header_; }
    // Insets of each cell's text inside its cell (left, top, right, bottom).
    UiRect GetItemTextPadding() const { return items_.textPadding; }
    void SetItemTextPadding(const UiRect& padding);
    // A row's rectangle in the client coordinates of the window (empty for no such row).
    UiRect GetRowRect(int index) const;
    // The row element under a point in client coordinates, or null.
    Control* GetItemAtPoint(int x, int y) const;

    // The hint shown while the list is empty.
    void SetEmptyText(const std::wstring& text);
    const std::wstring& GetEmptyText() const { return emptyText_; }
    // Marks the list as the target of a drag it will accept (a frame over the rows).
    void SetDropHighlight(bool on);
    bool IsDropHighlighted() const { return dropHighlight_; }

    // Redraws every row; cell texts are asked for again.
    void Invalidate() override;

    // A cell's text as it fits `width` in `metrics`: cut at the end when "itemendellipsis" is on,
    // else whole.
    virtual QString FitCellText(int column, const QString& text, const QFontMetrics& metrics, int width) const;
    // Whether pressing the cell does something (a text drawn as a button); none by default.
    virtual bool IsCellPressable(int row, int column) const;
    // Presses a cell as the left button would at its middle, for those who cannot point at it;
    // false when the cell is not pressable.
    bool PressCell(int row, int column);
    void SetAccessibleName(const std::wstring& name) override;

    bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

    // Toolkit internals.
    std::wstring CellText(int row, int column);
    std::wstring CellToolTip(int row, int column);
    // A context menu for `row` at a point in the view's viewport.
    void OnContextMenu(int row, const QPoint& atViewport);
    // The left button went down on a cell, at a point in the view's viewport.
    void OnRowPressed(int row, int column, const QPoint& atViewport);
    void OnColumnsChanged();
    ListRowsView* View() const { return view_; }

    struct ItemStyle {
        int font = -1;
        int height = 28;
        QColor textColor;
        QColor selectedTextColor;
        QColor hotTextColor;
        QColor bkColor;
        QColor altBkColor;
        bool altBk = false;
        QColor selectedBkColor;
        QColor hotBkColor;
        Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
        UiRect textPadding;
        bool endEllipsis = false;
    };
    const ItemStyle& GetItemStyle() const { return items_; }

protected:
    void ApplyStyle() override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceView();
    void OnCurrentRowChanged(int current, int previous);
    void NotifySelect(int row, int previous);

    ListTextSource* callback_ = nullptr;
    std::vector<std::unique_ptr<ListRow>> elements_;
    ListRowsModel* model_;
    ListRowsView* view_;
    ListHeader* header_;
    UiRect inset_;
    ItemStyle items_;
    std::wstring emptyText_;
    bool dropHighlight_ = false;
    bool quiet_ = false;
};
