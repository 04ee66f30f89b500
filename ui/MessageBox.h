#pragma once

#include "ui/toolkit/WindowBase.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <string>

class Button;
class Control;
class Label;
class TextLabel;

// Result callback of a message box: 1 for OK, 2 for Cancel or the close button.
using MessageBoxCallback = std::function<void(int result, uint32_t userData)>;

// The program's own message box: a small borderless window with a title, an icon, one text and
// up to two buttons, built from "MessageWnd.xml". It is not modal: the caller fills in the texts,
// shows it over a parent and goes on. A button reports through the callback and closes the box;
// a countdown can close it without a callback. With autoDelete the object deletes itself once
// its window is gone, and the caller keeps no pointer to it.
//
// Order of calls: constructor, SetButtons, SetMessage, ShowBox (the texts are applied
// when the window is built). A box is shown once. UI thread only; always allocate it on the heap.
class MessageBox : public WindowBase {
    Q_DECLARE_TR_FUNCTIONS(MessageBox)

public:
    MessageBox(int autoDelete, int countdownSeconds);

    std::wstring GetWindowClassName() const override;
    void OnFinalMessage() override;
    ~MessageBox() override;
    void InitWindow() override;
    void OnClick(Notification& message) override;
    std::wstring GetSkinFile() const override;

    void SetButtons(const std::wstring& okText, const std::wstring& cancelText, bool showCancel);
    void SetMessage(const std::wstring& text);
    // Creates the window, centres it over `parent` (or the work area when there is none or it is
    // minimised), keeps it inside the work area and brings it to the front.
    void ShowBox(WindowBase* parent, MessageBoxCallback callback, uint32_t userData);
    bool IsCountingDown() const { return countdown.isActive(); }

protected:
    // Each second of the countdown; the last one closes the box.
    virtual void OnCountdownTick();

private:
    void Position(WindowBase* parent);

    // In the user's language, as the box is made.
    std::wstring title;
    std::wstring messageText;
    std::wstring okText;
    std::wstring cancelText;
    bool showCancel = true;
    MessageBoxCallback callback = nullptr;
    uint32_t userData = 0;
    bool autoDelete;
    int32_t countdownSeconds;
    QTimer countdown;

    Label* titleLabel = nullptr;
    Button* btnClose = nullptr;
    Label* iconLabel = nullptr;
    TextLabel* textLabel = nullptr;
    Button* btnOK = nullptr;
    Button* btnCancel = nullptr;
};
