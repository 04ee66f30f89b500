#include "ui/ResultFileNames.h"

#include "base/TextUtils.h"

std::wstring ResultFileNames::BaseName(const std::wstring& audioPath)
{
    const std::wstring fileName = PubUtils::CutString(audioPath, L"/", true, false, false);
    return PubUtils::CutString(fileName, L".", true, true, false);
}

std::wstring ResultFileNames::Take(const std::wstring& audioPath)
{
    const std::wstring base = BaseName(audioPath);
    std::wstring name = base;
    for (int n = 2; used.count(name) != 0; ++n)
        name = base + L" (" + std::to_wstring(n) + L")";
    used.insert(name);
    return name;
}
