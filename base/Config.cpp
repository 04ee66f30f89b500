#include "base/Config.h"

#include "base/AppPaths.h"
#include "base/platform/IniFile.h"

namespace {
constexpr char kSection[] = "Talvora";
}

int ReadConfigInt(const std::string& key, int defaultValue)
{
    return Platform::GetPrivateProfileInt(kSection, key, defaultValue, AppPaths::GetConfigPath(false));
}

std::string ReadConfigString(const std::string& key, const std::string& defaultValue, int size)
{
    return Platform::GetPrivateProfileString(kSection, key, defaultValue, size, AppPaths::GetConfigPath(false));
}

void WriteConfigString(const std::string& key, const std::string& value)
{
    Platform::WritePrivateProfileString(kSection, key, value, AppPaths::GetConfigPath(false));
    Platform::WritePrivateProfileString(kSection, key, value, AppPaths::GetConfigPath(true));
}

bool WriteConfigStrings(const std::vector<std::pair<std::string, std::string>>& entries)
{
    const bool written = Platform::WritePrivateProfileStrings(kSection, entries, AppPaths::GetConfigPath(false));
    Platform::WritePrivateProfileStrings(kSection, entries, AppPaths::GetConfigPath(true));
    return written;
}

std::string ReadUpdateConfigString(const std::string& key, const std::string& defaultValue, int size)
{
    const std::string path = AppPaths::GetUpdateDataDir() + "/config.ini";
    return Platform::GetPrivateProfileString(kSection, key, defaultValue, size, path);
}
