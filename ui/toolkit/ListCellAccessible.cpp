#include "ui/toolkit/ListCellAccessible.h"

#include "ui/toolkit/ListControl.h"
#include "ui/toolkit/ListRowsView.h"

#include <QWidget>
#include <QWindow>

ListCellAccessible::ListCellAccessible(ListRowsView* view, const QModelIndex& index)
    : view_(view), index_(index)
{
}

bool ListCellAccessible::isValid() const
{
    return !view_.isNull() && index_.isValid();
}

QObject* ListCellAccessible::object() const
{
    return nullptr;
}

QWindow* ListCellAccessible::window() const
{
    return view_.isNull() ? nullptr : view_->window()->windowHandle();
}

QAccessibleInterface* ListCellAccessible::childAt(int, int) const
{
    return nullptr;
}

QAccessibleInterface* ListCellAccessible::parent() const
{
    return table();
}

QAccessibleInterface* ListCellAccessible::child(int) const
{
    return nullptr;
}

int ListCellAccessible::childCount() const
{
    return 0;
}

int ListCellAccessible::indexOfChild(const QAccessibleInterface*) const
{
    return -1;
}

QString ListCellAccessible::text(QAccessible::Text t) const
{
    if (!isValid())
        return QString();
    if (t == QAccessible::Name)
        return index_.data(Qt::DisplayRole).toString();
    if (t == QAccessible::Description) {
        // A tooltip that only repeats the text would be read twice.
        const QString tip = index_.data(Qt::ToolTipRole).toString();
        return tip != index_.data(Qt::DisplayRole).toString() ? tip : QString();
    }
    return QString();
}

void ListCellAccessible::setText(QAccessible::Text, const QString&)
{
}

QRect ListCellAccessible::rect() const
{
    if (!isValid())
        return QRect();
    const QRect cell = view_->visualRect(index_);
    return cell.isValid() ? QRect(view_->viewport()->mapToGlobal(cell.topLeft()), cell.size()) : QRect();
}

QAccessible::Role ListCellAccessible::role() const
{
    return QAccessible::Cell;
}

QAccessible::State ListCellAccessible::state() const
{
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    state.selectable = true;
    state.focusable = true;
    state.selected = isSelected();
    const QModelIndex current = view_->currentIndex();
    state.focused = view_->hasFocus() && current.row() == index_.row() && current.column() == index_.column();
    if (!view_->viewport()->rect().intersects(view_->visualRect(index_)))
        state.offscreen = true;
    state.disabled = !view_->isEnabled();
    return state;
}

void* ListCellAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableCellInterface)
        return static_cast<QAccessibleTableCellInterface*>(this);
    if (type == QAccessible::ActionInterface)
        return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
}

bool ListCellAccessible::isSelected() const
{
    return isValid() && view_->selectionModel() != nullptr &&
           view_->selectionModel()->isRowSelected(index_.row(), QModelIndex());
}

QList<QAccessibleInterface*> ListCellAccessible::columnHeaderCells() const
{
    QAccessibleInterface* list = table();
    // The header row's cells are the table's first children.
    QAccessibleInterface* header = list != nullptr && isValid() ? list->child(index_.column()) : nullptr;
    return header != nullptr ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
}

QList<QAccessibleInterface*> ListCellAccessible::rowHeaderCells() const
{
    return {};
}

int ListCellAccessible::columnIndex() const
{
    return isValid() ? index_.column() : -1;
}

int ListCellAccessible::rowIndex() const
{
    return isValid() ? index_.row() : -1;
}

int ListCellAccessible::columnExtent() const
{
    return 1;
}

int ListCellAccessible::rowExtent() const
{
    return 1;
}

QAccessibleInterface* ListCellAccessible::table() const
{
    return view_.isNull() ? nullptr : QAccessible::queryAccessibleInterface(view_.data());
}

QStringList ListCellAccessible::actionNames() const
{
    if (!isValid())
        return {};
    // The press first: it is what the cell is for, and tools take the first action as the default.
    if (view_->List()->IsCellPressable(index_.row(), index_.column()))
        return {pressAction(), setFocusAction()};
    return {setFocusAction()};
}

void ListCellAccessible::doAction(const QString& name)
{
    if (!isValid() || !view_->isEnabled())
        return;
    if (name == pressAction())
        view_->List()->PressCell(index_.row(), index_.column());
    else if (name == setFocusAction())
        view_->List()->SelectItem(index_.row(), true);
}

QStringList ListCellAccessible::keyBindingsForAction(const QString&) const
{
    return {};
}
