#pragma once

#include <QAbstractTableModel>
#include <QTreeView>

class ListControl;

// The Qt model behind a ListControl (toolkit internal): one row per element, one column per header
// column; every cell's text and tooltip is asked of the list when the view needs it.
class ListRowsModel final : public QAbstractTableModel {
public:
    explicit ListRowsModel(ListControl* list);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void BeginInsert(int row) { beginInsertRows(QModelIndex(), row, row); }
    void EndInsert() { endInsertRows(); }
    void BeginRemove(int first, int last) { beginRemoveRows(QModelIndex(), first, last); }
    void EndRemove() { endRemoveRows(); }
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }

private:
    ListControl* list_;
};

// The Qt view behind a ListControl (toolkit internal): draws whole rows itself (background by
// state, then each cell's text with the list's item style) and tracks the row under the
// pointer for the hot colour. Over the rows it draws the list's empty-list hint, the frame of an
// accepted drag and, while it has the keyboard focus, a focus frame around the current row.
class ListRowsView final : public QTreeView {
public:
    explicit ListRowsView(ListControl* list);

    ListControl* List() const { return list_; }
    int HotRow() const { return hotRow_; }
    // A cell's text as it is drawn: fitted to the cell's width as the list's FitCellText says.
    QString ShownText(int row, int column) const;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void SetHotRow(int row);
    QFont CellFont() const;
    // Where a cell's text goes: the cell of that row and column, less the item text padding.
    QRect TextRect(int top, int height, int column) const;

    ListControl* list_;
    int hotRow_ = -1;
};
