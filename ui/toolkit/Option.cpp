#include "ui/toolkit/Option.h"

#include <QEvent>

Option::Option()
    : QRadioButton(nullptr), Control(this)
{
    QObject::connect(this, &QRadioButton::toggled, this, [this](bool chosen) {
        if (chosen)
            SendNotify(kNotifySelectChanged);
    });
}

void Option::SetText(const std::wstring& text)
{
    text_ = text;
    // A lone "&" would otherwise become a keyboard shortcut and vanish from the text.
    setText(QString::fromStdWString(text).replace(QLatin1Char('&'), QLatin1String("&&")));
}

bool Option::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"selected") {
        if (UiAttributes::ParseBool(QString::fromStdWString(value)))
            Select();
        return true;
    }
    return Control::SetAttribute(name, value);
}

void Option::ApplyStyle()
{
    Control::ApplyStyle();
    ApplyTextPalette(QPalette::WindowText);
}

void Option::changeEvent(QEvent* event)
{
    QRadioButton::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        ApplyStyle();
}
