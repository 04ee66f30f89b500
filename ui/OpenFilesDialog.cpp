#include "ui/OpenFilesDialog.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "ui/toolkit/ModalLoop.h"

#include <QFileDialog>
#include <QStringList>

namespace {

// The desktop's dialog, shown modally; its whole life (and the folder reading Qt does for it on
// a thread of its own) lies within this call.
bool ShowFileDialog(QWidget* owner, const QString& title, const QStringList& nameFilters, bool multiple,
                    QStringList& selected)
{
    QFileDialog dialog(owner, title);
    dialog.setObjectName(QStringLiteral("CFileOpenDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    // The list of filters shows their descriptions only, as given: a description that names
    // its pattern ("all files(*.*)") would otherwise show it twice.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (!nameFilters.isEmpty())
        dialog.setNameFilters(nameFilters);
    if (ModalLoop::Exec(dialog) != QDialog::Accepted)
        return false;
    selected = dialog.selectedFiles();
    return true;
}

}  // namespace

OpenFilesDialog::OpenFilesDialog() = default;
OpenFilesDialog::~OpenFilesDialog() = default;

void OpenFilesDialog::SetOwner(QWidget* widget)
{
    owner = widget;
}

void OpenFilesDialog::SetTitle(const std::wstring& text)
{
    title = text;
}

bool OpenFilesDialog::AddFilter(const std::wstring& description, const std::wstring& patterns)
{
    // Each entry is kept as "description\0patterns\0", the list closed by one more "\0".
    const size_t added = description.size() + 1 + patterns.size() + 1;
    if (description.empty() || patterns.empty() || filterChars + added + 1 > kMaxFilterChars + 1) {
        WriteLog(Warning, LogTag::kOpenFilesDialogAddFilter, "%s",
                 ("filter not added: " + QString::fromStdWString(description).toStdString()).c_str());
        return false;
    }
    filters.emplace_back(description, patterns);
    filterChars += added;
    return true;
}

void OpenFilesDialog::SetFlags(unsigned value)
{
    flags = value;
}

void OpenFilesDialog::SetBufferSize(size_t chars)
{
    bufferChars = chars > kDefaultBufferChars ? chars : kFallbackBufferChars;
}

bool OpenFilesDialog::DoModal()
{
    paths.clear();
    nextPath = 0;

    QStringList nameFilters;
    for (const auto& [description, patterns] : filters) {
        // The dialog's own form: "description (pattern pattern ...)".
        QStringList list;
        for (const QString& pattern : QString::fromStdWString(patterns).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            // "*.*" means every file; here it would only match names with a dot.
            list << (pattern.trimmed() == QStringLiteral("*.*") ? QStringLiteral("*") : pattern.trimmed());
        }
        nameFilters << QString::fromStdWString(description) + QStringLiteral(" (") + list.join(QLatin1Char(' ')) +
                           QLatin1Char(')');
    }

    QStringList selected;
    if (!ShowFileDialog(owner, QString::fromStdWString(title), nameFilters, (flags & kAllowMultiSelect) != 0,
                        selected)) {
        WriteLog(Info, LogTag::kOpenFilesDialogDoModal, "%s", "cancelled");
        return false;
    }
    std::vector<std::wstring> chosen;
    for (const QString& file : selected)
        chosen.push_back(file.toStdWString());
    SetResult(chosen);
    return !paths.empty();
}

void OpenFilesDialog::SetResult(const std::vector<std::wstring>& chosen)
{
    paths.clear();
    nextPath = 0;
    // The result holds each path and its terminator, and one more terminator at the end.
    size_t used = 1;
    for (const std::wstring& path : chosen) {
        if (used + path.size() + 1 > bufferChars) {
            WriteLog(Warning, LogTag::kOpenFilesDialogSetResult, "%zu of %zu chosen files exceed %zu characters: dropped",
                     chosen.size() - paths.size(), chosen.size(), bufferChars);
            break;
        }
        used += path.size() + 1;
        paths.push_back(path);
    }
}

bool OpenFilesDialog::GetNextPathName(std::wstring& path)
{
    if (nextPath >= paths.size())
        return false;
    path = paths[nextPath++];
    return true;
}
