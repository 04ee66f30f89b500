#include "ui/toolkit/ListHeaderCellAccessible.h"

#include "ui/toolkit/ListRowsView.h"

#include <QHeaderView>
#include <QWindow>

ListHeaderCellAccessible::ListHeaderCellAccessible(ListRowsView* view, int column)
    : view_(view), column_(column)
{
}

bool ListHeaderCellAccessible::isValid() const
{
    return !view_.isNull() && view_->model() != nullptr && column_ >= 0 && column_ < view_->model()->columnCount();
}

QObject* ListHeaderCellAccessible::object() const
{
    return nullptr;
}

QWindow* ListHeaderCellAccessible::window() const
{
    return view_.isNull() ? nullptr : view_->window()->windowHandle();
}

QAccessibleInterface* ListHeaderCellAccessible::childAt(int, int) const
{
    return nullptr;
}

QAccessibleInterface* ListHeaderCellAccessible::parent() const
{
    return view_.isNull() ? nullptr : QAccessible::queryAccessibleInterface(view_.data());
}

QAccessibleInterface* ListHeaderCellAccessible::child(int) const
{
    return nullptr;
}

int ListHeaderCellAccessible::childCount() const
{
    return 0;
}

int ListHeaderCellAccessible::indexOfChild(const QAccessibleInterface*) const
{
    return -1;
}

QString ListHeaderCellAccessible::text(QAccessible::Text t) const
{
    if (t != QAccessible::Name || !isValid())
        return QString();
    return view_->model()->headerData(column_, Qt::Horizontal, Qt::DisplayRole).toString();
}

void ListHeaderCellAccessible::setText(QAccessible::Text, const QString&)
{
}

QRect ListHeaderCellAccessible::rect() const
{
    if (!isValid())
        return QRect();
    QHeaderView* header = view_->header();
    const QRect section(header->sectionViewportPosition(column_), 0, header->sectionSize(column_), header->height());
    return QRect(header->viewport()->mapToGlobal(section.topLeft()), section.size());
}

QAccessible::Role ListHeaderCellAccessible::role() const
{
    return QAccessible::ColumnHeader;
}

QAccessible::State ListHeaderCellAccessible::state() const
{
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    if (view_->header()->isHidden())
        state.invisible = true;
    return state;
}
