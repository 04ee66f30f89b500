#include "ui/toolkit/Edit.h"

#include <QEvent>

Edit::Edit()
    : QLineEdit(nullptr), Control(this)
{
    QObject::connect(this, &QLineEdit::textEdited, this, [this] { SendNotify(kNotifyTextChanged); });
}

void Edit::SetText(const std::wstring& text)
{
    setText(QString::fromStdWString(text));
}

std::wstring Edit::GetText() const
{
    return text().toStdWString();
}

void Edit::SetPassword(bool on)
{
    setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal);
}

void Edit::SetPlaceholder(const std::wstring& text)
{
    setPlaceholderText(QString::fromStdWString(text));
}

bool Edit::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    const QString v = QString::fromStdWString(value);
    int number = 0;
    if (name == L"password")
        SetPassword(UiAttributes::ParseBool(v));
    else if (name == L"readonly")
        setReadOnly(UiAttributes::ParseBool(v));
    else if (name == L"maxchar") {
        if (UiAttributes::ParseInt(v, number) && number > 0)
            setMaxLength(number);
    } else if (name == L"placeholder")
        SetPlaceholder(value);
    else
        return Control::SetAttribute(name, value);
    return true;
}

void Edit::ApplyStyle()
{
    Control::ApplyStyle();
    ApplyTextPalette(QPalette::Text);
    const UiRect& p = style_.textPadding;
    setTextMargins(p.left, p.top, p.right, p.bottom);
    setAlignment(style_.align);
}

void Edit::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        ApplyStyle();
}
