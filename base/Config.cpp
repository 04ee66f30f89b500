#include "base/Config.h"

#include "base/AppPaths.h"
#include "base/TextConvert.h"
#include "base/platform/IniFile.h"

namespace {
constexpr wchar_t kSection[] = L"Talvora";
}

int ReadConfigInt(const std::wstring& key, int defaultValue)
{
    return Platform::GetPrivateProfileInt(kSection, key, defaultValue, PubUtils::GetConfigPath(false));
}

std::wstring ReadConfigString(const std::wstring& key, const std::wstring& defaultValue, int size)
{
    return Platform::GetPrivateProfileString(kSection, key, defaultValue, size, PubUtils::GetConfigPath(false));
}

void WriteConfigString(const std::wstring& key, const std::wstring& value)
{
    Platform::WritePrivateProfileString(kSection, key, value, PubUtils::GetConfigPath(false));
    Platform::WritePrivateProfileString(kSection, key, value, PubUtils::GetConfigPath(true));
}

std::wstring ReadUpdateConfigString(const std::wstring& key, const std::wstring& defaultValue, int size)
{
    const std::wstring path = AnsiToWide(PubUtils::GetUpdateDataDir()) + L"/config.ini";
    return Platform::GetPrivateProfileString(kSection, key, defaultValue, size, path);
}
