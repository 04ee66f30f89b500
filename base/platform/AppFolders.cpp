#include "base/platform/AppFolders.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace Platform {
namespace {

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    passwd entry{};
    passwd* result = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &result) == 0 && result != nullptr && result->pw_dir != nullptr)
        return result->pw_dir;
    return {};
}

}  // namespace

std::string LocalAppDataFolder()
{
    std::string folder;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        folder = xdg;
    } else {
        const std::string home = HomeFolder();
        if (home.empty())
            return {};
        folder = home + "/.local/share";
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::error_code ignored;
    if (!fs::is_directory(folder, ignored)) {
        const int saved = errno;
        fs::create_directories(folder, ignored);
        errno = saved;
    }
    return folder;
}

std::string UserTempFolder()
{
    const int saved = errno;
    const char* tmp = std::getenv("TMPDIR");
    std::string base = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    const std::string folder = base + "/talvora-" + std::to_string(getuid());
    mkdir(folder.c_str(), 0700);
    struct stat info{};
    std::string result;
    if (lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid()) {
        if ((info.st_mode & 0077) != 0)
            chmod(folder.c_str(), 0700);
        result = folder;
    }
    errno = saved;
    return result;
}

std::string ExecutablePath()
{
    std::error_code error;
    const fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

bool MoveFolderReplacing(const std::string& from, const std::string& to)
{
    std::error_code error;
    if (!fs::is_directory(from, error))
        return false;
    fs::remove_all(to, error);
    fs::rename(from, to, error);
    if (!error)
        return true;
    if (error != std::errc::cross_device_link)
        return false;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    if (error) {
        std::error_code ignored;
        fs::remove_all(to, ignored);
        return false;
    }
    fs::remove_all(from, error);
    return !error;
}

}  // namespace Platform
