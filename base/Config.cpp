#include "base/Config.h"

#include "base/AppPaths.h"
#include "base/platform/IniFile.h"

namespace {
constexpr char kSection[] = "Talvora";
}

int ReadConfigInt(const std::string& key, int defaultValue)
{
    return Platform::GetPrivateProfileInt(kSection, key, defaultValue, PubUtils::GetConfigPath(false));
}

std::string ReadConfigString(const std::string& key, const std::string& defaultValue, int size)
{
    return Platform::GetPrivateProfileString(kSection, key, defaultValue, size, PubUtils::GetConfigPath(false));
}

void WriteConfigString(const std::string& key, const std::string& value)
{
    Platform::WritePrivateProfileString(kSection, key, value, PubUtils::GetConfigPath(false));
    Platform::WritePrivateProfileString(kSection, key, value, PubUtils::GetConfigPath(true));
}

std::string ReadUpdateConfigString(const std::string& key, const std::string& defaultValue, int size)
{
    const std::string path = PubUtils::GetUpdateDataDir() + "/config.ini";
    return Platform::GetPrivateProfileString(kSection, key, defaultValue, size, path);
}
