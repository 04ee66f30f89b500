#include "ui/toolkit/ModalLoop.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace {

int g_depth = 0;
std::vector<QPointer<QWidget>> g_waiting;

void RejectDialogsOf(QWidget* window)
{
    for (QDialog* dialog : window->findChildren<QDialog*>()) {
        if (dialog->isVisible())
            dialog->reject();
    }
}

}  // namespace

int ModalLoop::Exec(QDialog& dialog)
{
    ++g_depth;
    const int result = dialog.exec();
    if (--g_depth > 0)
        return result;
    // The caller's frames still use the windows' controls; the event loop deletes them only
    // once these frames have returned.
    std::vector<QPointer<QWidget>> waiting;
    waiting.swap(g_waiting);
    for (const QPointer<QWidget>& window : waiting) {
        if (!window.isNull())
            window->deleteLater();
    }
    return result;
}

bool ModalLoop::IsRunning()
{
    return g_depth > 0;
}

void ModalLoop::DeleteWindowLater(QWidget* window)
{
    if (window == nullptr)
        return;
    if (g_depth == 0) {
        window->deleteLater();
        return;
    }
    RejectDialogsOf(window);
    g_waiting.emplace_back(window);
}
