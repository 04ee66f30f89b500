#pragma once

#include "ui/toolkit/Control.h"

#include <QAbstractButton>

// "Button": draws the image of its state (normal, hot while the pointer is over it, pushed while
// pressed, disabled) stretched over itself, then its text; a click sends a "click" notification.
// The images can be changed at run time.
//
// Assistive tools read the button by its accessible name when the layout gives one, else by its
// text, else (a button that is only an image) by its tooltip; pressing it through them clicks it.
//
// The keyboard focus reaches a button only through Tab (or back to it with the window), and is
// then drawn as a dotted frame. Space or Enter press the button only while that frame shows: a
// focus nobody can see must not start anything.
class Button : public QAbstractButton, public Control {
public:
    Button();
    std::wstring GetClass() const override { return L"Button"; }

    void SetText(const std::wstring& text) override;
    void SetToolTip(const std::wstring& text) override;
    void SetAccessibleName(const std::wstring& name) override;
    void SetNormalImage(const std::wstring& image);
    void SetHotImage(const std::wstring& image);
    void SetPushedImage(const std::wstring& image);
    void SetDisabledImage(const std::wstring& image);
    std::wstring GetNormalImage() const { return normal_.file; }
    std::wstring GetHotImage() const { return hot_.file; }
    std::wstring GetPushedImage() const { return pushed_.file; }
    void SetHotTextColor(const QColor& color);
    void SetPushedTextColor(const QColor& color);

    // Whether the pointer is over the button, and whether it is held down.
    bool IsHot() const { return hot_state_; }
    bool IsPushed() const { return isDown(); }
    // Whether the button has the keyboard focus and shows it.
    bool IsFocusVisible() const { return hasFocus() && focusVisible_; }

    bool SetAttribute(const std::wstring& name, const std::wstring& value) override;
    QSize sizeHint() const override;

protected:
    void ApplyStyle() override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void SetImage(UiAttributes::UiImage& slot, const std::wstring& image);
    void UpdateAccessibleName();

    UiAttributes::UiImage normal_;
    UiAttributes::UiImage hot_;
    UiAttributes::UiImage pushed_;
    UiAttributes::UiImage disabled_;
    QColor hotTextColor_;
    QColor pushedTextColor_;
    std::wstring accessibleName_;
    bool hot_state_ = false;
    bool focusVisible_ = false;
};
