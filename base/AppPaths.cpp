#include "base/AppPaths.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/platform/AppFolders.h"
#include "base/platform/RunFolder.h"

#include <cerrno>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace AppPaths {
namespace {

constexpr char kAppFolderName[] = "Talvora";

// This run's own folder inside "Temp", made on first use.
constinit std::mutex g_runTempLock;
constinit Platform::RunFolder* g_runTemp = nullptr;
constinit bool g_sweptTemp = false;

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
    // Asked first, outside the lock, which guards only this run's folder.
    const std::string parent = GetAppDataDir() + "/Temp";
    std::lock_guard<std::mutex> guard(g_runTempLock);
    if (g_runTemp == nullptr)
        g_runTemp = new Platform::RunFolder();  // never destroyed: detached workers may ask late
    if (!g_runTemp->Path().empty() && IsDirectory(g_runTemp->Path()))
        return g_runTemp->Path();
    const bool first = !g_sweptTemp;
    g_sweptTemp = true;
    if (!g_runTemp->Make(parent)) {
        // Still a folder that exists, shared as it was before runs had their own.
        const int saved = errno;
        mkdir(parent.c_str(), 0700);
        errno = saved;
        return parent;
    }
    // Runs that died (a crash, a kill) never moved theirs away: without this Temp only grows.
    if (first)
        Platform::RunFolder::SweepEnded(parent, g_runTemp->Path());
    return g_runTemp->Path();
}

void ClearTempDir()
{
    const std::string source = GetTempDir();
    const std::string userTemp = Platform::UserTempFolder();
    if (userTemp.empty()) {
        WriteLog(Warning, LogTag::kClearTempDir, "%s", "the user's temporary folder is not safe to use; Temp stays in place");
        return;
    }
    if (!Platform::MoveFolderReplacing(source, userTemp + "/Temp")) {
        WriteLog(Warning, LogTag::kClearTempDir, "could not move %s to %s/Temp", source.c_str(), userTemp.c_str());
        return;
    }
    std::lock_guard<std::mutex> guard(g_runTempLock);
    if (g_runTemp != nullptr && g_runTemp->Path() == source)
        g_runTemp->ReleaseMoved(userTemp + "/Temp");
    // The shared parent goes too once no run has a folder in it any more.
    const int saved = errno;
    rmdir((GetAppDataDir() + "/Temp").c_str());
    errno = saved;
}

std::string GetModuleDir()
{
    const std::string path = Platform::ExecutablePath();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return path;
    return path.substr(0, slash);
}

std::string GetConfigPath(bool besideProgram)
{
    if (besideProgram)
        return GetModuleDir() + "/" + kAppFolderName + "/config.ini";
    return GetAppDataDir() + "/config.ini";
}

std::string GetUpdateDataDir()
{
    const std::string base = Platform::LocalAppDataFolder();
    if (base.empty())
        return {};
    return base + "/" + kAppFolderName;
}

}  // namespace AppPaths
