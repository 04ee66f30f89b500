#pragma once

#include "ui/toolkit/Control.h"

#include <QComboBox>

// "Combo": a list to choose one item from, over QComboBox; each item has the text shown and a
// value the program reads. Layout attributes: editable (the user may also type a value of his
// own), maxchar (the most characters typed), with the common font, text colour and background.
// Its items are child elements:
//
//   <Combo name="cmbLanguage" editable="true">
//     <Item text="中文" value="zh"/>
//   </Combo>
//
// A change of the current item sends "selectchanged" with the item's row.
class ComboBox : public QComboBox, public Control {
public:
    ComboBox();
    std::wstring GetClass() const override { return L"Combo"; }

    void AddItem(const std::wstring& text, const std::wstring& value);
    void SetItemText(int index, const std::wstring& text);
    void RemoveAt(int index);
    void RemoveAll();
    int GetCount() const { return count(); }
    // The current item, or -1.
    int GetCurSel() const { return currentIndex(); }
    void SelectItem(int index) { setCurrentIndex(index); }
    std::wstring GetItemValue(int index) const;

    // What the user chose: the value of the item whose text the box shows, or what was typed.
    std::wstring GetValue() const;
    // Shows the item with that value, or (editable) the value itself as typed text.
    void SetValue(const std::wstring& value);
    // The text the box shows.
    std::wstring GetText() const override;

    bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

protected:
    void ApplyStyle() override;
    void changeEvent(QEvent* event) override;
};
