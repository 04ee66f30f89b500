#pragma once

#include "base/platform/WindowHandle.h"
#include "ui/toolkit/UiTypes.h"

#include <QFont>

#include <cstdint>
#include <memory>
#include <string>

class CControlUI;
class CWindowHandleUI;
class CWindowWidget;
class QIcon;
class QWidget;

// The base of every skinned window. The object and its window have separate lives: the object
// is created first, Create builds the window from the layout file, and the window can be closed
// and created again while the object lives on. All operations run on the UI thread, except
// posting through the handle from GetHandle().
//
// Life of a window: Create → layout built (CreateControl asked for each element class) →
// InitWindow → "windowinit" notification → shown when the style has WS_VISIBLE → notifications,
// posted and input messages → Close(result) or the system close command → window destroyed →
// OnUndeliveredMessage for posted messages still queued (owned payloads still queued are
// destroyed) → OnFinalMessage (the object may delete itself there).
class CWindowBase {
public:
    CWindowBase();
    // Destroys a window that still exists, without calling OnFinalMessage.
    virtual ~CWindowBase();
    CWindowBase(const CWindowBase&) = delete;
    CWindowBase& operator=(const CWindowBase&) = delete;

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
    virtual void Notify(TNotifyUI& message);
    virtual void OnClick(TNotifyUI& message);
    // A control for an element class of the layout, or null to let the toolkit build its own.
    // Asked for every element class; returns a new control the layout then owns.
    virtual CControlUI* CreateControl(const std::wstring& className);
    // The pre-dispatch filter: every message posted with PostMessage and every input message of
    // the window (WM_KEYDOWN with the virtual key, WM_LBUTTONDOWN / WM_LBUTTONUP /
    // WM_LBUTTONDBLCLK / WM_MOUSEMOVE with MK_ flags and the client point, WM_SYSCOMMAND,
    // WM_CLOSE and the program's own messages) comes here before it is processed. Setting
    // `handled` consumes it.
    virtual intptr_t MessageHandler(uint32_t message, uintptr_t wParam, intptr_t lParam, bool& handled);
    // After the window is destroyed (also when Create fails); the object may delete itself here.
    virtual void OnFinalMessage();
    // A posted message that was still queued when the window was destroyed: whatever lParam
    // owns is the receiver's to free.
    virtual void OnUndeliveredMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // A message posted with PostOwned, in its place among the posted messages; the window takes
    // over the payload (may be null). The base drops it.
    virtual void OnOwnedMessage(uint32_t message, uintptr_t wParam, std::unique_ptr<WindowPayload> payload);

    // ---- The window ----
    // Builds the window from the layout file. `parent` (may be null) owns it: the window stays
    // above it and goes when it goes. The layout's size, when it gives one, wins over cx, cy.
    // False (after a diagnostic) when the layout cannot be loaded or the window exists already;
    // OnFinalMessage then follows from the message loop.
    bool Create(CWindowBase* parent, const std::wstring& title, uint32_t style, uint32_t exStyle, int x, int y,
                int cx, int cy);
    bool IsWindow() const;
    void ShowWindow(bool show = true, bool takeFocus = true);
    // Centres the window on its owner, or on the work area of the nearest monitor when it has
    // none (or the owner is minimised), and moves it inside that work area.
    void CenterWindow();
    // Raises the window above the others and activates it, without making it stay on top.
    void BringToTop();
    // Closes the window once the messages queued before are handled (posts WM_CLOSE with the
    // result). Notifications stop at once.
    void Close(int result = 1);
    // The result the last window was closed with (0 for the system close command).
    int GetCloseResult() const { return closeResult_; }
    bool IsVisible() const;
    bool IsMinimized() const;
    bool IsMaximized() const;
    // The window's rectangle on the screen.
    UiRect GetWindowRect() const;
    void SetWindowPos(int x, int y);
    void ResizeClient(int cx, int cy);
    void SetIcon(const QIcon& icon);
    // The work area of the monitor nearest to a rectangle on the screen.
    static UiRect GetWorkArea(const UiRect& near);
    // The window's top-level widget (for dialogs that need a parent), or null.
    QWidget* GetWidget() const;

    // ---- Messages ----
    // The window as engine code sees it: a thread-safe post into the UI event loop that refuses
    // messages (false) once the window is destroyed. Null when there is no window.
    std::shared_ptr<WindowHandle> GetHandle() const;
    bool PostMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
    bool PostOwned(uint32_t message, uintptr_t wParam, std::unique_ptr<WindowPayload> payload);
    // The window behind a handle from GetHandle, or null when it is gone. UI thread.
    static CWindowBase* FromHandle(const WindowHandle* handle);

    // ---- Controls ----
    CControlUI* GetRoot() const;
    // The first control with that name, or null.
    CControlUI* FindControl(const std::wstring& name) const;
    // The same, only when the control is a T (null for a control of another type).
    template <class T>
    T* FindControl(const std::wstring& name) const
    {
        return dynamic_cast<T*>(FindControl(name));
    }
    // The innermost visible control under a point in client coordinates (a list's row element
    // over a row), or null.
    CControlUI* FindControlAt(int x, int y) const;
    // A font of the layout by its id (-1: the default font).
    QFont GetFont(int index) const;

    // ---- Timers (the same as the control's own) ----
    bool SetTimer(CControlUI* control, uint32_t id, uint32_t elapseMs);
    void KillTimer(CControlUI* control, uint32_t id);
    void KillTimer(CControlUI* control);

private:
    friend class CWindowWidget;

    // Runs the filter, then the normal processing unless the filter consumed the message.
    // Returns whether the filter consumed it.
    bool FilterMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void ProcessMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void DefaultProcessing(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void DispatchNextPosted();
    void DestroyWindowNow(int result);
    void OnWidgetDestroyed();
    void HandOverUndelivered();
    void ScheduleFinalMessage();

    CWindowWidget* widget_ = nullptr;
    std::shared_ptr<CWindowHandleUI> handle_;
    int closeResult_ = 0;
    bool closeRequested_ = false;
    std::shared_ptr<bool> alive_;
};
