#include "ui/toolkit/CheckBox.h"

#include <QEvent>

CheckBox::CheckBox()
    : QCheckBox(nullptr), Control(this)
{
    QObject::connect(this, &QCheckBox::toggled, this, [this] { SendNotify(kNotifySelectChanged); });
}

void CheckBox::SetText(const std::wstring& text)
{
    text_ = text;
    // A lone "&" would otherwise become a keyboard shortcut and vanish from the text.
    setText(QString::fromStdWString(text).replace(QLatin1Char('&'), QLatin1String("&&")));
}

bool CheckBox::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"selected") {
        Select(UiAttributes::ParseBool(QString::fromStdWString(value)));
        return true;
    }
    return Control::SetAttribute(name, value);
}

void CheckBox::ApplyStyle()
{
    Control::ApplyStyle();
    ApplyTextPalette(QPalette::WindowText);
}

void CheckBox::changeEvent(QEvent* event)
{
    QCheckBox::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        ApplyStyle();
}
