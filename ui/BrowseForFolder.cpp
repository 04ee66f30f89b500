#include "ui/BrowseForFolder.h"

#include "ui/toolkit/CWindowBase.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

std::wstring BrowseForFolder(CWindowBase* owner, const std::wstring& title)
{
    const QString caption = QString::fromStdWString(title.empty() ? std::wstring(L"选择一个文件夹") : title);
    QWidget* parent = owner != nullptr ? owner->GetWidget() : nullptr;
    const QString chosen =
        QFileDialog::getExistingDirectory(parent, caption, QDir::homePath(), QFileDialog::ShowDirsOnly);
    // Desktop portals may answer with something that is no local folder (a remote location).
    if (chosen.isEmpty() || !QFileInfo(chosen).isDir())
        return {};
    return QDir::cleanPath(chosen).toStdWString();
}
