#include "ui/toolkit/WindowWidget.h"

#include "ui/toolkit/Container.h"
#include "ui/toolkit/Control.h"
#include "ui/toolkit/SkinnedScrollBarStyle.h"
#include "ui/toolkit/WindowBase.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QWindow>

#include <algorithm>

namespace {

bool IsInteractive(QWidget* widget, QWidget* top)
{
    for (; widget != nullptr && widget != top; widget = widget->parentWidget()) {
        if (qobject_cast<QAbstractButton*>(widget) != nullptr || qobject_cast<QAbstractScrollArea*>(widget) != nullptr ||
            qobject_cast<QAbstractSlider*>(widget) != nullptr)
            return true;
    }
    return false;
}

}  // namespace

WindowWidget::WindowWidget(WindowBase* owner, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), owner_(owner)
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, Qt::black);
    colours.setColor(QPalette::Text, Qt::black);
    colours.setColor(QPalette::ButtonText, Qt::black);
    setPalette(colours);
}

WindowWidget::~WindowWidget()
{
    // The controls go first, while this window is still whole for their own clean-up.
    closing_ = true;
    UpdateBorderCursor(Qt::Edges());
    delete root_;
    root_ = nullptr;
    if (watchedWindow_ != nullptr)
        watchedWindow_->removeEventFilter(this);
    if (WindowBase* owner = owner_) {
        owner_ = nullptr;
        owner->OnWidgetDestroyed();
    }
}

void WindowWidget::SetRoot(Control* root)
{
    root_ = root;
    if (root_ != nullptr && root_->GetWidget() != nullptr) {
        root_->GetWidget()->setParent(this);
        root_->GetWidget()->setGeometry(rect());
        root_->GetWidget()->show();
    }
}

void WindowWidget::ArrangeNow()
{
    if (root_ == nullptr || root_->GetWidget() == nullptr)
        return;
    root_->GetWidget()->setGeometry(rect());
    if (auto* container = dynamic_cast<Container*>(root_))
        container->ArrangeChildren();
}

void WindowWidget::SetRoundCorner(int width, int height)
{
    cornerWidth_ = width;
    cornerHeight_ = height;
    UpdateMask();
}

void WindowWidget::AddFont(int id, const QFont& font, bool isDefault)
{
    fonts_[id] = font;
    if (isDefault || defaultFont_ < 0) {
        defaultFont_ = id;
        setFont(font);
    }
}

QFont WindowWidget::GetLayoutFont(int id) const
{
    auto found = fonts_.find(id);
    if (found != fonts_.end())
        return found->second;
    found = fonts_.find(defaultFont_);
    return found != fonts_.end() ? found->second : font();
}

void WindowWidget::SetScrollBarSkin(const UiScrollBarSkin& skin)
{
    scrollBarStyle_ = std::make_unique<SkinnedScrollBarStyle>(skin);
}

QStyle* WindowWidget::ScrollBarStyle() const
{
    return scrollBarStyle_.get();
}

void WindowWidget::SendNotify(Notification& message)
{
    if (owner_ != nullptr && !closing_ && !owner_->closeRequested_)
        owner_->Notify(message);
}

void WindowWidget::WatchInput()
{
    QWindow* native = windowHandle();
    if (native == nullptr || native == watchedWindow_)
        return;
    if (watchedWindow_ != nullptr)
        watchedWindow_->removeEventFilter(this);
    watchedWindow_ = native;
    native->installEventFilter(this);
}

bool WindowWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != watchedWindow_ || closing_ || owner_ == nullptr)
        return QWidget::eventFilter(watched, event);
    return HandleFrameMouse(event);
}

Qt::Edges WindowWidget::EdgesAt(const QPoint& point) const
{
    Qt::Edges edges;
    if (isMaximized() || isFullScreen() || minimumSize() == maximumSize())
        return edges;
    if (point.x() < sizeBox_.left)
        edges |= Qt::LeftEdge;
    if (point.x() >= width() - sizeBox_.right)
        edges |= Qt::RightEdge;
    if (point.y() < sizeBox_.top)
        edges |= Qt::TopEdge;
    if (point.y() >= height() - sizeBox_.bottom)
        edges |= Qt::BottomEdge;
    return edges;
}

bool WindowWidget::InCaption(const QPoint& point) const
{
    if (caption_.bottom <= 0)
        return false;
    const QRect area(caption_.left, caption_.top, width() - caption_.left - caption_.right,
                     caption_.bottom - caption_.top);
    return area.contains(point) && !IsInteractive(childAt(point), const_cast<WindowWidget*>(this));
}

