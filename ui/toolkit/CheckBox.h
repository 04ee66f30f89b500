#pragma once

#include "ui/toolkit/Control.h"

#include <QCheckBox>

// "CheckBox": a box to tick with its text beside it, over QCheckBox. Layout attribute: selected
// (ticked), with the common text, font, text colour and tooltip. Each change sends
// "selectchanged".
class CheckBox : public QCheckBox, public Control {
public:
    CheckBox();
    std::wstring GetClass() const override { return L"CheckBox"; }

    void SetText(const std::wstring& text) override;
    bool IsSelected() const { return isChecked(); }
    void Select(bool selected) { setChecked(selected); }

    bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

protected:
    void ApplyStyle() override;
    void changeEvent(QEvent* event) override;
};
