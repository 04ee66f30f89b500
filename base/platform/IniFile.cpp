#include "base/platform/IniFile.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/TextConvert.h"
#include "base/TextUtils.h"
#include "base/platform/RegularFile.h"
#include "base/platform/ReplaceFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Platform {
namespace {

struct Line {
    std::string text;  // without its line end
};

struct ParsedFile {
    std::vector<Line> lines;
    std::string lineEnd = "\n";
    bool endsWithLineEnd = true;
    bool hadBom = false;
};

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Whether something that is no regular file (a FIFO, a device, a folder) has the name.
bool IsOtherThanFile(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

// The file's content; none when it is missing or not a regular file. A FIFO or a device under
// the name is never waited on: a settings file is read at start-up and by every worker.
std::optional<std::string> ReadWholeFile(const std::string& path, const char* tag)
{
    const int fd = OpenRegularFile(path, true);
    if (fd < 0) {
        if (IsOtherThanFile(path))
            WriteLog(Warning, tag, "%s", (path + " is not a regular file; it is ignored").c_str());
        return std::nullopt;
    }
    std::string content;
    ReadAll(fd, content);  // what could be read is what there is
    close(fd);
    return content;
}

ParsedFile Parse(const std::string& content)
{
    ParsedFile parsed;
    std::string_view rest(content);
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") {
        parsed.hadBom = true;
        rest.remove_prefix(3);
    }
    bool lineEndKnown = false;
    parsed.endsWithLineEnd = rest.empty() || rest.back() == '\n';
    while (!rest.empty()) {
        const size_t newline = rest.find('\n');
        std::string_view line = rest.substr(0, newline);
        if (newline != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
            if (!lineEndKnown)
                parsed.lineEnd = "\r\n";
        }
        if (newline != std::string_view::npos)
            lineEndKnown = true;
        parsed.lines.push_back({std::string(line)});
        if (newline == std::string_view::npos)
            break;
        rest.remove_prefix(newline + 1);
    }
    return parsed;
}

std::optional<std::string_view> SectionName(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const size_t close = line.find(']');
    std::string_view inner = line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    return Trim(inner);
}

// Key and value of a "key=value" line; comments and lines without "=" have none.
bool SplitEntry(std::string_view line, std::string_view& key, std::string_view& value)
{
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#')
        return false;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = Trim(line.substr(0, equals));
    value = Trim(line.substr(equals + 1));
    // As the Windows readers do, one pair of surrounding quotes is not part of the value.
    if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') || (value.front() == '\'' && value.back() == '\'')))
        value = value.substr(1, value.size() - 2);
    return true;
}

std::optional<std::string> FindValue(const ParsedFile& parsed, const std::string& section, const std::string& key)
{
    bool inSection = false;
    for (const Line& line : parsed.lines) {
        if (const auto name = SectionName(line.text)) {
            inSection = SameTextIgnoringCase(*name, section);
            continue;
        }
        std::string_view entryKey, entryValue;
        if (inSection && SplitEntry(line.text, entryKey, entryValue) && SameTextIgnoringCase(entryKey, key))
            return std::string(entryValue);
    }
    return std::nullopt;
}

std::optional<std::string> LookUp(const std::string& section, const std::string& key, const std::string& path)
{
    const int saved = errno;
    const auto content = ReadWholeFile(path, LogTag::kIniFileRead);
    errno = saved;
    if (!content)
        return std::nullopt;
    return FindValue(Parse(*content), section, key);
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Render(const ParsedFile& parsed)
{
    std::string out;
    if (parsed.hadBom)
        out += "\xEF\xBB\xBF";
    for (size_t i = 0; i < parsed.lines.size(); ++i) {
        out += parsed.lines[i].text;
        if (i + 1 < parsed.lines.size() || parsed.endsWithLineEnd)
            out += parsed.lineEnd;
    }
    return out;
}

void SetEntry(ParsedFile& parsed, const std::string& section, const std::string& key, const std::string& newLine)
{
    // The entry a read would find is the one that changes.
    bool inSection = false;
    std::optional<size_t> insertAt;  // after the last entry of the first matching section
    bool firstSectionOpen = false;
    for (size_t i = 0; i < parsed.lines.size(); ++i) {
        const std::string& text = parsed.lines[i].text;
        if (const auto name = SectionName(text)) {
            inSection = SameTextIgnoringCase(*name, section);
            firstSectionOpen = inSection && !insertAt;
            if (firstSectionOpen)
                insertAt = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        std::string_view entryKey, entryValue;
        if (SplitEntry(text, entryKey, entryValue) && SameTextIgnoringCase(entryKey, key)) {
            parsed.lines[i].text = newLine;
            return;
        }
        if (firstSectionOpen && !Trim(text).empty())
            insertAt = i + 1;
    }
    if (insertAt) {
        parsed.lines.insert(parsed.lines.begin() + static_cast<std::ptrdiff_t>(*insertAt), Line{newLine});
        return;
    }
    parsed.lines.push_back({"[" + section + "]"});
    parsed.lines.push_back({newLine});
    parsed.endsWithLineEnd = true;
}

class FolderLock {
public:
    explicit FolderLock(const std::string& folder) : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (fd_ >= 0) {
            while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            close(fd_);  // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_;
};

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, int size, const std::string& path)
{
    if (size <= 0)
        return {};
    const auto found = LookUp(section, key, path);
    std::string value = ValidUtf8(found ? *found : defaultValue);
    value.resize(TextUtils::Utf8CharactersLength(value, static_cast<size_t>(size - 1)));
    return value;
}

int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& path)
{
    const auto found = LookUp(section, key, path);
    if (!found)
        return defaultValue;
    long long number = 0;
    for (const char c : *found) {
        if (c < '0' || c > '9')
            break;
        number = number * 10 + (c - '0');
        if (number > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(number);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path)
{
    return WritePrivateProfileStrings(section, {{key, value}}, path);
}

bool WritePrivateProfileStrings(const std::string& section, const std::vector<std::pair<std::string, std::string>>& entries,
                                const std::string& path)
{
    const int saved = errno;
    std::string target = path;
    // Write through a symbolic link to the file it names instead of replacing the link.
    char resolved[PATH_MAX];
    if (realpath(target.c_str(), resolved) != nullptr)
        target = resolved;

    bool ok = false;
    FolderLock lock(FolderOf(target));
    if (IsOtherThanFile(target)) {
        // Replacing it would take away what someone put there on purpose; writing to it could
        // wait for good.
        WriteLog(Warning, LogTag::kIniFileWrite, "%s", (target + " is not a regular file; the setting is not written").c_str());
    } else if (lock.Held()) {
        mode_t mode = 0644;
        struct stat info{};
        if (stat(target.c_str(), &info) == 0)
            mode = info.st_mode & 07777;
        const auto content = ReadWholeFile(target, LogTag::kIniFileWrite);
        ParsedFile parsed = content ? Parse(*content) : ParsedFile{};
        // The file is UTF-8 text: whatever a caller hands over is written as such.
        const std::string cleanSection = ValidUtf8(section);
        for (const auto& [key, value] : entries) {
            const std::string cleanKey = ValidUtf8(key);
            std::string cleanValue = ValidUtf8(value);
            for (char& c : cleanValue) {
                if (c == '\r' || c == '\n')
                    c = ' ';
            }
            SetEntry(parsed, cleanSection, cleanKey, cleanKey + "=" + cleanValue);
        }
        ok = ReplaceFile(target, Render(parsed), mode);
    }
    errno = saved;
    return ok;
}

}  // namespace Platform
