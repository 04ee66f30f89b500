#include "ui/toolkit/ComboBox.h"

#include <QEvent>
#include <QLineEdit>

ComboBox::ComboBox()
    : QComboBox(nullptr), Control(this)
{
    // A typed value is a choice, not a new item of the list.
    setInsertPolicy(QComboBox::NoInsert);
    QObject::connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        Notification message;
        message.type = kNotifySelectChanged;
        message.row = index;
        SendNotify(message);
    });
}

void ComboBox::AddItem(const std::wstring& text, const std::wstring& value)
{
    addItem(QString::fromStdWString(text), QString::fromStdWString(value));
}

void ComboBox::SetItemText(int index, const std::wstring& text)
{
    setItemText(index, QString::fromStdWString(text));
}

void ComboBox::RemoveAt(int index)
{
    removeItem(index);
}

void ComboBox::RemoveAll()
{
    clear();
}

std::wstring ComboBox::GetItemValue(int index) const
{
    return itemData(index).toString().toStdWString();
}

std::wstring ComboBox::GetValue() const
{
    const QString shown = currentText();
    const int index = findText(shown, Qt::MatchExactly);
    return index >= 0 ? GetItemValue(index) : shown.toStdWString();
}

void ComboBox::SetValue(const std::wstring& value)
{
    const int index = findData(QString::fromStdWString(value));
    if (index >= 0)
        setCurrentIndex(index);
    else if (isEditable())
        setEditText(QString::fromStdWString(value));
}

std::wstring ComboBox::GetText() const
{
    return currentText().toStdWString();
}

bool ComboBox::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    const QString v = QString::fromStdWString(value);
    int number = 0;
    if (name == L"editable") {
        setEditable(UiAttributes::ParseBool(v));
        ApplyStyle();
    } else if (name == L"maxchar") {
        if (UiAttributes::ParseInt(v, number) && number > 0 && lineEdit() != nullptr)
            lineEdit()->setMaxLength(number);
    } else {
        return Control::SetAttribute(name, value);
    }
    return true;
}

void ComboBox::ApplyStyle()
{
    Control::ApplyStyle();
    ApplyTextPalette(QPalette::Text);
    ApplyTextPalette(QPalette::ButtonText);
}

void ComboBox::changeEvent(QEvent* event)
{
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        ApplyStyle();
}
