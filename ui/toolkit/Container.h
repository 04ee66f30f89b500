#pragma once

#include "ui/toolkit/Control.h"

#include <QWidget>

class BoxLayout;

// A control that holds other controls and lays them out in a row or a column (BoxLayout):
// inset (space inside its edges), child padding (space between children), and each child's own
// fixed size and padding. "Container" and "VerticalLayout" stack their children top to bottom,
// "HorizontalLayout" left to right. Children are owned and deleted by the container.
class Container : public QWidget, public Control {
public:
    explicit Container(Qt::Orientation orientation = Qt::Vertical);
    ~Container() override;

    std::wstring GetClass() const override;

    // Takes ownership. False (ownership stays with the caller) for a control without a widget.
    bool Add(Control* control);
    bool AddAt(Control* control, int index);
    // Removes and deletes the child.
    bool Remove(Control* control);
    bool RemoveAt(int index);
    void RemoveAll();
    int GetCount() const;
    Control* GetItemAt(int index) const;
    int GetItemIndex(Control* control) const;

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
    BoxLayout* layout_;
};

class VerticalLayout : public Container {
public:
    VerticalLayout() : Container(Qt::Vertical) {}
    std::wstring GetClass() const override { return L"VerticalLayout"; }
};

class HorizontalLayout : public Container {
public:
    HorizontalLayout() : Container(Qt::Horizontal) {}
    std::wstring GetClass() const override { return L"HorizontalLayout"; }
};

// The plain "Control" element: a box with a background (colours, gradient, image, border) and
// no behaviour. With a fixed size it keeps that much space; without one it is a flexible spacer.
class Box : public QWidget, public Control {
public:
    Box();
    std::wstring GetClass() const override { return L"Control"; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
