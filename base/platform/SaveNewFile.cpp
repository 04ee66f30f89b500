#include "base/platform/SaveNewFile.h"

#include "base/platform/RegularFile.h"
#include "base/platform/SystemInfo.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {

// Past this many taken names the folder is being filled faster than we can look.
constexpr int kMaxNames = 10000;

enum class Naming { Done, Taken, Failed };

// A private file in `folder` under a fresh hidden name; -1 with errno when it cannot be made.
int CreateTemporary(const std::string& folder, std::string& path)
{
    static std::atomic<unsigned> counter{0};
    thread_local std::minstd_rand random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, ".talvora-%d-%u-%08x.tmp", static_cast<int>(getpid()), counter++,
                      static_cast<unsigned>(random()));
        path = folder + "/" + name;
        // 0666 before the umask, as any other file the user makes.
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool NoHardLinks(int error)
{
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK;
}

// Gives the finished temporary file the name `target`, unless something already has that name.
Naming GiveName(const std::string& temp, const std::string& target)
{
    // link() never replaces a name, unlike rename(), whatever another process does meanwhile.
    if (link(temp.c_str(), target.c_str()) == 0) {
        unlink(temp.c_str());
        return Naming::Done;
    }
    if (errno == EEXIST)
        return Naming::Taken;
    if (!NoHardLinks(errno))
        return Naming::Failed;
    // vfat, exFAT and some network file systems have no hard links.
    if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return Naming::Done;
    if (errno == EEXIST)
        return Naming::Taken;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP)
        return Naming::Failed;
    // Without either, the name is claimed by an empty file of our own first, and only that claim
    // is ever replaced.
    const int claim = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (claim < 0)
        return errno == EEXIST ? Naming::Taken : Naming::Failed;
    close(claim);
    if (rename(temp.c_str(), target.c_str()) == 0)
        return Naming::Done;
    const int error = errno;
    unlink(target.c_str());
    errno = error;
    return Naming::Failed;
}

}  // namespace

std::string SaveNewFileResult::Reason() const
{
    return Platform::ErrorText(error);
}

SaveNewFileResult SaveNewFile(const std::string& folder, const std::function<std::string()>& nextName,
                              const std::string& bytes)
{
    SaveNewFileResult result;
    const int saved = errno;
    const auto fail = [&](SaveNewFileResult::Step step) {
        result.failedAt = step;
        result.error = errno != 0 ? errno : EIO;
    };
    std::string temp;
    const int fd = CreateTemporary(folder, temp);
    if (fd < 0) {
        fail(SaveNewFileResult::Step::Create);
        errno = saved;
        return result;
    }
    // A full disk shows in any of these: a short or failed write, the flush, or the close.
    bool complete = WriteAll(fd, bytes);
    if (!complete)
        fail(SaveNewFileResult::Step::Write);
    if (complete && fsync(fd) != 0) {
        complete = false;
        fail(SaveNewFileResult::Step::Flush);
    }
    if (close(fd) != 0 && complete) {
        complete = false;
        fail(SaveNewFileResult::Step::Flush);
    }
    for (int attempt = 0; complete && !result.saved; ++attempt) {
        if (attempt == kMaxNames) {
            errno = EEXIST;
            complete = false;
            fail(SaveNewFileResult::Step::Name);
            break;
        }
        result.name = nextName();
        const Naming naming = GiveName(temp, folder + "/" + result.name);
        if (naming == Naming::Done) {
            result.saved = true;
        } else if (naming == Naming::Failed) {
            complete = false;
            fail(SaveNewFileResult::Step::Name);
        }
    }
    if (!result.saved) {
        unlink(temp.c_str());
    } else {
        // The name itself is on the disk only once the folder is.
        const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            fsync(dir);
            close(dir);
        }
    }
    errno = saved;
    return result;
}
