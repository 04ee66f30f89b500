#include "ui/toolkit/WindowBase.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "ui/toolkit/Container.h"
#include "ui/toolkit/Control.h"
#include "ui/toolkit/LayoutBuilder.h"
#include "ui/toolkit/ListControl.h"
#include "ui/toolkit/ModalLoop.h"
#include "ui/toolkit/WindowWidget.h"
#include "ui/toolkit/UiToolkit.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include <algorithm>
#include <climits>

namespace {

UiRect ToUiRect(const QRect& rect)
{
    return UiRect{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

Control* FindByName(Control* control, const std::wstring& name)
{
    if (control == nullptr)
        return nullptr;
    if (control->GetName() == name)
        return control;
    if (auto* container = dynamic_cast<Container*>(control)) {
        for (int i = 0; i < container->GetCount(); ++i) {
            if (Control* found = FindByName(container->GetItemAt(i), name))
                return found;
        }
    }
    return nullptr;
}

Control* FindAt(Control* control, int x, int y)
{
    if (control == nullptr || !control->IsVisible() || !control->GetPos().Contains(x, y))
        return nullptr;
    if (auto* container = dynamic_cast<Container*>(control)) {
        for (int i = container->GetCount() - 1; i >= 0; --i) {
            if (Control* found = FindAt(container->GetItemAt(i), x, y))
                return found;
        }
    } else if (auto* list = dynamic_cast<ListControl*>(control)) {
        if (Control* row = list->GetItemAtPoint(x, y))
            return row;
    }
    return control;
}

}  // namespace

WindowBase::WindowBase()
    : alive_(std::make_shared<bool>(true))
{
}

WindowBase::~WindowBase()
{
    *alive_ = false;
    if (widget_ != nullptr) {
        WindowWidget* widget = widget_;
        widget_ = nullptr;
        widget->DetachOwner();
        widget->SetClosing();
        widget->hide();
        ModalLoop::DeleteWindowLater(widget);
    }
}

void WindowBase::InitWindow()
{
}

void WindowBase::Notify(Notification& message)
{
    if (message.type == kNotifyClick)
        OnClick(message);
}

void WindowBase::OnClick(Notification&)
{
}

Control* WindowBase::CreateControl(const std::wstring&)
{
    return nullptr;
}

bool WindowBase::OnKeyPress(const QKeyEvent&)
{
    return false;
}

void WindowBase::OnDesktopClose()
{
    CloseNow(0);
}

void WindowBase::OnFinalMessage()
{
}

bool WindowBase::Create(WindowBase* parent, const std::wstring& title, uint32_t style, uint32_t, int x, int y, int cx,
                         int cy)
{
    if (QCoreApplication::instance() == nullptr) {
        WriteLog(Error, LogTag::kWindowBaseCreate, "%s", "no application object; the window cannot be created");
        return false;
    }
    if (widget_ != nullptr) {
        WriteLog(Warning, LogTag::kWindowBaseCreate, "%s",
                 (QString::fromStdWString(GetWindowClassName()).toStdString() + ": the window exists already").c_str());
        return false;
    }
    UiToolkit::EnsureInitialized();
    closeRequested_ = false;
    closeResult_ = 0;

    QWidget* parentWidget = parent != nullptr && parent->IsWindow() ? parent->GetWidget() : nullptr;
    auto* widget = new WindowWidget(this, parentWidget);
    widget->setObjectName(QString::fromStdWString(GetWindowClassName()));
    widget->setWindowTitle(QString::fromStdWString(title));
    widget->move(x, y);
    widget->resize(std::max(cx, 1), std::max(cy, 1));
    widget_ = widget;
    const bool shownEarly = ShowsBeforeLayout();
    if (shownEarly) {
        widget->CreateNativeWindow();
        CenterWindow();
        ShowWindow(true, true);
    }

    std::shared_ptr<bool> alive = alive_;
    Control* root = LayoutBuilder::Build(
        GetSkinFile(), widget, [this, alive](const std::wstring& className) -> Control* {
            return *alive ? CreateControl(className) : nullptr;
        });
    if (!*alive)
        return false;
    if (root == nullptr) {
        // Like a window whose creation failed: nothing is shown and the final message follows.
        widget_ = nullptr;
        widget->DetachOwner();
        delete widget;
        ScheduleFinalMessage();
        return false;
    }
    if (shownEarly) {
        // Controls added to a visible window stay hidden until shown; showing the root again
        // shows every one the layout did not hide itself.
        if (QWidget* rootWidget = root->GetWidget()) {
            rootWidget->hide();
            rootWidget->show();
        }
    } else {
        widget->CreateNativeWindow();
    }
    widget->WatchInput();
    widget->ArrangeNow();

    InitWindow();
    if (!*alive || widget_ == nullptr)
        return false;
    widget->ArrangeNow();
    if (Control* first = GetRoot()) {
        Notification message;
        message.type = kNotifyWindowInit;
        message.sender = first;
        widget->SendNotify(message);
        if (!*alive || widget_ == nullptr)
            return false;
    }
    if ((style & WS_VISIBLE) != 0 && !widget->isVisible())
        ShowWindow(true, true);
    return true;
}

WindowBase::LaterCall WindowBase::MakeLaterCall() const
{
    return [alive = std::weak_ptr<bool>(alive_)](std::function<void()> call) {
        QCoreApplication* application = QCoreApplication::instance();
        if (application == nullptr)
            return;
        QMetaObject::invokeMethod(
            application,
            [alive, call = std::move(call)] {
                const std::shared_ptr<bool> token = alive.lock();
                if (token != nullptr && *token)
                    call();
            },
            Qt::QueuedConnection);
    };
}

void WindowBase::ScheduleFinalMessage()
{
    std::weak_ptr<bool> alive = alive_;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, alive] {
            std::shared_ptr<bool> token = alive.lock();
            if (token != nullptr && *token && widget_ == nullptr)
                OnFinalMessage();
        },
        Qt::QueuedConnection);
}

