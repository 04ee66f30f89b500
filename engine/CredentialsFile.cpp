#include "engine/CredentialsFile.h"

#include "base/AppPaths.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/net/JsonText.h"
#include "base/platform/RegularFile.h"
#include "base/platform/ReplaceFile.h"
#include "base/platform/SystemInfo.h"
#include "engine/CredentialPool.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <json/value.h>
#include <memory>
#include <regex>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// JsonCpp's messages can quote pieces of the document, which may be a secret; only the place
// of the first error is passed on.
std::string ErrorPlace(const std::string& errors)
{
    static const std::regex place(R"(Line (\d+), Column (\d+))");
    std::smatch match;
    if (std::regex_search(errors, match, place))
        return "line " + match[1].str() + ", column " + match[2].str();
    return "unknown place";
}

bool Parse(const std::string& text, Json::Value& root, std::string& problem)
{
    JsonParseError error;
    if (ParseJson(text, root, &error, JsonRules::kEdited))
        return true;
    problem = error.threw ? "it is not valid JSON (nested too deeply)"
                          : "it is not valid JSON (" + ErrorPlace(error.text) + ")";
    return false;
}

// Checks one member of entry `number` (1-based); the value itself is never quoted.
bool TakeString(const Json::Value& entry, const char* name, size_t number, std::string& out, std::string& problem)
{
    const Json::Value& value = entry[name];
    if (value.isNull()) {
        problem = "entry " + std::to_string(number) + " has no \"" + name + "\"";
        return false;
    }
    if (!value.isString()) {
        problem = "\"" + std::string(name) + "\" of entry " + std::to_string(number) + " is not a string";
        return false;
    }
    out = value.asString();
    if (out.empty()) {
        problem = "\"" + std::string(name) + "\" of entry " + std::to_string(number) + " is empty";
        return false;
    }
    return true;
}

bool Extract(const Json::Value& root, std::vector<CredentialPair>& pairs, std::string& problem)
{
    if (!root.isArray()) {
        problem = "the top level is not an array of credential objects";
        return false;
    }
    for (Json::ArrayIndex i = 0; i < root.size(); ++i) {
        const Json::Value& entry = root[i];
        const size_t number = i + 1;
        if (!entry.isObject()) {
            problem = "entry " + std::to_string(number) + " is not an object";
            return false;
        }
        CredentialPair pair;
        if (!TakeString(entry, "api_key", number, pair.apiKey, problem) ||
            !TakeString(entry, "secret_key", number, pair.secretKey, problem))
            return false;
        pairs.push_back(std::move(pair));
    }
    return true;
}

CredentialsFile::Result Reject(const std::string& path, const std::string& problem, std::vector<CredentialPair>& pairs)
{
    pairs.clear();
    WriteLog(Warning, LogTag::kCredentialsFileRead, "%s is not used: %s; the built-in credential pair stays in use", path.c_str(), problem.c_str());
    return CredentialsFile::Result::Invalid;
}

}  // namespace

std::string CredentialsFile::DefaultPath()
{
    return AppPaths::GetAppDataDir() + "/" + kFileName;
}

CredentialsFile::Result CredentialsFile::Read(const std::string& path, std::vector<CredentialPair>& pairs)
{
    pairs.clear();
    const int savedErrno = errno;
    // Non-blocking: a FIFO under the name would otherwise hold up the start for good. Close-on-exec,
    // so the secret keys' file never stays open in a child program.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        errno = savedErrno;
        if (error == ENOENT || error == ENOTDIR) {
            WriteLog(Info, LogTag::kCredentialsFileRead, "%s not found; the built-in credential pair is used", path.c_str());
            return Result::Missing;
        }
        return Reject(path, "it cannot be read (" + Platform::ErrorText(error) + ")", pairs);
    }
    struct stat info{};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = savedErrno;
        return Reject(path, "it is not a regular file", pairs);
    }
    if (info.st_size > kMaxSize) {
        close(fd);
        errno = savedErrno;
        return Reject(path, "it is larger than " + std::to_string(kMaxSize) + " bytes", pairs);
    }
    std::string text;
    ReadAll(fd, text, static_cast<size_t>(kMaxSize));  // a file grown past the limit meanwhile is read no further
    close(fd);
    errno = savedErrno;

    Json::Value root;
    std::string problem;
    if (!Parse(text, root, problem) || !Extract(root, pairs, problem))
        return Reject(path, problem, pairs);
    WriteLog(Info, LogTag::kCredentialsFileRead, "%zu credential pair(s) read from %s", pairs.size(), path.c_str());
    return Result::Loaded;
}

bool CredentialsFile::Write(const std::string& path, const std::vector<CredentialPair>& pairs, std::string* problem)
{
    const auto fail = [problem](const std::string& why) {
        if (problem != nullptr)
            *problem = why;
        return false;
    };
    const int savedErrno = errno;
    if (pairs.empty()) {
        if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            const int error = errno;
            errno = savedErrno;
            return fail("it cannot be removed (" + Platform::ErrorText(error) + ")");
        }
        errno = savedErrno;
        WriteLog(Info, LogTag::kCredentialsFileWrite, "%s removed; the built-in credential pair is used", path.c_str());
        return true;
    }
    Json::Value root(Json::arrayValue);
    for (size_t i = 0; i < pairs.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        if (pairs[i].apiKey.empty())
            return fail("\"api_key\" of entry " + number + " is empty");
        if (pairs[i].secretKey.empty())
            return fail("\"secret_key\" of entry " + number + " is empty");
        Json::Value entry(Json::objectValue);
        entry["api_key"] = pairs[i].apiKey;
        entry["secret_key"] = pairs[i].secretKey;
        root.append(entry);
    }
    if (!Platform::ReplaceFile(path, WriteJsonText(root) + "\n", 0600)) {
        const int error = errno;
        errno = savedErrno;
        return fail("it cannot be written (" + Platform::ErrorText(error) + ")");
    }
    WriteLog(Info, LogTag::kCredentialsFileWrite, "%zu credential pair(s) written to %s", pairs.size(), path.c_str());
    return true;
}

CredentialsFile::Result CredentialsFile::Apply(CredentialPool& pool, const std::string& path)
{
    std::vector<CredentialPair> pairs;
    const Result result = Read(path, pairs);
    if (result == Result::Loaded)
        pool.Replace(pairs);
    return result;
}
