#include "base/platform/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

int OpenRegularFile(const std::string& path, bool followLink)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0)
        return -1;
    struct stat info{};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    // Reads of a regular file never wait anyway; the flag was only there for the open.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int OpenOwnFile(const std::string& path, uint64_t maxBytes, uint64_t* size)
{
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return -1;
    struct stat info{};
    if (fstat(fd, &info) != 0 || info.st_nlink != 1 || info.st_uid != geteuid() ||
        static_cast<uint64_t>(info.st_size) > maxBytes) {
        close(fd);
        return -1;
    }
    if (size != nullptr)
        *size = static_cast<uint64_t>(info.st_size);
    return fd;
}

bool IsRegularFile(const std::string& path)
{
    struct stat info{};
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool WriteAll(int fd, std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (put == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

bool ReadAll(int fd, std::string& out, size_t limit)
{
    char chunk[65536];
    size_t read = 0;
    while (read <= limit) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        out.append(chunk, static_cast<size_t>(got));
        read += static_cast<size_t>(got);
    }
    return true;
}

namespace {

// 64 MiB at a time: a cancelled copy of a large file ends within a fraction of a second.
constexpr size_t kCopyPiece = size_t{64} << 20;
// What one call copies: the kernel may not give the processor up inside a call, and a copy
// between cached pages runs at gigabytes a second; a few milliseconds at most, so the window
// and the display server are never kept waiting for a core.
constexpr size_t kCopyCall = size_t{4} << 20;

// A copy of gigabytes through the page cache would otherwise leave them dirty for the kernel's
// flusher to write all at once, at its own priority, and push everything else out of memory
// (the window's own code among it, read back from a disk busy with the copy). Each piece is
// written back by the copying thread, at its priority, and the one before it waited for, so at
// most two pieces are dirty; the source's pages, never read again here, go at once. The copy's
// stay cached, clean: its decoder reads them next.
class Writeback {
public:
    // Both descriptors stand at `start` of their files.
    Writeback(int in, int out, off_t start) : in_(in), out_(out), pieceStart_(start), done_(start) {}

    // `bytes` more were copied; true when that completed a piece.
    bool Copied(off_t bytes)
    {
        done_ += bytes;
        if (done_ - pieceStart_ < static_cast<off_t>(kCopyPiece))
            return false;
        const off_t length = done_ - pieceStart_;
        sync_file_range(out_, pieceStart_, length, SYNC_FILE_RANGE_WRITE);
        if (previousLength_ > 0)
            sync_file_range(out_, previousStart_, previousLength_,
                            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
        posix_fadvise(in_, pieceStart_, length, POSIX_FADV_DONTNEED);
        previousStart_ = pieceStart_;
        previousLength_ = length;
        pieceStart_ = done_;
        return true;
    }

private:
    const int in_;
    const int out_;
    off_t pieceStart_;
    off_t done_;
    off_t previousStart_ = 0;
    off_t previousLength_ = 0;
};

// Copies what remains of `in` to `out` through this process's memory: for file systems the
// kernel cannot copy between.
bool CopyThroughMemory(int in, int out, const std::function<bool()>& cancelled)
{
    std::vector<char> chunk(1 << 20);
    Writeback writeback(in, out, lseek(out, 0, SEEK_CUR));
    for (;;) {
        const ssize_t got = read(in, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        if (!WriteAll(out, std::string_view(chunk.data(), static_cast<size_t>(got))))
            return false;
        if (writeback.Copied(got) && cancelled && cancelled()) {
            errno = ECANCELED;
            return false;
        }
    }
}

bool CopyContent(int in, int out, const std::function<bool()>& cancelled)
{
    Writeback writeback(in, out, 0);
    for (;;) {
        if (cancelled && cancelled()) {
            errno = ECANCELED;
            return false;
        }
        const ssize_t copied = copy_file_range(in, nullptr, out, nullptr, kCopyCall, 0);
        if (copied == 0)
            return true;
        if (copied > 0) {
            writeback.Copied(copied);
            continue;
        }
        if (errno == EINTR)
            continue;
        // Not between these file systems (or not on this kernel): nothing was copied by this
        // call, and both offsets are where the last piece ended.
        if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)
            return CopyThroughMemory(in, out, cancelled);
        return false;
    }
}

}  // namespace

bool CopyRegularFile(const std::string& from, const std::string& to, bool followLink, const std::function<bool()>& cancelled)
{
    const int in = OpenRegularFile(from, followLink);
    if (in < 0)
        return false;
    struct stat info{};
    fstat(in, &info);
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    // The first failure is the one the caller hears of.
    int failure = out >= 0 ? 0 : errno;
    if (out >= 0) {
        if (!CopyContent(in, out, cancelled))
            failure = errno != 0 ? errno : EIO;
        if (fchmod(out, info.st_mode & 07777) != 0 && failure == 0)
            failure = errno;
        if (close(out) != 0 && failure == 0)
            failure = errno;
    }
    close(in);
    errno = failure;
    return failure == 0;
}
