#include "ui/toolkit/CWindowBase.h"

#include "base/LogFile.h"
#include "ui/toolkit/CContainerUI.h"
#include "ui/toolkit/CControlUI.h"
#include "ui/toolkit/CLayoutBuilder.h"
#include "ui/toolkit/CListUI.h"
#include "ui/toolkit/CModalLoopUI.h"
#include "ui/toolkit/CWindowWidget.h"
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

CControlUI* FindByName(CControlUI* control, const std::wstring& name)
{
    if (control == nullptr)
        return nullptr;
    if (control->GetName() == name)
        return control;
    if (auto* container = dynamic_cast<CContainerUI*>(control)) {
        for (int i = 0; i < container->GetCount(); ++i) {
            if (CControlUI* found = FindByName(container->GetItemAt(i), name))
                return found;
        }
    }
    return nullptr;
}

CControlUI* FindAt(CControlUI* control, int x, int y)
{
    if (control == nullptr || !control->IsVisible() || !control->GetPos().Contains(x, y))
        return nullptr;
    if (auto* container = dynamic_cast<CContainerUI*>(control)) {
        for (int i = container->GetCount() - 1; i >= 0; --i) {
            if (CControlUI* found = FindAt(container->GetItemAt(i), x, y))
                return found;
        }
    } else if (auto* list = dynamic_cast<CListUI*>(control)) {
        if (CControlUI* row = list->GetItemAtPoint(x, y))
            return row;
    }
    return control;
}

}  // namespace

CWindowBase::CWindowBase()
    : alive_(std::make_shared<bool>(true))
{
}

CWindowBase::~CWindowBase()
{
    *alive_ = false;
    if (widget_ != nullptr) {
        CWindowWidget* widget = widget_;
        widget_ = nullptr;
        widget->DetachOwner();
        widget->SetClosing();
        widget->hide();
        CModalLoopUI::DeleteWindowLater(widget);
    }
}

void CWindowBase::InitWindow()
{
}

void CWindowBase::Notify(TNotifyUI& message)
{
    if (message.type == kNotifyClick)
        OnClick(message);
}

void CWindowBase::OnClick(TNotifyUI&)
{
}

CControlUI* CWindowBase::CreateControl(const std::wstring&)
{
    return nullptr;
}

bool CWindowBase::OnKeyPress(const QKeyEvent&)
{
    return false;
}

void CWindowBase::OnDesktopClose()
{
    CloseNow(0);
}

void CWindowBase::OnFinalMessage()
{
}

bool CWindowBase::Create(CWindowBase* parent, const std::wstring& title, uint32_t style, uint32_t, int x, int y, int cx,
                         int cy)
{
    if (QCoreApplication::instance() == nullptr) {
        WriteLog(Error, "CWindowBase::Create", "%s", "no application object; the window cannot be created");
        return false;
    }
    if (widget_ != nullptr) {
        WriteLog(Warning, "CWindowBase::Create", "%s",
                 (QString::fromStdWString(GetWindowClassName()).toStdString() + ": the window exists already").c_str());
        return false;
    }
    UiToolkit::EnsureInitialized();
    closeRequested_ = false;
    closeResult_ = 0;

    QWidget* parentWidget = parent != nullptr && parent->IsWindow() ? parent->GetWidget() : nullptr;
    auto* widget = new CWindowWidget(this, parentWidget);
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
    CControlUI* root = CLayoutBuilder::Build(
        GetSkinFile(), widget, [this, alive](const std::wstring& className) -> CControlUI* {
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
    if (CControlUI* first = GetRoot()) {
        TNotifyUI message;
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

void CWindowBase::ScheduleFinalMessage()
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

bool CWindowBase::IsWindow() const
{
    return widget_ != nullptr && !widget_->IsClosing();
}

void CWindowBase::ShowWindow(bool show, bool takeFocus)
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

void CWindowBase::CenterWindow()
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

void CWindowBase::BringToTop()
{
    if (!IsWindow())
        return;
    if (widget_->isMinimized())
        widget_->setWindowState(widget_->windowState() & ~Qt::WindowMinimized);
    widget_->show();
    widget_->raise();
    widget_->activateWindow();
}

bool CWindowBase::Close(int result)
{
    if (!IsWindow())
        return false;
    closeRequested_ = true;
    // Behind the events queued so far; dropped with the widget when the window went meanwhile.
    // Only this window: a later one of the same object is not the one asked to close.
    std::weak_ptr<bool> alive = alive_;
    CWindowWidget* widget = widget_;
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

void CWindowBase::CloseNow(int result)
{
    if (!IsWindow())
        return;
    closeResult_ = result;
    CWindowWidget* widget = widget_;
    widget->SetClosing();
    widget->hide();
    // Deleted from the event loop, never from inside one of its own controls' handlers, nor
    // under a modal dialog's loop whose caller still uses the window.
    CModalLoopUI::DeleteWindowLater(widget);
}

bool CWindowBase::IsVisible() const
{
    return IsWindow() && widget_->isVisible();
}

bool CWindowBase::IsMinimized() const
{
    return IsWindow() && widget_->isMinimized();
}

bool CWindowBase::IsMaximized() const
{
    return IsWindow() && widget_->isMaximized();
}

void CWindowBase::Minimize()
{
    if (IsWindow())
        widget_->showMinimized();
}

void CWindowBase::Maximize()
{
    if (IsWindow())
        widget_->showMaximized();
}

void CWindowBase::Restore()
{
    if (!IsWindow())
        return;
    if (widget_->isMinimized())
        widget_->setWindowState(widget_->windowState() & ~Qt::WindowMinimized);
    else
        widget_->showNormal();
}

UiRect CWindowBase::GetWindowRect() const
{
    return IsWindow() ? ToUiRect(widget_->frameGeometry()) : UiRect{};
}

void CWindowBase::SetWindowPos(int x, int y)
{
    if (IsWindow())
        widget_->move(x, y);
}

void CWindowBase::ResizeClient(int cx, int cy)
{
    if (IsWindow())
        widget_->resize(cx, cy);
}

void CWindowBase::SetIcon(const QIcon& icon)
{
    if (IsWindow())
        widget_->setWindowIcon(icon);
}

UiRect CWindowBase::GetWorkArea(const UiRect& near)
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

QWidget* CWindowBase::GetWidget() const
{
    return IsWindow() ? widget_ : nullptr;
}

CControlUI* CWindowBase::GetRoot() const
{
    return IsWindow() ? widget_->Root() : nullptr;
}

CControlUI* CWindowBase::FindControl(const std::wstring& name) const
{
    return FindByName(GetRoot(), name);
}

CControlUI* CWindowBase::FindControlAt(int x, int y) const
{
    return FindAt(GetRoot(), x, y);
}

QFont CWindowBase::GetFont(int index) const
{
    return widget_ != nullptr ? widget_->GetLayoutFont(index) : QFont();
}

void CWindowBase::OnWidgetDestroyed()
{
    widget_ = nullptr;
    closeRequested_ = false;
    OnFinalMessage();
}
