#pragma once

#include <Qt>

// The modifier keys of the input message a window is handling right now, so that a message
// filter asking UiToolkit::IsKeyDown sees the state as of that message. UI thread.
namespace UiInputState {

class Scope {
public:
    explicit Scope(Qt::KeyboardModifiers modifiers);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    Qt::KeyboardModifiers previous_;
    bool hadPrevious_;
};

// The modifiers of the message in hand; false when no input message is being handled.
bool Current(Qt::KeyboardModifiers& modifiers);

}  // namespace UiInputState
