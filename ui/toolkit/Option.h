#pragma once

#include "ui/toolkit/Control.h"

#include <QRadioButton>

// "Option": one choice of several, over QRadioButton. The options of one layout exclude each
// other: choosing one clears the others there, so each set of choices stands in a layout of its
// own. Layout attribute: selected, with the common text, font, text colour and tooltip. Becoming
// the chosen one sends "selectchanged".
class Option : public QRadioButton, public Control {
public:
    Option();
    std::wstring GetClass() const override { return L"Option"; }

    void SetText(const std::wstring& text) override;
    bool IsSelected() const { return isChecked(); }
    // Choosing an option clears the others of its layout.
    void Select() { setChecked(true); }

    bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

protected:
    void ApplyStyle() override;
    void changeEvent(QEvent* event) override;
};