bool WindowBase::IsWindow() const
{
    return widget_ != nullptr && !widget_->IsClosing();
}

void WindowBase::ShowWindow(bool show, bool takeFocus)
{
    if (!IsWindow())
        return;
    if (!show) {
        widget_->hide();
        return;
    }
    widget_->ArrangeNow();
    widget_->setAttribute(Qt::WA_ShowWithoutActivating, !takeFocus);
    widget_->show();
    widget_->WatchInput();
    if (takeFocus) {
        widget_->raise();
        widget_->activateWindow();
    }
}

void WindowBase::CenterWindow()
{
    if (!IsWindow())
        return;
    const UiRect self = GetWindowRect();
    QWidget* owner = widget_->parentWidget();
    UiRect around;
    UiRect work;
    if (owner != nullptr && owner->isVisible() && !owner->isMinimized()) {
        around = ToUiRect(owner->frameGeometry());
        work = GetWorkArea(around);
    } else {
        work = GetWorkArea(self);
        around = work;
    }
    int x = (around.left + around.right) / 2 - self.Width() / 2;
    int y = (around.top + around.bottom) / 2 - self.Height() / 2;
    if (x < work.left)
        x = work.left;
    else if (x + self.Width() > work.right)
        x = work.right - self.Width();
    if (y < work.top)
        y = work.top;
    else if (y + self.Height() > work.bottom)
        y = work.bottom - self.Height();
    SetWindowPos(x, y);
}

void WindowBase::BringToTop()
{
    if (!IsWindow())
        return;
    if (widget_->isMinimized())
        widget_->setWindowState(widget_->windowState() & ~Qt::WindowMinimized);
    widget_->show();
    widget_->raise();
    widget_->activateWindow();
}

