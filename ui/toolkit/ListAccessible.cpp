#include "ui/toolkit/ListAccessible.h"

#include "ui/toolkit/ListCellAccessible.h"
#include "ui/toolkit/ListControl.h"
#include "ui/toolkit/ListHeaderCellAccessible.h"
#include "ui/toolkit/ListRowsView.h"

#include <QItemSelectionModel>

ListAccessible::ListAccessible(ListRowsView* view)
    : QAccessibleWidget(view, QAccessible::Table)
{
    QAbstractItemModel* model = view->model();
    if (model == nullptr)
        return;
    const auto moved = [this] { moved_ = true; };
    QObject::connect(model, &QAbstractItemModel::rowsInserted, &rowsWatch_, moved);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, &rowsWatch_, moved);
    QObject::connect(model, &QAbstractItemModel::rowsMoved, &rowsWatch_, moved);
    QObject::connect(model, &QAbstractItemModel::columnsInserted, &rowsWatch_, moved);
    QObject::connect(model, &QAbstractItemModel::columnsRemoved, &rowsWatch_, moved);
    QObject::connect(model, &QAbstractItemModel::modelReset, &rowsWatch_, moved);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, &rowsWatch_, moved);
}

ListAccessible::~ListAccessible()
{
    Forget();
}

QAccessibleInterface* ListAccessible::Factory(const QString&, QObject* object)
{
    auto* view = object != nullptr && object->isWidgetType() ? dynamic_cast<ListRowsView*>(object) : nullptr;
    return view != nullptr ? new ListAccessible(view) : nullptr;
}

ListRowsView* ListAccessible::View() const
{
    return static_cast<ListRowsView*>(widget());
}

QAccessible::Role ListAccessible::role() const
{
    return QAccessible::Table;
}

int ListAccessible::columnCount() const
{
    return View()->model() != nullptr ? View()->model()->columnCount() : 0;
}

int ListAccessible::rowCount() const
{
    return View()->model() != nullptr ? View()->model()->rowCount() : 0;
}

int ListAccessible::ChildIndex(int row, int column) const
{
    return (row + 1) * columnCount() + column;
}

int ListAccessible::childCount() const
{
    return (rowCount() + 1) * columnCount();
}

QAccessibleInterface* ListAccessible::child(int index) const
{
    const int columns = columnCount();
    if (index < 0 || index >= childCount() || columns == 0)
        return nullptr;
    if (moved_)
        Refile();
    if (const auto known = children_.find(index); known != children_.end()) {
        QAccessibleInterface* made = QAccessible::accessibleInterface(known->second);
        if (made != nullptr && made->isValid() && indexOfChild(made) == index)
            return made;
        QAccessible::deleteAccessibleInterface(known->second);
        children_.erase(known);
    }
    const int row = index / columns - 1;
    const int column = index % columns;
    QAccessibleInterface* made = nullptr;
    if (row < 0)
        made = new ListHeaderCellAccessible(View(), column);
    else
        made = new ListCellAccessible(View(), View()->model()->index(row, column));
    children_[index] = QAccessible::registerAccessibleInterface(made);
    return made;
}

int ListAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    if (const auto* header = dynamic_cast<const ListHeaderCellAccessible*>(child))
        return header->isValid() && header->parent() == this ? header->Column() : -1;
    if (const auto* cell = dynamic_cast<const ListCellAccessible*>(child)) {
        if (!cell->isValid() || cell->table() != this)
            return -1;
        return ChildIndex(cell->rowIndex(), cell->columnIndex());
    }
    return -1;
}

QAccessibleInterface* ListAccessible::childAt(int x, int y) const
{
    ListRowsView* view = View();
    const QModelIndex index = view->indexAt(view->viewport()->mapFromGlobal(QPoint(x, y)));
    return index.isValid() ? child(ChildIndex(index.row(), index.column())) : nullptr;
}

QAccessibleInterface* ListAccessible::focusChild() const
{
    const QModelIndex current = View()->currentIndex();
    if (!View()->hasFocus() || !current.isValid())
        return nullptr;
    return child(ChildIndex(current.row(), current.column()));
}

void* ListAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessibleInterface* ListAccessible::caption() const
{
    return nullptr;
}

QAccessibleInterface* ListAccessible::summary() const
{
    return nullptr;
}

QAccessibleInterface* ListAccessible::cellAt(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return nullptr;
    return child(ChildIndex(row, column));
}

int ListAccessible::selectedCellCount() const
{
    return selectedRowCount() * columnCount();
}

QList<QAccessibleInterface*> ListAccessible::selectedCells() const
{
    QList<QAccessibleInterface*> cells;
    for (int row : selectedRows()) {
        for (int column = 0; column < columnCount(); ++column)
            cells.append(cellAt(row, column));
    }
    return cells;
}

QString ListAccessible::columnDescription(int column) const
{
    return View()->model() != nullptr ? View()->model()->headerData(column, Qt::Horizontal).toString() : QString();
}

QString ListAccessible::rowDescription(int) const
{
    return QString();
}

int ListAccessible::selectedColumnCount() const
{
    return 0;
}

int ListAccessible::selectedRowCount() const
{
    return static_cast<int>(selectedRows().size());
}

QList<int> ListAccessible::selectedColumns() const
{
    return {};
}

QList<int> ListAccessible::selectedRows() const
{
    // One row at most: the list's selection.
    const int row = View()->List()->GetCurSel();
    return row >= 0 ? QList<int>{row} : QList<int>{};
}

bool ListAccessible::isColumnSelected(int) const
{
    return false;
}

bool ListAccessible::isRowSelected(int row) const
{
    return row >= 0 && View()->List()->GetCurSel() == row;
}

bool ListAccessible::selectRow(int row)
{
    return row >= 0 && row < rowCount() && View()->List()->SelectItem(row, false);
}

bool ListAccessible::selectColumn(int)
{
    return false;
}

bool ListAccessible::unselectRow(int)
{
    // A click never leaves the list without its row either.
    return false;
}

bool ListAccessible::unselectColumn(int)
{
    return false;
}

void ListAccessible::modelChange(QAccessibleTableModelChangeEvent*)
{
    moved_ = true;
}

void ListAccessible::Refile() const
{
    moved_ = false;
    std::map<int, QAccessible::Id> now;
    for (const auto& [index, id] : children_) {
        QAccessibleInterface* made = QAccessible::accessibleInterface(id);
        const int at = made != nullptr && made->isValid() ? indexOfChild(made) : -1;
        if (at >= 0 && now.count(at) == 0)
            now[at] = id;
        else if (made != nullptr)
            QAccessible::deleteAccessibleInterface(id);
    }
    children_ = std::move(now);
}

void ListAccessible::Forget() const
{
    for (const auto& [index, id] : children_)
        QAccessible::deleteAccessibleInterface(id);
    children_.clear();
}
