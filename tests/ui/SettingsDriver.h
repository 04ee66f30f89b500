#pragma once

// Drives the settings window on screen as a user would: real clicks and typed keys on its
// controls, found by their names in the layout.
#include "tests/ui/UiTestSupport.h"
#include "ui/toolkit/ComboBox.h"
#include "ui/toolkit/Control.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <string>

namespace SettingsDriver {

// The settings window on screen, or null.
inline QWidget* Window()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("SettingsDialog") && widget->isVisible())
            return widget;
    }
    return nullptr;
}

inline int OpenWindows()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += widget->objectName() == QStringLiteral("SettingsDialog") && widget->isVisible();
    return count;
}

template <class T = Control>
T* Find(const std::wstring& name)
{
    QWidget* window = Window();
    if (window == nullptr)
        return nullptr;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        auto* control = dynamic_cast<Control*>(child);
        if (control != nullptr && control->GetName() == name)
            return dynamic_cast<T*>(control);
    }
    return nullptr;
}

// A click near the control's left edge, where an option's or a check box's mark is.
inline bool Click(const std::wstring& name)
{
    Control* control = Find(name);
    if (control == nullptr || control->GetWidget() == nullptr)
        return false;
    QWidget* widget = control->GetWidget();
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, QPoint(8, widget->height() / 2));
    UiTest::ProcessEvents();
    return true;
}

// Replaces what a field (an edit, or an editable combo box) holds by typing.
inline bool Type(const std::wstring& name, const QString& text)
{
    Control* control = Find(name);
    QWidget* field = control != nullptr ? control->GetWidget() : nullptr;
    if (auto* combo = dynamic_cast<ComboBox*>(control))
        field = combo->lineEdit();
    if (field == nullptr)
        return false;
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
    UiTest::ProcessEvents();
    return true;
}

inline std::wstring Text(const std::wstring& name)
{
    Control* control = Find(name);
    return control != nullptr ? control->GetText() : L"<none>";
}

// OK (or Cancel) as a click on its button.
inline bool Press(const std::wstring& button)
{
    Control* control = Find(button);
    if (control == nullptr || control->GetWidget() == nullptr)
        return false;
    QWidget* widget = control->GetWidget();
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
    UiTest::ProcessEvents();
    return true;
}

}  // namespace SettingsDriver
