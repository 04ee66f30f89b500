#include "engine/JobFiles.h"

#include "base/AppPaths.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/OrderedTurns.h"
#include "base/TextUtils.h"
#include "base/platform/RegularFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Copies are bound by the disk: started all at once they only share it, and each file would be
// ready as late as the last. Two at a time, in the order they were started: one slow source (a
// network share) does not hold up the rest.
OrderedTurns& CopyTurns()
{
    static OrderedTurns turns(2);
    return turns;
}

// Copies byte for byte, replacing `to`. Only a regular file (after following links) is taken: a
// FIFO would block the caller for good and a device such as /dev/zero never ends. On failure
// errno tells why, for the log.
bool CopyFile(const std::string& from, const std::string& to, const std::function<bool()>& cancelled)
{
    struct stat info{};
    if (stat(from.c_str(), &info) != 0)
        return false;
    if (!S_ISREG(info.st_mode)) {
        WriteLog(Warning, LogTag::kGetCopyByFile, "%s", ("not a regular file: " + from).c_str());
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    // A new file, not the old one rewritten: a decoder of the file's previous start may still
    // be reading the old copy on its way out. Checked again on the open descriptor, as the file
    // may change in between.
    unlink(to.c_str());
    const OrderedTurns::Held turn(CopyTurns(), cancelled);
    if (!turn) {
        errno = ECANCELED;
        return false;
    }
    return CopyRegularFile(from, to, true, cancelled);
}

}  // namespace

namespace JobFiles {

std::string GetCopyByFile(const std::string& path, const std::function<bool()>& cancelled)
{
    if (path.size() < 4)
        return {};
    const std::string folder = AppPaths::GetTempDir() + "/" + TextUtils::Md5Hex(path);
    const int saved = errno;
    mkdir(folder.c_str(), 0700);
    errno = saved;
    std::string suffix = path.substr(path.size() - 4);
    // The copy's name only needs to be a file name; ffmpeg goes by the content. A quote or a
    // separator taken over from the source would break the argument line or the folder, and the
    // four bytes may cut a multi-byte character in two, which is no valid name to hand on.
    for (char& c : suffix) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '/' || byte < 0x20 || byte >= 0x7F)
            c = '_';
    }
    const std::string copy = folder + "/input" + suffix;
    if (!CopyFile(path, copy, cancelled)) {
        if (errno == ECANCELED) {
            unlink(copy.c_str());
            return {};
        }
        WriteLog(Error, LogTag::kGetCopyByFile, "%s", ("CopyFileA failed. " + path + " to " + copy).c_str());
        return {};
    }
    return copy;
}

void RemoveSegmentFiles(const std::string& jobFolder)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(jobFolder, error)) {
        const std::string name = entry.path().filename().string();
        const size_t digits = name.find_first_not_of("0123456789");
        if (digits > 0 && digits != std::string::npos && name.substr(digits) == ".pcm") {
            std::error_code ignored;
            std::filesystem::remove(entry.path(), ignored);
        }
    }
}

}  // namespace JobFiles

int ReadFileContent(const std::string& path, std::string* out)
{
    FILE* file = std::fopen(path.c_str(), "rbe");
    if (file == nullptr)
        return -1;
    std::string content;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0)
            content.reserve(static_cast<size_t>(size));
        std::fseek(file, 0, SEEK_SET);
    }
    char chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        content.append(chunk, got);
    std::fclose(file);
    if (out != nullptr)
        *out = std::move(content);
    return 0;
}
