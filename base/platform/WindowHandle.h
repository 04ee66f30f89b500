#pragma once

#include <cstdint>
#include <memory>

// A window as seen from outside the UI thread: something that messages can be posted to. Code
// below the user interface (the engine, the update check, the application context) only holds
// this interface, so it builds and is tested without any UI toolkit.
//
// PostMessage is callable from any thread and never blocks on the UI; the message is handled
// later on the window's own thread. It returns false when the window is gone or no longer takes
// messages; the poster then still owns anything that lParam points to.
//
// Holders keep it as std::shared_ptr<WindowHandle>: the window that hands one out keeps it alive
// past its own destruction and makes it refuse posts from then on, so a late post from a worker
// thread is dropped instead of reaching a destroyed window.
class WindowHandle {
public:
    virtual ~WindowHandle() = default;
    virtual bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};
