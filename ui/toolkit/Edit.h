#pragma once

#include "ui/toolkit/Control.h"

#include <QLineEdit>

// "Edit": one line of text the user types, over QLineEdit. Layout attributes: password (the
// text shown as dots; it can still be typed, pasted and read by the program, never copied or cut
// out of the field),
// readonly, maxchar (the most characters it takes), placeholder (the grey hint while it is
// empty), textpadding, and the common font, text colour and background. Each change the user
// makes sends "textchanged"; the program's own SetText sends nothing.
class Edit : public QLineEdit, public Control {
public:
    Edit();
    std::wstring GetClass() const override { return L"Edit"; }

    void SetText(const std::wstring& text) override;
    std::wstring GetText() const override;
    void SetPassword(bool on);
    bool IsPassword() const { return echoMode() == QLineEdit::Password; }
    void SetPlaceholder(const std::wstring& text);

    bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

protected:
    void ApplyStyle() override;
    void changeEvent(QEvent* event) override;
};