bool WindowWidget::HandleFrameMouse(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const QPoint point = mouse->position().toPoint();
        const Qt::Edges edges = EdgesAt(point);
        if (edges) {
            if (windowHandle() == nullptr || !windowHandle()->startSystemResize(edges)) {
                drag_ = Drag::Resize;
                dragEdges_ = edges;
                dragStartGlobal_ = mouse->globalPosition().toPoint();
                dragStartGeometry_ = geometry();
            }
            return true;
        }
        if (InCaption(point) && !isMaximized()) {
            if (windowHandle() == nullptr || !windowHandle()->startSystemMove()) {
                drag_ = Drag::Move;
                dragStartGlobal_ = mouse->globalPosition().toPoint();
                dragStartGeometry_ = geometry();
            }
            return true;
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint delta = mouse->globalPosition().toPoint() - dragStartGlobal_;
        if (drag_ == Drag::Move) {
            move(dragStartGeometry_.topLeft() + delta);
            return true;
        }
        if (drag_ == Drag::Resize) {
            QRect next = dragStartGeometry_;
            const QSize least = minimumSize();
            if (dragEdges_ & Qt::LeftEdge)
                next.setLeft(std::min(next.left() + delta.x(), next.right() + 1 - least.width()));
            if (dragEdges_ & Qt::RightEdge)
                next.setRight(std::max(next.right() + delta.x(), next.left() + least.width() - 1));
            if (dragEdges_ & Qt::TopEdge)
                next.setTop(std::min(next.top() + delta.y(), next.bottom() + 1 - least.height()));
            if (dragEdges_ & Qt::BottomEdge)
                next.setBottom(std::max(next.bottom() + delta.y(), next.top() + least.height() - 1));
            setGeometry(next);
            return true;
        }
        if (mouse->buttons() == Qt::NoButton)
            UpdateBorderCursor(EdgesAt(mouse->position().toPoint()));
        return false;
    }
    case QEvent::MouseButtonRelease:
        if (drag_ != Drag::None) {
            drag_ = Drag::None;
            return true;
        }
        return false;
    case QEvent::Leave:
        UpdateBorderCursor(Qt::Edges());
        return false;
    default:
        return false;
    }
}

void WindowWidget::UpdateBorderCursor(Qt::Edges edges)
{
    Qt::CursorShape shape = Qt::ArrowCursor;
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling = ((edges & Qt::LeftEdge) && (edges & Qt::TopEdge)) ||
                             ((edges & Qt::RightEdge) && (edges & Qt::BottomEdge));
        shape = falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    } else if (horizontal) {
        shape = Qt::SizeHorCursor;
    } else if (vertical) {
        shape = Qt::SizeVerCursor;
    }
    const bool wanted = edges != Qt::Edges();
    if (wanted && cursorOverridden_) {
        QGuiApplication::changeOverrideCursor(QCursor(shape));
    } else if (wanted) {
        QGuiApplication::setOverrideCursor(QCursor(shape));
        cursorOverridden_ = true;
    } else if (cursorOverridden_) {
        QGuiApplication::restoreOverrideCursor();
        cursorOverridden_ = false;
    }
}

void WindowWidget::UpdateMask()
{
    if (cornerWidth_ <= 0 || isMaximized() || isFullScreen()) {
        clearMask();
        return;
    }
    // The whole rectangle less what lies outside each corner's quarter ellipse. Only the corners
    // go through a polygon: Qt turns a polygon taller than about 100000 pixels into an empty
    // region (and leaks a block doing so), which would hide a window of any such height.
    const QRect whole = rect();
    const int rx = std::min(cornerWidth_, whole.width() / 2);
    const int ry = std::min(cornerHeight_ > 0 ? cornerHeight_ : cornerWidth_, whole.height() / 2);
    QRegion shape(whole);
    if (rx > 0 && ry > 0) {
        const QPoint corners[] = {whole.topLeft(), QPoint(whole.right() + 1 - 2 * rx, whole.top()),
                                  QPoint(whole.left(), whole.bottom() + 1 - 2 * ry),
                                  QPoint(whole.right() + 1 - 2 * rx, whole.bottom() + 1 - 2 * ry)};
        for (const QPoint& corner : corners) {
            const QRect box(corner, QSize(2 * rx, 2 * ry));
            QPainterPath ellipse;
            ellipse.addEllipse(QRectF(box));
            // The quarter of the box that touches the window's corner.
            const QRect quarter(QPoint(corner.x() == whole.left() ? box.left() : box.left() + rx,
                                       corner.y() == whole.top() ? box.top() : box.top() + ry),
                                QSize(rx, ry));
            shape -= QRegion(quarter) - QRegion(ellipse.toFillPolygon().toPolygon());
        }
    }
    setMask(shape);
}

void WindowWidget::closeEvent(QCloseEvent* event)
{
    if (closing_ || owner_ == nullptr) {
        event->accept();
        return;
    }
    // The window goes (or stays) as its owner decides; the widget is deleted later either way.
    event->ignore();
    owner_->OnDesktopClose();
}

void WindowWidget::keyPressEvent(QKeyEvent* event)
{
    if (closing_ || owner_ == nullptr || !owner_->OnKeyPress(*event))
        QWidget::keyPressEvent(event);
}

void WindowWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (root_ != nullptr && root_->GetWidget() != nullptr)
        root_->GetWidget()->setGeometry(rect());
    UpdateMask();
}

void WindowWidget::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        UpdateMask();
}
