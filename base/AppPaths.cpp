#include "base/AppPaths.h"

#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "base/platform/AppFolders.h"

#include <cerrno>
#include <mutex>
#include <sys/stat.h>

namespace PubUtils {
namespace {

constexpr char kAppFolderName[] = "Talvora";

bool IsDirectory(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string GetAppDataDir()
{
    // Resolved once. Never destroyed: detached worker threads may still ask for it while the
    // process exits.
    static std::once_flag once;
    static const std::string* cached = nullptr;
    std::call_once(once, [] {
        const int saved = errno;
        auto* folder = new std::string(Platform::LocalAppDataFolder() + "/" + kAppFolderName);
        if (!IsDirectory(*folder))
            mkdir(folder->c_str(), 0700);
        errno = saved;
        cached = folder;
    });
    return *cached;
}

std::string GetTempDir()
{
    const std::string temp = GetAppDataDir() + "/Temp";
    if (!IsDirectory(temp)) {
        const int saved = errno;
        mkdir(temp.c_str(), 0700);
        errno = saved;
    }
    return temp;
}

void ClearTempDir()
{
    const std::string source = GetTempDir();
    const std::string userTemp = Platform::UserTempFolder();
    if (userTemp.empty()) {
        WriteLog(Warning, "PubUtils::ClearTempDir", "%s", "the user's temporary folder is not safe to use; Temp stays in place");
        return;
    }
    if (!Platform::MoveFolderReplacing(source, userTemp + "/Temp"))
        WriteLog(Warning, "PubUtils::ClearTempDir", "could not move %s to %s/Temp", source.c_str(), userTemp.c_str());
}

std::string GetModuleDir()
{
    const std::string path = Platform::ExecutablePath();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return path;
    return path.substr(0, slash);
}

std::wstring GetConfigPath(bool besideProgram)
{
    if (besideProgram)
        return AnsiToWide(GetModuleDir()) + L"/" + AnsiToWide(kAppFolderName) + L"/config.ini";
    return AnsiToWide(GetAppDataDir()) + L"/config.ini";
}

std::string GetUpdateDataDir()
{
    const std::string base = Platform::LocalAppDataFolder();
    if (base.empty())
        return {};
    return base + "/" + WideToAnsi(L"Talvora");
}

}  // namespace PubUtils
