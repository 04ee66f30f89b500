#include "ui/ResultFileNames.h"

#include "base/TextConvert.h"
#include "base/TextUtils.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace {

std::wstring Folded(const std::wstring& name)
{
    return QString::fromStdWString(name).toCaseFolded().toStdWString();
}

}  // namespace

ResultFileNames::ResultFileNames(const std::wstring& saveFolder, const std::wstring& ending)
    : folder(saveFolder), extension(ending)
{
    if (folder.empty())
        return;
    const QDir dir(QString::fromStdWString(folder));
    for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        MarkTaken(entry.toStdWString());
}

std::wstring ResultFileNames::BaseName(const std::wstring& audioPath)
{
    const std::wstring fileName = PubUtils::CutString(audioPath, L"/", true, false, false);
    return PubUtils::CutString(fileName, L".", true, true, false);
}

std::wstring ResultFileNames::FittingBaseName(const std::wstring& audioPath) const
{
    // Room for " (NNNNNN)" and the extension.
    constexpr size_t kNameMax = 255;
    constexpr size_t kCounterRoom = 9;
    const size_t room = kNameMax - kCounterRoom - std::min(kNameMax - kCounterRoom, WideToAnsi(extension).size());
    std::wstring base = BaseName(audioPath);
    while (!base.empty() && WideToAnsi(base).size() > room)
        base.pop_back();
    return base;
}

std::wstring ResultFileNames::HoldingAlready(const std::wstring& audioPath, const std::string& bytes) const
{
    if (folder.empty())
        return {};
    const std::wstring base = FittingBaseName(audioPath);
    std::wstring name = base;
    for (int n = 2; IsTaken(name + extension); ++n) {
        QFile file(QString::fromStdWString(folder + L"/" + name + extension));
        // Only a regular file of the same size is read, and only as far as that size.
        const QFileInfo info(file);
        if (info.isFile() && !info.isSymLink() && info.size() == static_cast<qint64>(bytes.size()) &&
            file.open(QIODevice::ReadOnly) && file.read(static_cast<qint64>(bytes.size()) + 1) == QByteArray::fromStdString(bytes))
            return name;
        name = base + L" (" + std::to_wstring(n) + L")";
    }
    return {};
}

std::wstring ResultFileNames::Take(const std::wstring& audioPath)
{
    const std::wstring base = FittingBaseName(audioPath);
    std::wstring name = base;
    for (int n = 2; IsTaken(name + extension); ++n)
        name = base + L" (" + std::to_wstring(n) + L")";
    MarkTaken(name + extension);
    return name;
}

bool ResultFileNames::IsTaken(const std::wstring& fileName) const
{
    return used.count(Folded(fileName)) != 0;
}

void ResultFileNames::MarkTaken(const std::wstring& fileName)
{
    used.insert(Folded(fileName));
}
