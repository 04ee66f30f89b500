#pragma once

#include <QAccessibleWidget>

class WindowWidget;

// A toolkit window as assistive tools see it (toolkit internal): a window named as its layout or
// owner names it (Qt reads a plain widget as a mere pane), or a dialog when it stands over another
// window (a message box over the main window).
class WindowAccessible final : public QAccessibleWidget {
public:
    explicit WindowAccessible(WindowWidget* window);

    // For QAccessible::installFactory: this reading for a toolkit window, none for anything else.
    static QAccessibleInterface* Factory(const QString& className, QObject* object);

    QAccessible::Role role() const override;
};
