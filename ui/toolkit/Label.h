#pragma once

#include "ui/toolkit/Control.h"

#include <QLabel>

// "Label": one line of text on the control's background, with alignment, text padding, colour,
// font by index and markup when "showhtml" is on.
class Label : public QLabel, public Control {
public:
    Label();
    std::wstring GetClass() const override { return L"Label"; }

    void SetText(const std::wstring& text) override;
    bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

protected:
    void ShowText();
    void ApplyStyle() override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
};

// "Text": a label whose text wraps over as many lines as it needs.
class TextLabel : public Label {
public:
    TextLabel();
    std::wstring GetClass() const override { return L"Text"; }
};
