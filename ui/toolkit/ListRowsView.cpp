#include "ui/toolkit/ListRowsView.h"

#include "ui/toolkit/ListHeader.h"
#include "ui/toolkit/ListControl.h"
#include "ui/toolkit/WindowWidget.h"
#include "ui/toolkit/UiPainting.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

// Gives every row the list's item height.
class RowHeightDelegate final : public QStyledItemDelegate {
public:
    RowHeightDelegate(ListControl* list, QObject* parent) : QStyledItemDelegate(parent), list_(list) {}
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return QSize(10, list_->GetItemStyle().height);
    }

private:
    ListControl* list_;
};

}  // namespace

ListRowsModel::ListRowsModel(ListControl* list)
    : QAbstractTableModel(nullptr), list_(list)
{
}

int ListRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : list_->GetCount();
}

int ListRowsModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    ListHeader* header = list_->GetHeader();
    return header != nullptr && header->GetColumnCount() > 0 ? header->GetColumnCount() : 1;
}

QVariant ListRowsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::DisplayRole)
        return QString::fromStdWString(list_->CellText(index.row(), index.column()));
    if (role == Qt::ToolTipRole) {
        const std::wstring tip = list_->CellToolTip(index.row(), index.column());
        return tip.empty() ? QVariant() : QVariant(QString::fromStdWString(tip));
    }
    return QVariant();
}

QVariant ListRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || list_->GetHeader() == nullptr)
        return QVariant();
    return QString::fromStdWString(list_->GetHeader()->GetColumnText(section));
}

ListRowsView::ListRowsView(ListControl* list)
    : QTreeView(nullptr), list_(list)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setAllColumnsShowFocus(true);
    setMouseTracking(true);
    setItemDelegate(new RowHeightDelegate(list, this));
}

void ListRowsView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const ListControl::ItemStyle& style = list_->GetItemStyle();
    const int row = index.row();
    const bool selected = selectionModel() != nullptr && selectionModel()->isRowSelected(row, QModelIndex());
    const bool hot = row == hotRow_;
    const QRect rowRect(0, option.rect.top(), viewport()->width(), option.rect.height());

    QColor background = style.bkColor;
    if (style.altBk && row % 2 == 1)
        background = style.altBkColor.isValid() ? style.altBkColor
                                                : (style.bkColor.isValid() ? style.bkColor.lighter(106) : QColor());
    QColor text = style.textColor.isValid() ? style.textColor : QColor(Qt::black);
    if (selected) {
        if (style.selectedBkColor.isValid())
            background = style.selectedBkColor;
        if (style.selectedTextColor.isValid())
            text = style.selectedTextColor;
    } else if (hot) {
        if (style.hotBkColor.isValid())
            background = style.hotBkColor;
        if (style.hotTextColor.isValid())
            text = style.hotTextColor;
    }
    if (background.isValid())
        painter->fillRect(rowRect, background);

    UiPainting::TextStyle textStyle;
    textStyle.font = CellFont();
    textStyle.color = text;
    textStyle.align = style.align;
    const int columns = model()->columnCount();
    for (int column = 0; column < columns; ++column) {
        if (header()->isSectionHidden(column))
            continue;
        // Already cut as the column wants it.
        UiPainting::DrawText(*painter, TextRect(option.rect.top(), option.rect.height(), column), ShownText(row, column),
                             textStyle);
    }
}

QString ListRowsView::ShownText(int row, int column) const
{
    const QString value = model()->index(row, column).data(Qt::DisplayRole).toString();
    // The viewport's metrics: those its painter draws with.
    const QFontMetrics metrics(CellFont(), viewport());
    return list_->FitCellText(column, value, metrics, TextRect(0, list_->GetItemStyle().height, column).width());
}

QFont ListRowsView::CellFont() const
{
    WindowWidget* window = list_->GetWindowWidget();
    return window != nullptr ? window->GetLayoutFont(list_->GetItemStyle().font) : font();
}

QRect ListRowsView::TextRect(int top, int height, int column) const
{
    const UiRect& pad = list_->GetItemStyle().textPadding;
    const QRect cell(columnViewportPosition(column), top, columnWidth(column), height);
    return cell.adjusted(pad.left, pad.top, -pad.right, -pad.bottom);
}

