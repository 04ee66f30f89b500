#pragma once

#include "ui/toolkit/CControlUI.h"

#include <QWidget>

class CBoxLayoutUI;

// A control that holds other controls and lays them out in a row or a column (CBoxLayoutUI):
// inset (space inside its edges), child padding (space between children), and each child's own
// fixed size and padding. "Container" and "VerticalLayout" stack their children top to bottom,
// "HorizontalLayout" left to right. Children are owned and deleted by the container.
class CContainerUI : public QWidget, public CControlUI {
public:
    explicit CContainerUI(Qt::Orientation orientation = Qt::Vertical);
    ~CContainerUI() override;

    std::wstring GetClass() const override;

    // Takes ownership. False (ownership stays with the caller) for a control without a widget.
    bool Add(CControlUI* control);
    bool AddAt(CControlUI* control, int index);
    // Removes and deletes the child.
    bool Remove(CControlUI* control);
    bool RemoveAt(int index);
    void RemoveAll();
    int GetCount() const;
    CControlUI* GetItemAt(int index) const;
    int GetItemIndex(CControlUI* control) const;

    void SetInset(const UiRect& inset);
    UiRect GetInset() const;
    void SetChildPadding(int padding);
    int GetChildPadding() const;

    // Lays the children out for the current size at once, and their children in turn.
    void ArrangeChildren();

    bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CBoxLayoutUI* layout_;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    CVerticalLayoutUI() : CContainerUI(Qt::Vertical) {}
    std::wstring GetClass() const override { return L"VerticalLayout"; }
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    CHorizontalLayoutUI() : CContainerUI(Qt::Horizontal) {}
    std::wstring GetClass() const override { return L"HorizontalLayout"; }
};

// The plain "Control" element: a box with a background (colours, gradient, image, border) and
// no behaviour. With a fixed size it keeps that much space; without one it is a flexible spacer.
class CBoxUI : public QWidget, public CControlUI {
public:
    CBoxUI();
    std::wstring GetClass() const override { return L"Control"; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
