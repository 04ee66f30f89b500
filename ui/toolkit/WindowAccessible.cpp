#include "ui/toolkit/WindowAccessible.h"

#include "ui/toolkit/WindowWidget.h"

WindowAccessible::WindowAccessible(WindowWidget* window)
    : QAccessibleWidget(window, QAccessible::Window)
{
}

QAccessibleInterface* WindowAccessible::Factory(const QString&, QObject* object)
{
    auto* window = object != nullptr && object->isWidgetType() ? dynamic_cast<WindowWidget*>(object) : nullptr;
    return window != nullptr ? new WindowAccessible(window) : nullptr;
}

QAccessible::Role WindowAccessible::role() const
{
    return widget()->parentWidget() != nullptr ? QAccessible::Dialog : QAccessible::Window;
}
