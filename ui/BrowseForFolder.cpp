#include "ui/BrowseForFolder.h"

#include "ui/toolkit/ModalLoop.h"
#include "ui/toolkit/WindowBase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

std::wstring BrowseForFolder(WindowBase* owner, const std::wstring& title)
{
    const QString caption = title.empty() ? QCoreApplication::translate("BrowseForFolder", "选择一个文件夹")
                                          : QString::fromStdWString(title);
    QWidget* parent = owner != nullptr ? owner->GetWidget() : nullptr;
    QFileDialog dialog(parent, caption, QDir::homePath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (ModalLoop::Exec(dialog) != QDialog::Accepted)
        return {};
    const QString chosen = dialog.selectedFiles().value(0);
    // Desktop portals may answer with something that is no local folder (a remote location).
    if (chosen.isEmpty() || !QFileInfo(chosen).isDir())
        return {};
    return QDir::cleanPath(chosen).toStdWString();
}
