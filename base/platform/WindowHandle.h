#pragma once

#include <cstdint>
#include <memory>

// What a message posted with WindowHandle::PostOwned carries. The message owns it: the window's
// handler receives it, and a message that is refused or never delivered destroys it, so nobody
// frees a payload by hand.
class WindowPayload {
public:
    virtual ~WindowPayload() = default;
};

// A window as seen from outside the UI thread: something that messages can be posted to. Code
// below the user interface (the engine, the update check, the application context) only holds
// this interface, so it builds and is tested without any UI toolkit.
//
// PostMessage and PostOwned are callable from any thread and never block on the UI; the message
// is handled later on the window's own thread. They return false when the window is gone or no
// longer takes messages. PostMessage carries plain values; PostOwned carries a payload (may be
// null) whose life the message decides.
//
// Holders keep it as std::shared_ptr<WindowHandle>: the window that hands one out keeps it alive
// past its own destruction and makes it refuse posts from then on, so a late post from a worker
// thread is dropped instead of reaching a destroyed window.
class WindowHandle {
public:
    virtual ~WindowHandle() = default;
    virtual bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual bool PostOwned(uint32_t message, uintptr_t wParam, std::unique_ptr<WindowPayload> payload) = 0;
};