bool WindowBase::Close(int result)
{
    if (!IsWindow())
        return false;
    closeRequested_ = true;
    // Behind the events queued so far; dropped with the widget when the window went meanwhile.
    // Only this window: a later one of the same object is not the one asked to close.
    std::weak_ptr<bool> alive = alive_;
    WindowWidget* widget = widget_;
    QMetaObject::invokeMethod(
        widget,
        [this, alive, widget, result] {
            const std::shared_ptr<bool> token = alive.lock();
            if (token != nullptr && *token && widget_ == widget)
                CloseNow(result);
        },
        Qt::QueuedConnection);
    return true;
}

void WindowBase::CloseNow(int result)
{
    if (!IsWindow())
        return;
    closeResult_ = result;
    WindowWidget* widget = widget_;
    widget->SetClosing();
    widget->hide();
    // Deleted from the event loop, never from inside one of its own controls' handlers, nor
    // under a modal dialog's loop whose caller still uses the window.
    ModalLoop::DeleteWindowLater(widget);
}

bool WindowBase::IsVisible() const
{
    return IsWindow() && widget_->isVisible();
}

bool WindowBase::IsMinimized() const
{
    return IsWindow() && widget_->isMinimized();
}

bool WindowBase::IsMaximized() const
{
    return IsWindow() && widget_->isMaximized();
}

void WindowBase::Minimize()
{
    if (IsWindow())
        widget_->showMinimized();
}

void WindowBase::Maximize()
{
    if (IsWindow())
        widget_->showMaximized();
}

void WindowBase::Restore()
{
    if (!IsWindow())
        return;
    if (widget_->isMinimized())
        widget_->setWindowState(widget_->windowState() & ~Qt::WindowMinimized);
    else
        widget_->showNormal();
}

UiRect WindowBase::GetWindowRect() const
{
    return IsWindow() ? ToUiRect(widget_->frameGeometry()) : UiRect{};
}

void WindowBase::SetWindowPos(int x, int y)
{
    if (IsWindow())
        widget_->move(x, y);
}

void WindowBase::ResizeClient(int cx, int cy)
{
    if (IsWindow())
        widget_->resize(cx, cy);
}

void WindowBase::SetIcon(const QIcon& icon)
{
    if (IsWindow())
        widget_->setWindowIcon(icon);
}

UiRect WindowBase::GetWorkArea(const UiRect& near)
{
    const QRect area(near.left, near.top, std::max(near.Width(), 1), std::max(near.Height(), 1));
    const QPoint centre = area.center();
    QScreen* best = QGuiApplication::screenAt(centre);
    if (best == nullptr) {
        long long bestDistance = LLONG_MAX;
        for (QScreen* screen : QGuiApplication::screens()) {
            const QRect g = screen->geometry();
            const long long dx = centre.x() < g.left() ? g.left() - centre.x()
                                                       : (centre.x() > g.right() ? centre.x() - g.right() : 0);
            const long long dy = centre.y() < g.top() ? g.top() - centre.y()
                                                      : (centre.y() > g.bottom() ? centre.y() - g.bottom() : 0);
            const long long distance = dx * dx + dy * dy;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = screen;
            }
        }
    }
    if (best == nullptr)
        best = QGuiApplication::primaryScreen();
    return best != nullptr ? ToUiRect(best->availableGeometry()) : UiRect{0, 0, 800, 600};
}

QWidget* WindowBase::GetWidget() const
{
    return IsWindow() ? widget_ : nullptr;
}

Control* WindowBase::GetRoot() const
{
    return IsWindow() ? widget_->Root() : nullptr;
}

Control* WindowBase::FindControl(const std::wstring& name) const
{
    return FindByName(GetRoot(), name);
}

Control* WindowBase::FindControlAt(int x, int y) const
{
    return FindAt(GetRoot(), x, y);
}

QFont WindowBase::GetFont(int index) const
{
    return widget_ != nullptr ? widget_->GetLayoutFont(index) : QFont();
}

void WindowBase::OnWidgetDestroyed()
{
    widget_ = nullptr;
    closeRequested_ = false;
    OnFinalMessage();
}
