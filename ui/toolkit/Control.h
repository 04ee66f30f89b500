#pragma once

#include "ui/toolkit/UiAttributes.h"
#include "ui/toolkit/UiTypes.h"

#include <QColor>
#include <QPalette>
#include <QRect>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class WindowBase;
class WindowWidget;
class QPainter;
class QWidget;

// The part every control shares: name, text and look attributes, geometry within its parent
// layout and user data. Most controls are also a Qt widget (the subclass
// derives from the widget class and from Control and hands its widget to the constructor);
// a list's row elements have no widget of their own.
//
// Controls belong to the layout that holds them: containers and lists delete their children.
// Everything here is UI-thread only.
class Control {
public:
    // `self` is the control's own widget, or null for a control without one.
    explicit Control(QWidget* self);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // The element class of the layout files ("Button", "Label", ...).
    virtual std::wstring GetClass() const;

    const std::wstring& GetName() const { return name_; }
    void SetName(const std::wstring& name);
    QWidget* GetWidget() const { return widget_; }
    // The window that holds the control, or null when it is in none (or that window is gone).
    WindowBase* GetWindow() const;
    // The container or list the control belongs to.
    Control* GetParent() const { return parent_; }

    virtual std::wstring GetText() const;
    virtual void SetText(const std::wstring& text);
    // Markup (HTML-like: <u>, <b>, <i>, <font color=...>, <br>) in the text is rendered when on.
    void SetShowHtml(bool showHtml);
    bool IsShowHtml() const { return style_.showHtml; }
    // A font of the window's layout by its id; -1 is the window's default font.
    void SetFont(int index);
    int GetFont() const { return style_.font; }
    void SetTextColor(const QColor& color);
    QColor GetTextColor() const { return style_.textColor; }
    void SetDisabledTextColor(const QColor& color);
    void SetTextPadding(const UiRect& padding);
    UiRect GetTextPadding() const { return style_.textPadding; }
    void SetAlign(Qt::Alignment alignment);
    Qt::Alignment GetAlign() const { return style_.align; }
    void SetEndEllipsis(bool on);
    virtual void SetToolTip(const std::wstring& text);
    // What assistive tools (screen readers) call the control; most controls are read by their
    // text without one.
    virtual void SetAccessibleName(const std::wstring& name);

    virtual bool IsVisible() const;
    virtual void SetVisible(bool visible);
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool enabled);

    // The control's rectangle in the client coordinates of its window.
    virtual UiRect GetPos() const;
    // Sizes inside a layout: a fixed width or height, or 0 for a share of the space left.
    int GetFixedWidth() const { return fixedWidth_; }
    int GetFixedHeight() const { return fixedHeight_; }
    void SetFixedWidth(int width);
    void SetFixedHeight(int height);
    int GetMinWidth() const { return minWidth_; }
    int GetMinHeight() const { return minHeight_; }
    int GetMaxWidth() const { return maxWidth_; }
    int GetMaxHeight() const { return maxHeight_; }
    // Space kept free around the control inside its parent layout.
    UiRect GetPadding() const { return padding_; }
    void SetPadding(const UiRect& padding);

    void SetBkColor(const QColor& color);
    // With a second background colour the background is a vertical gradient from the first.
    void SetBkColor2(const QColor& color);
    void SetBkImage(const std::wstring& image);
    void SetBorderColor(const QColor& color);
    void SetBorderSize(const UiRect& sides);
    void SetBorderRound(int radius);

    void SetUserData(const std::wstring& data) { userData_ = data; }
    const std::wstring& GetUserData() const { return userData_; }
    void SetTag(uintptr_t tag) { tag_ = tag; }
    uintptr_t GetTag() const { return tag_; }

    // Repaints the control.
    virtual void Invalidate();

    // One attribute of a layout element; false when the name is not one this control knows.
    virtual bool SetAttribute(const std::wstring& name, const std::wstring& value);

    // The top-level widget of the window holding the control (toolkit internal).
    WindowWidget* GetWindowWidget() const;
    void SetParentControl(Control* parent) { parent_ = parent; }

protected:
    struct Style {
        QColor bkColor;
        QColor bkColor2;
        UiAttributes::UiImage bkImage;
        QColor borderColor;
        UiRect borderSize;
        int borderRound = 0;
        QColor textColor;  // invalid: the window's default (black)
        QColor disabledTextColor;
        UiRect textPadding;
        Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
        int font = -1;
        bool showHtml = false;
        bool endEllipsis = false;
    };

    // Re-applies the look (colours, font, alignment) to the widget after a change.
    virtual void ApplyStyle();
    // Gives the widget's palette the control's text colours in `textRole` (normal, inactive and
    // disabled) and, when it has one, its background colour as the input field's.
    void ApplyTextPalette(QPalette::ColorRole textRole);
    void PaintBackground(QPainter& painter, const QRect& rect) const;
    // The text colour to draw with in the widget's current state.
    QColor EffectiveTextColor() const;
    QColor EffectiveDisabledTextColor() const;
    void SendNotify(const wchar_t* type);
    // Sends `message` (its type and values filled in) with this control as its sender.
    void SendNotify(Notification& message);
    // Asks the parent container to lay its children out again.
    void RelayoutParent();

    Style style_;
    std::wstring text_;

private:
    QWidget* widget_;
    Control* parent_ = nullptr;
    std::wstring name_;
    std::wstring userData_;
    uintptr_t tag_ = 0;
    int fixedWidth_ = 0;
    int fixedHeight_ = 0;
    int minWidth_ = 0;
    int minHeight_ = 0;
    int maxWidth_ = 0;
    int maxHeight_ = 0;
    UiRect padding_;
};
