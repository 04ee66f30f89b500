#include "engine/ResultFileNames.h"

#include "base/TextUtils.h"
#include "base/platform/RegularFile.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Simple Unicode case folding, code point by code point; bytes that are no UTF-8 stay as they are.
std::string Folded(const std::string& name)
{
    std::string folded;
    folded.reserve(name.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    const auto length = static_cast<int32_t>(name.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            folded.append(name, static_cast<size_t>(start), static_cast<size_t>(i - start));
            continue;
        }
        c = u_foldCase(c, U_FOLD_CASE_DEFAULT);
        uint8_t out[U8_MAX_LENGTH];
        int32_t used = 0;
        U8_APPEND_UNSAFE(out, used, c);
        folded.append(reinterpret_cast<const char*>(out), static_cast<size_t>(used));
    }
    return folded;
}

}  // namespace

ResultFileNames::ResultFileNames(const std::string& saveFolder, const std::string& ending)
    : folder(saveFolder), extension(ending)
{
    if (folder.empty())
        return;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            MarkTaken(name);
    }
    closedir(dir);
}

std::string ResultFileNames::BaseName(const std::string& audioPath)
{
    const size_t slash = audioPath.rfind('/');
    const std::string fileName = slash == std::string::npos ? audioPath : audioPath.substr(slash + 1);
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

std::string ResultFileNames::FittingBaseName(const std::string& audioPath) const
{
    // Room for " (NNNNNN)" and the extension.
    constexpr size_t kNameMax = 255;
    constexpr size_t kCounterRoom = 9;
    const size_t room = kNameMax - kCounterRoom - std::min(kNameMax - kCounterRoom, extension.size());
    const std::string base = BaseName(audioPath);
    return base.substr(0, TextUtils::Utf8PrefixLength(base, room));
}

std::string ResultFileNames::HoldingAlready(const std::string& audioPath, const std::string& bytes) const
{
    if (folder.empty())
        return {};
    const std::string base = FittingBaseName(audioPath);
    std::string name = base;
    for (int n = 2; IsTaken(name + extension); ++n) {
        // Only a regular file of the same size is read, and only as far as that size.
        const int fd = open((folder + "/" + name + extension).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            struct stat info{};
            std::string content;
            const bool same = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                              static_cast<size_t>(info.st_size) == bytes.size() &&
                              ReadAll(fd, content, bytes.size() + 1) && content == bytes;
            close(fd);
            if (same)
                return name;
        }
        name = base + " (" + std::to_string(n) + ")";
    }
    return {};
}

std::string ResultFileNames::Take(const std::string& audioPath)
{
    const std::string base = FittingBaseName(audioPath);
    std::string name = base;
    for (int n = 2; IsTaken(name + extension); ++n)
        name = base + " (" + std::to_string(n) + ")";
    MarkTaken(name + extension);
    return name;
}

bool ResultFileNames::IsTaken(const std::string& fileName) const
{
    return used.count(Folded(fileName)) != 0;
}

void ResultFileNames::MarkTaken(const std::string& fileName)
{
    used.insert(Folded(fileName));
}
