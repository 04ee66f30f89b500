#include "ui/toolkit/TextPane.h"

#include "ui/toolkit/WindowWidget.h"

#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextCursor>

TextPane::TextPane()
    : QTextEdit(nullptr), Control(this)
{
    setFrameShape(QFrame::NoFrame);
    setAcceptRichText(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    QObject::connect(this, &QTextEdit::textChanged, this, [this] { SendNotify(kNotifyTextChanged); });
}

void TextPane::SetText(const std::wstring& text)
{
    setPlainText(QString::fromStdWString(text));
    ScrollToEndIfAsked();
}

std::wstring TextPane::GetText() const
{
    return toPlainText().toStdWString();
}

void TextPane::AppendText(const std::wstring& text)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromStdWString(text));
    ScrollToEndIfAsked();
}

void TextPane::SetReadOnly(bool readOnly)
{
    setReadOnly(readOnly);
}

void TextPane::SetInset(const UiRect& inset)
{
    setViewportMargins(inset.left, inset.top, inset.right, inset.bottom);
}

void TextPane::SetVScrollBar(bool on)
{
    setVerticalScrollBarPolicy(on ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (WindowWidget* window = GetWindowWidget(); on && window != nullptr && window->ScrollBarStyle() != nullptr)
        verticalScrollBar()->setStyle(window->ScrollBarStyle());
}

void TextPane::ScrollToEndIfAsked()
{
    if (!autoVScroll_)
        return;
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

bool TextPane::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    const QString v = QString::fromStdWString(value);
    const bool on = UiAttributes::ParseBool(v);
    if (name == L"readonly")
        SetReadOnly(on);
    else if (name == L"multiline") {
        multiLine_ = on;
        setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
        if (!on)
            wantReturn_ = wantCtrlReturn_ = false;
    } else if (name == L"vscrollbar")
        SetVScrollBar(on);
    else if (name == L"hscrollbar")
        setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    else if (name == L"autovscroll")
        SetAutoVScroll(on);
    else if (name == L"wantreturn")
        SetWantReturn(on);
    else if (name == L"wantctrlreturn")
        SetWantCtrlReturn(on);
    else if (name == L"menu")
        setContextMenuPolicy(on ? Qt::DefaultContextMenu : Qt::NoContextMenu);
    else if (name == L"rich")
        setAcceptRichText(on);
    else if (name == L"inset") {
        UiRect inset;
        if (UiAttributes::ParseRect(v, inset))
            SetInset(inset);
    } else
        return Control::SetAttribute(name, value);
    return true;
}

void TextPane::ApplyStyle()
{
    Control::ApplyStyle();
    QPalette colours = palette();
    const QColor text = style_.textColor.isValid() ? style_.textColor : QColor(Qt::black);
    colours.setColor(QPalette::Active, QPalette::Text, text);
    colours.setColor(QPalette::Inactive, QPalette::Text, text);
    colours.setColor(QPalette::Disabled, QPalette::Text, EffectiveDisabledTextColor());
    if (style_.bkColor.isValid()) {
        colours.setColor(QPalette::Base, style_.bkColor);
        colours.setColor(QPalette::Window, style_.bkColor);
    }
    setPalette(colours);
    setAutoFillBackground(style_.bkColor.isValid());
}

void TextPane::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter) {
        const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
        if ((ctrl && !wantCtrlReturn_) || (!ctrl && !wantReturn_)) {
            event->ignore();
            return;
        }
    }
    QTextEdit::keyPressEvent(event);
}

void TextPane::changeEvent(QEvent* event)
{
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        ApplyStyle();
}
