#include "ui/toolkit/BoxLayout.h"

#include "ui/toolkit/Control.h"

#include <QWidget>
#include <QWidgetItem>

#include <algorithm>
#include <vector>

namespace {

struct Placed {
    QWidget* widget;
    Control* control;
};

// Sizes along (main) and across (cross) the layout's direction.
struct Axis {
    bool horizontal;
    int Fixed(const Control* c) const { return horizontal ? c->GetFixedWidth() : c->GetFixedHeight(); }
    int CrossFixed(const Control* c) const { return horizontal ? c->GetFixedHeight() : c->GetFixedWidth(); }
    int Min(const Control* c) const { return horizontal ? c->GetMinWidth() : c->GetMinHeight(); }
    int Max(const Control* c) const { return horizontal ? c->GetMaxWidth() : c->GetMaxHeight(); }
    int Before(const UiRect& p) const { return horizontal ? p.left : p.top; }
    int After(const UiRect& p) const { return horizontal ? p.right : p.bottom; }
    int CrossBefore(const UiRect& p) const { return horizontal ? p.top : p.left; }
    int CrossAfter(const UiRect& p) const { return horizontal ? p.bottom : p.right; }
};

}  // namespace

BoxLayout::BoxLayout(Qt::Orientation orientation)
    : orientation_(orientation)
{
    setSizeConstraint(QLayout::SetNoConstraint);
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

BoxLayout::~BoxLayout()
{
    qDeleteAll(items_);
}

void BoxLayout::InsertWidget(int index, QWidget* widget)
{
    addChildWidget(widget);
    index = std::clamp(index, 0, static_cast<int>(items_.size()));
    items_.insert(index, new QWidgetItem(widget));
    invalidate();
}

int BoxLayout::IndexOfWidget(QWidget* widget) const
{
    for (int i = 0; i < items_.size(); ++i) {
        if (items_[i]->widget() == widget)
            return i;
    }
    return -1;
}

void BoxLayout::SetChildPadding(int padding)
{
    childPadding_ = std::max(0, padding);
    invalidate();
}

void BoxLayout::addItem(QLayoutItem* item)
{
    items_.append(item);
    invalidate();
}

QLayoutItem* BoxLayout::itemAt(int index) const
{
    return index >= 0 && index < items_.size() ? items_[index] : nullptr;
}

QLayoutItem* BoxLayout::takeAt(int index)
{
    if (index < 0 || index >= items_.size())
        return nullptr;
    QLayoutItem* item = items_.takeAt(index);
    invalidate();
    return item;
}

int BoxLayout::count() const
{
    return static_cast<int>(items_.size());
}

QSize BoxLayout::sizeHint() const
{
    const Axis axis{orientation_ == Qt::Horizontal};
    int along = 0;
    int across = 0;
    int visible = 0;
    for (QLayoutItem* item : items_) {
        QWidget* widget = item->widget();
        auto* control = dynamic_cast<Control*>(widget);
        if (widget == nullptr || control == nullptr || widget->isHidden())
            continue;
        const UiRect padding = control->GetPadding();
        along += axis.Fixed(control) + axis.Before(padding) + axis.After(padding);
        across = std::max(across, axis.CrossFixed(control) + axis.CrossBefore(padding) + axis.CrossAfter(padding));
        ++visible;
    }
    along += childPadding_ * std::max(0, visible - 1);
    const QMargins m = contentsMargins();
    QSize size = axis.horizontal ? QSize(along, across) : QSize(across, along);
    return size.grownBy(m);
}

QSize BoxLayout::minimumSize() const
{
    return sizeHint();
}

Qt::Orientations BoxLayout::expandingDirections() const
{
    return Qt::Horizontal | Qt::Vertical;
}

void BoxLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const Axis axis{orientation_ == Qt::Horizontal};
    const QRect area = rect.marginsRemoved(contentsMargins());

    std::vector<Placed> placed;
    for (QLayoutItem* item : items_) {
        QWidget* widget = item->widget();
        auto* control = dynamic_cast<Control*>(widget);
        if (widget != nullptr && control != nullptr && !widget->isHidden())
            placed.push_back(Placed{widget, control});
    }
    if (placed.empty())
        return;

    const int length = axis.horizontal ? area.width() : area.height();
    const int depth = axis.horizontal ? area.height() : area.width();
    int taken = childPadding_ * static_cast<int>(placed.size() - 1);
    int flexible = 0;
    for (const Placed& p : placed) {
        const UiRect padding = p.control->GetPadding();
        taken += axis.Before(padding) + axis.After(padding);
        if (axis.Fixed(p.control) > 0)
            taken += axis.Fixed(p.control);
        else
            ++flexible;
    }
    const int left = std::max(0, length - taken);
    const int share = flexible > 0 ? left / flexible : 0;
    int extra = flexible > 0 ? left % flexible : 0;

    int position = axis.horizontal ? area.left() : area.top();
    const int crossStart = axis.horizontal ? area.top() : area.left();
    for (const Placed& p : placed) {
        const UiRect padding = p.control->GetPadding();
        position += axis.Before(padding);
        int size = axis.Fixed(p.control);
        if (size <= 0) {
            size = share;
            if (extra > 0) {
                ++size;
                --extra;
            }
            if (axis.Min(p.control) > 0)
                size = std::max(size, axis.Min(p.control));
            if (axis.Max(p.control) > 0)
                size = std::min(size, axis.Max(p.control));
        }
        int cross = axis.CrossFixed(p.control);
        if (cross <= 0)
            cross = depth - axis.CrossBefore(padding) - axis.CrossAfter(padding);
        cross = std::max(0, cross);
        const int crossPosition = crossStart + axis.CrossBefore(padding);
        const QRect geometry = axis.horizontal ? QRect(position, crossPosition, size, cross)
                                               : QRect(crossPosition, position, cross, size);
        p.widget->setGeometry(geometry);
        position += size + axis.After(padding) + childPadding_;
    }
}
