#pragma once

#include "base/platform/WindowHandle.h"

#include <QObject>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class CWindowBase;

struct UiMessage {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    bool owned = false;  // posted with PostOwned: `payload` instead of lParam
    std::unique_ptr<WindowPayload> payload;
};

// The WindowHandle a toolkit window hands out (toolkit internal). PostMessage, from any thread,
// queues the message and wakes the window's message pump in the UI event loop; the pump takes
// one message per wake-up, so posted messages keep their order among themselves and with the
// window's other events. Once the window is destroyed the handle is closed: posts are refused
// (false) and nothing touches the window any more.
class CWindowHandleUI final : public WindowHandle {
public:
    CWindowHandleUI(QObject* pump, CWindowBase* window);

    bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    bool PostOwned(uint32_t message, uintptr_t wParam, std::unique_ptr<WindowPayload> payload) override;

    // UI thread only from here on.
    bool TakeNext(UiMessage& message);
    // Refuses further posts; returns the messages still queued (their payloads go with them).
    std::vector<UiMessage> Close();
    CWindowBase* Window() const { return window_; }

    // The event type that wakes a pump.
    static int WakeEventType();

private:
    bool Queue(UiMessage message);

    std::mutex lock_;
    QObject* pump_;
    std::deque<UiMessage> queue_;
    CWindowBase* window_;
};
