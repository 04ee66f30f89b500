#include "ui/toolkit/CWindowHandleUI.h"

#include <QCoreApplication>
#include <QEvent>

#include <iterator>
#include <utility>

CWindowHandleUI::CWindowHandleUI(QObject* pump, CWindowBase* window)
    : pump_(pump), window_(window)
{
}

int CWindowHandleUI::WakeEventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

bool CWindowHandleUI::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    return Queue(UiMessage{message, wParam, lParam, false, nullptr});
}

bool CWindowHandleUI::PostOwned(uint32_t message, uintptr_t wParam, std::unique_ptr<WindowPayload> payload)
{
    // A refused message's payload goes when `payload` does, on the poster's thread.
    return Queue(UiMessage{message, wParam, 0, true, std::move(payload)});
}

bool CWindowHandleUI::Queue(UiMessage message)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (pump_ == nullptr)
        return false;
    queue_.push_back(std::move(message));
    // Posted under the lock: Close (which comes before the pump is deleted) waits for it.
    QCoreApplication::postEvent(pump_, new QEvent(static_cast<QEvent::Type>(WakeEventType())));
    return true;
}

bool CWindowHandleUI::TakeNext(UiMessage& message)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (pump_ == nullptr || queue_.empty())
        return false;
    message = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

std::vector<UiMessage> CWindowHandleUI::Close()
{
    std::lock_guard<std::mutex> guard(lock_);
    pump_ = nullptr;
    window_ = nullptr;
    std::vector<UiMessage> left(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
    queue_.clear();
    return left;
}