QItemSelectionModel::SelectionFlags ListRowsView::selectionCommand(const QModelIndex& index, const QEvent*) const
{
    // One row is always the selection and the current row at once; clicks never just deselect.
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
}

bool ListRowsView::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
        SetHotRow(indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).row());
        break;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint point = mouse->position().toPoint();
        const QModelIndex index = indexAt(point);
        SetHotRow(index.row());
        if (mouse->button() == Qt::LeftButton && index.isValid()) {
            // Reported before the view selects the row: the window may act on the row that was
            // pressed (delete it, say), and the view then handles the press as the rows stand.
            QPointer<ListRowsView> alive(this);
            list_->OnRowPressed(index.row(), index.column(), point);
            if (alive.isNull())
                return true;
        }
        break;
    }
    case QEvent::Leave:
        SetHotRow(-1);
        break;
    default:
        break;
    }
    return QTreeView::viewportEvent(event);
}

void ListRowsView::paintEvent(QPaintEvent* event)
{
    // The rows are drawn here, not by the tree view's own painting: that asks the display server
    // where the pointer is on every paint, a round trip that holds the window up whenever the
    // server is slow to answer. The rows are flat and all of one height; the hot row is known.
    QPainter painter(viewport());
    const QRect area = viewport()->rect();
    const QRegion dirty = event->region();
    const int rows = model()->rowCount(rootIndex());
    for (int row = std::max(0, indexAt(QPoint(0, 0)).row()); row < rows; ++row) {
        const QModelIndex index = model()->index(row, 0, rootIndex());
        const QRect cell = visualRect(index);
        if (!cell.isValid() || cell.top() > area.bottom())
            break;
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.rect = QRect(0, cell.top(), area.width(), cell.height());
        if (dirty.intersects(option.rect))
            drawRow(&painter, option, index);
    }
    if (model()->rowCount() == 0 && !list_->GetEmptyText().empty()) {
        WindowWidget* window = list_->GetWindowWidget();
        painter.setFont(window != nullptr ? window->GetLayoutFont(list_->GetItemStyle().font) : font());
        painter.setPen(QColor(0xA0, 0xA0, 0xA0));
        painter.drawText(area.adjusted(10, 10, -10, -10), Qt::AlignCenter | Qt::TextWordWrap,
                         QString::fromStdWString(list_->GetEmptyText()));
    }
    if (hasFocus()) {
        // Dotted, like the desktop's focus frames: it must not read as a selection.
        QPen pen(QColor(0x33, 0x33, 0x33));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        const QModelIndex current = currentIndex();
        const QRect cell = current.isValid() ? visualRect(current) : QRect();
        const QRect frame = cell.isValid() ? QRect(0, cell.top(), area.width(), cell.height()) : area;
        painter.drawRect(frame.adjusted(1, 1, -2, -2));
    }
    if (list_->IsDropHighlighted()) {
        painter.fillRect(area, QColor(0x1D, 0x97, 0xE4, 0x30));
        painter.setPen(QPen(QColor(0x1D, 0x97, 0xE4), 3));
        painter.drawRect(area.adjusted(1, 1, -2, -2));
    }
}

void ListRowsView::contextMenuEvent(QContextMenuEvent* event)
{
    // Only the mouse's: the window decides about the keyboard's (the Menu key), which not every
    // platform turns into this event.
    const int row = event->reason() == QContextMenuEvent::Mouse ? indexAt(event->pos()).row() : -1;
    if (row < 0) {
        event->ignore();
        return;
    }
    event->accept();
    list_->OnContextMenu(row, event->pos());
}

void ListRowsView::focusInEvent(QFocusEvent* event)
{
    QTreeView::focusInEvent(event);
    viewport()->update();
}

void ListRowsView::focusOutEvent(QFocusEvent* event)
{
    QTreeView::focusOutEvent(event);
    viewport()->update();
}

void ListRowsView::SetHotRow(int row)
{
    if (row == hotRow_)
        return;
    hotRow_ = row;
    viewport()->update();
}
