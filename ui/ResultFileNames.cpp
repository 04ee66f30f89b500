#include "ui/ResultFileNames.h"

#include "base/TextUtils.h"

#include <QDir>
#include <QString>

namespace {

std::wstring Folded(const std::wstring& name)
{
    return QString::fromStdWString(name).toCaseFolded().toStdWString();
}

}  // namespace

ResultFileNames::ResultFileNames(const std::wstring& folder, const std::wstring& ending) : extension(ending)
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

std::wstring ResultFileNames::Take(const std::wstring& audioPath)
{
    const std::wstring base = BaseName(audioPath);
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
