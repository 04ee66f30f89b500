#pragma once

#include "ui/toolkit/Control.h"

#include <QTextEdit>

// "RichEdit": a text pane. Layout attributes: readonly, multiline, vscrollbar (drawn with the
// window's scroll bar skin), autovscroll (keeps the end in view when the text is set or grows),
// wantreturn / wantctrlreturn (whether Enter / Ctrl+Enter are taken as input), menu (context
// menu), rich (markup allowed), inset (margin inside the pane), textcolor, font, bkcolor.
class TextPane : public QTextEdit, public Control {
public:
    TextPane();
    std::wstring GetClass() const override { return L"RichEdit"; }

    // Replaces the whole text (plain text, kept as given).
    void SetText(const std::wstring& text) override;
    std::wstring GetText() const override;
    void AppendText(const std::wstring& text);
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return isReadOnly(); }
    void SetInset(const UiRect& inset);
    void SetAutoVScroll(bool on) { autoVScroll_ = on; }
    void SetWantReturn(bool on) { wantReturn_ = on; }
    void SetWantCtrlReturn(bool on) { wantCtrlReturn_ = on; }
    void SetVScrollBar(bool on);

    bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

protected:
    void ApplyStyle() override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ScrollToEndIfAsked();

    bool autoVScroll_ = false;
    bool wantReturn_ = true;
    bool wantCtrlReturn_ = true;
    bool multiLine_ = true;
};
