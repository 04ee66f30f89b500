#include "base/platform/RunFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {
namespace {

constexpr char kLockName[] = "/.lock";
// Each attempt only fails when a sweeping run took the fresh folder for an ended one.
constexpr int kAttempts = 8;

int OpenLock(const std::string& folder)
{
    return open((folder + kLockName).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
}

}  // namespace

RunFolder::~RunFolder()
{
    Release();
}

bool RunFolder::Make(const std::string& parent)
{
    Release();
    const int saved = errno;
    for (int attempt = 0; attempt < kAttempts && lockFd_ < 0; ++attempt) {
        mkdir(parent.c_str(), 0700);
        std::string folder = parent + "/run-" + std::to_string(getpid()) + "-XXXXXX";
        if (mkdtemp(folder.data()) == nullptr) {
            if (errno == ENOENT)
                continue;  // the parent went away with the last run that left: made again
            break;
        }
        // A sweeping run may see the folder before its lock exists and take it for an ended
        // one: whoever locks first wins, and a folder deleted by the sweeper shows as a lock
        // file without a name.
        const int fd = OpenLock(folder);
        if (fd < 0)
            continue;
        struct stat info{};
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &info) == 0 && info.st_nlink > 0) {
            lockFd_ = fd;
            path_ = folder;
        } else {
            close(fd);
        }
    }
    errno = saved;
    return lockFd_ >= 0;
}

void RunFolder::Release()
{
    if (lockFd_ >= 0)
        close(lockFd_);
    lockFd_ = -1;
    path_.clear();
}

void RunFolder::ReleaseMoved(const std::string& movedTo)
{
    const int saved = errno;
    unlink((movedTo + kLockName).c_str());
    errno = saved;
    Release();
}

void RunFolder::SweepEnded(const std::string& parent, const std::string& keep)
{
    namespace fs = std::filesystem;
    const int saved = errno;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(parent, error)) {
        std::error_code ignored;
        if (!entry.is_directory(ignored) || entry.is_symlink(ignored) || entry.path().string() == keep)
            continue;
        const int fd = OpenLock(entry.path().string());
        if (fd < 0)
            continue;
        // Held while deleting, so a run making this very folder right now finds it gone.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            fs::remove_all(entry.path(), ignored);
        close(fd);
    }
    errno = saved;
}

}  // namespace Platform
