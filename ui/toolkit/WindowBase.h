#pragma once

#include "ui/toolkit/UiTypes.h"

#include <QFont>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class Control;
class WindowWidget;
class QIcon;
class QKeyEvent;
class QWidget;

// The base of every skinned window. The object and its window have separate lives: the object
// is created first, Create builds the window from the layout file, and the window can be closed
// and created again while the object lives on. All operations run on the UI thread.
//
// Life of a window: Create → layout built (CreateControl asked for each element class) →
// InitWindow → "windowinit" notification → shown when the style has WS_VISIBLE → notifications
// and keys → Close(result), CloseNow(result) or the desktop's close (OnDesktopClose) → window
// destroyed → OnFinalMessage (the object may delete itself there).
class WindowBase {
public:
    WindowBase();
    // Destroys a window that still exists, without calling OnFinalMessage.
    virtual ~WindowBase();
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    // ---- What a window class states ----
    virtual std::wstring GetWindowClassName() const = 0;
    // The layout file, by its name in the skin archive.
    virtual std::wstring GetSkinFile() const = 0;
    // True to map the window, centred at the size given to Create, before its layout is built:
    // the window is on screen sooner and its first paint, which comes from the message loop,
    // still shows the whole layout. Only for windows whose layout keeps that size.
    virtual bool ShowsBeforeLayout() const { return false; }

    // ---- Hooks ----
    // Once per window, after the layout is built and before it is shown.
    virtual void InitWindow();
    // Every notification of the window's controls. The base delivers "click" to OnClick.
    virtual void Notify(Notification& message);
    virtual void OnClick(Notification& message);
    // A control for an element class of the layout, or null to let the toolkit build its own.
    // Asked for every element class; returns a new control the layout then owns.
    virtual Control* CreateControl(const std::wstring& className);
    // A key the focused control left alone (or any key when nothing has the focus); true when the
    // window took it, which ends its way up.
    virtual bool OnKeyPress(const QKeyEvent& event);
    // The desktop asks the window to close (its frame's close button, Alt+F4). The base closes it
    // at once with result 0; a window that may want to ask first closes itself later, or not.
    virtual void OnDesktopClose();
    // After the window is destroyed (also when Create fails); the object may delete itself here.
    virtual void OnFinalMessage();

    // ---- The window ----
    // Builds the window from the layout file. `parent` (may be null) owns it: the window stays
    // above it and goes when it goes. The layout's size, when it gives one, wins over cx, cy.
    // False (after a diagnostic) when the layout cannot be loaded or the window exists already;
    // OnFinalMessage then follows from the message loop.
    bool Create(WindowBase* parent, const std::wstring& title, uint32_t style, uint32_t exStyle, int x, int y,
                int cx, int cy);
    bool IsWindow() const;
    void ShowWindow(bool show = true, bool takeFocus = true);
    // Centres the window on its owner, or on the work area of the nearest monitor when it has
    // none (or the owner is minimised), and moves it inside that work area.
    void CenterWindow();
    // Raises the window above the others and activates it, without making it stay on top.
    void BringToTop();
    // Closes the window once the events queued before are handled; false when there is no window.
    // Notifications stop at once.
    bool Close(int result = 1);
    // Closes the window now: it is hidden at once and deleted from the event loop.
    void CloseNow(int result = 0);
    // The result the last window was closed with (0 for the desktop's close).
    int GetCloseResult() const { return closeResult_; }
    bool IsVisible() const;
    bool IsMinimized() const;
    bool IsMaximized() const;
    void Minimize();
    void Maximize();
    // Back from minimised or maximised.
    void Restore();
    // The window's rectangle on the screen.
    UiRect GetWindowRect() const;
    void SetWindowPos(int x, int y);
    void ResizeClient(int cx, int cy);
    void SetIcon(const QIcon& icon);
    // The work area of the monitor nearest to a rectangle on the screen.
    static UiRect GetWorkArea(const UiRect& near);
    // Hands a call to the UI thread from any thread, to run after the events queued before it,
    // and drops it when the window object is gone by then. Made on the UI thread; copies of it
    // may go to other threads.
    using LaterCall = std::function<void(std::function<void()>)>;
    LaterCall MakeLaterCall() const;

    // The window's top-level widget (for dialogs that need a parent), or null.
    QWidget* GetWidget() const;

    // ---- Controls ----
    Control* GetRoot() const;
    // The first control with that name, or null.
    Control* FindControl(const std::wstring& name) const;
    // The same, only when the control is a T (null for a control of another type).
    template <class T>
    T* FindControl(const std::wstring& name) const
    {
        return dynamic_cast<T*>(FindControl(name));
    }
    // The innermost visible control under a point in client coordinates (a list's row element
    // over a row), or null.
    Control* FindControlAt(int x, int y) const;
    // A font of the layout by its id (-1: the default font).
    QFont GetFont(int index) const;

private:
    friend class WindowWidget;

    void OnWidgetDestroyed();
    void ScheduleFinalMessage();

    WindowWidget* widget_ = nullptr;
    int closeResult_ = 0;
    bool closeRequested_ = false;
    std::shared_ptr<bool> alive_;
};
