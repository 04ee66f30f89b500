#include "maintenance/UpdateCheck.h"

#include "base/AppPaths.h"
#include "base/CrashReporter.h"
#include "base/Config.h"
#include "base/BackgroundThread.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/net/HttpRequest.h"
#include "base/net/JsonText.h"
#include "maintenance/UpdateReport.h"
#include "maintenance/MaintenanceEndpoints.h"

#include <curl/curl.h>
#include <openssl/evp.h>

#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#include <pthread.h>
#include <mutex>
#include <thread>

namespace {

// A directory tree deeper than this under the program folder is not an installation.
constexpr int kMaxScanDepth = 64;

uint8_t HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<uint8_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<uint8_t>(c - 'A' + 10);
    return 0;
}

// GET with the update server's options; returns the response code (0 when nothing came back).
// Replies beyond the transport's cap are not an update server talking; the transfer is cut off.
long HttpGet(const std::string& url, std::string& body)
{
    body.clear();
    HttpRequest http;
    http.UseBackgroundLimits();
    http.SetAcceptEncoding("deflate");
    http.SetUserAgent(curl_version());
    const int32_t result = http.Get(url, nullptr, nullptr, &body);
    if (result != CURLE_OK)
        WriteLog(Warning, LogTag::kUpdateCheckHttpGet, "%s: %s%s", url.c_str(),
                 curl_easy_strerror(static_cast<CURLcode>(result)), http.ReplyTooLarge() ? " (reply too large)" : "");
    return http.LastStatus();
}

}  // namespace

struct UpdateCheck::State {
    std::string exeDir;
    std::string latestBody;
    std::string versionBody;
    std::map<std::string, UpdateFileInfo> localFiles;
    Json::Value latestManifest;
    Json::Value versionReply;
    UpdateCheck::Report report;
    std::vector<UpdateFileInfo> updateList;
    std::string updateUrl;
    std::string appName;

    // The strings that other threads read.
    mutable std::mutex published;
    std::string installedKey;
    std::string latestVersion;
    std::string minimumRequired;

    void Post(UpdateReportKind kind, std::string text = {}, std::string value = {})
    {
        UpdateCheck::Report to;
        {
            std::lock_guard<std::mutex> guard(published);
            to = report;
        }
        if (to)
            to(UpdateReport{kind, std::move(text), std::move(value)});
    }
    void PostText(UpdateReportKind kind, std::string text) { Post(kind, std::move(text)); }
    void PostValue(UpdateReportKind kind, std::string value) { Post(kind, {}, std::move(value)); }

    std::string Get(std::string State::*field) const
    {
        std::lock_guard<std::mutex> guard(published);
        return this->*field;
    }
    void Set(std::string State::*field, std::string value)
    {
        std::lock_guard<std::mutex> guard(published);
        this->*field = std::move(value);
    }

    void RunCheck();
    bool CheckRemoteVersion();
    bool ReadVersionReply(const std::string& body);
    bool LoadLocalManifest();
    void ScanInstallFolder() { ScanDirectory(exeDir, 0); }
    void ScanDirectory(const std::string& dir, int depth);
    void AddLocalFile(const std::string& path, uint32_t size);
    bool FetchLatestManifest();
    bool ReadLatestManifest(const std::string& body);
    void CompareManifest();
    UpdateFileInfo ParseFileItem(const Json::Value& item) const;
    bool InstalledBefore(std::string State::*field) const
    {
        std::lock_guard<std::mutex> guard(published);
        return installedKey < this->*field;
    }
};

void UpdateCheck::State::RunCheck()
{
    if (!CheckRemoteVersion())
        return;
    if (!LoadLocalManifest())
        ScanInstallFolder();
    if (!InstalledBefore(&State::latestVersion)) {
        Post(kUpdateNotNeeded);
        return;
    }
    if (!FetchLatestManifest())
        return;
    CompareManifest();
}

bool UpdateCheck::State::CheckRemoteVersion()
{
    const long code = HttpGet(updateUrl + "/version/" + appName, versionBody);
    const bool known = ReadVersionReply(versionBody);
    if (code != 200)
        PostText(kUpdateCheckFailed, "cannot get remote version");
    if (known) {
        PostValue(kUpdateVersionKnown, Get(&State::latestVersion));
        return true;
    }
    PostText(kUpdateCheckFailed, "无法获取远程服务器软件版本");
    return false;
}

bool UpdateCheck::State::ReadVersionReply(const std::string& body)
{
    ParseJson(body, versionReply);
    const Json::Value& reply = versionReply;
    if (!reply.isObject() || !reply["latest-version"].isString() || !reply["minimum-required"].isString())
        return false;
    std::lock_guard<std::mutex> guard(published);
    latestVersion = reply["latest-version"].asString();
    minimumRequired = reply["minimum-required"].asString();
    return true;
}

bool UpdateCheck::State::LoadLocalManifest()
{
    FILE* file = std::fopen((AppPaths::GetUpdateDataDir() + "/ver").c_str(), "rbe");
    if (file == nullptr)
        return false;
    std::string content;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && content.size() < HttpRequest::kMaxResponseBytes)
        content.append(chunk, got);
    std::fclose(file);

    Json::Value parsed;
    ParseJson(content, parsed);
    const Json::Value& manifest = parsed;
    if (manifest.isObject() && manifest["version"].isString())
        Set(&State::installedKey, manifest["version"].asString() + ".json");
    if (manifest.isObject() && manifest["files"].isArray()) {
        for (const Json::Value& item : manifest["files"]) {
            UpdateFileInfo info = ParseFileItem(item);
            localFiles.emplace(info.relPath, std::move(info));
        }
    }
    return true;
}

void UpdateCheck::State::ScanDirectory(const std::string& dir, int depth)
{
    PostValue(kUpdateScanningFolder, dir);
    if (depth >= kMaxScanDepth) {
        WriteLog(Warning, LogTag::kUpdateCheckScanDirectory, "%s: too deep, not scanned", dir.c_str());
        return;
    }
    DIR* folder = opendir(dir.c_str());
    if (folder == nullptr)
        return;
    std::map<std::string, unsigned char> entries;  // by name, for a stable order
    while (const dirent* entry = readdir(folder))
        entries.emplace(entry->d_name, entry->d_type);
    closedir(folder);
    for (const auto& [name, type] : entries) {
        const std::string path = dir + "/" + name;
        struct stat info{};
        // Symbolic links are not followed into folders: a link loop would never end.
        if (lstat(path.c_str(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode)) {
            if (name == "." || name == ".." || name.compare(0, 3, "log") == 0)
                continue;
            ScanDirectory(path, depth + 1);
        } else if (S_ISREG(info.st_mode) || (S_ISLNK(info.st_mode) && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))) {
            AddLocalFile(path, static_cast<uint32_t>(info.st_size));
        }
    }
}

void UpdateCheck::State::AddLocalFile(const std::string& path, uint32_t size)
{
    UpdateFileInfo info;
    info.fullPath = path;
    info.relPath = path.size() > exeDir.size() + 1 ? path.substr(exeDir.size() + 1) : std::string();
    info.size = size;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha1(), nullptr);
    if (FILE* file = std::fopen(path.c_str(), "rbe")) {
        unsigned char block[4096];
        uint32_t left = size;
        while (left > 0) {
            const size_t got = std::fread(block, 1, std::min<size_t>(sizeof block, left), file);
            if (got == 0)
                break;
            EVP_DigestUpdate(context, block, got);
            left -= static_cast<uint32_t>(got);
        }
        std::fclose(file);
    }
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, info.digest.data(), &length);
    EVP_MD_CTX_free(context);
    localFiles.emplace(info.relPath, std::move(info));
}

bool UpdateCheck::State::FetchLatestManifest()
{
    const long code = HttpGet(updateUrl + "/latest/" + appName, latestBody);
    // Parsed once the whole body is in: the value after the last chunk is the one that counts,
    // and parsing after every chunk would be quadratic in the reply's size.
    const bool read = ReadLatestManifest(latestBody);
    if (code != 200)
        PostText(kUpdateCheckFailed, "cannot get latest version");
    return read;
}

bool UpdateCheck::State::ReadLatestManifest(const std::string& body)
{
    JsonParseError error;
    if (!ParseJson(body, latestManifest, &error))
        std::fprintf(stderr, "parse latest version error: %s\n", error.text.c_str());
    return latestManifest.isObject();
}

void UpdateCheck::State::CompareManifest()
{
    if (latestManifest.isNull())
        return;
    const Json::Value& manifest = latestManifest;
    const Json::Value files = manifest.isObject() && manifest["files"].isArray() ? manifest["files"] : Json::Value(Json::arrayValue);
    for (const Json::Value& item : files) {
        UpdateFileInfo info = ParseFileItem(item);
        const auto installed = localFiles.find(info.relPath);
        if (installed != localFiles.end()) {
            if (installed->second.digest != info.digest) {
                std::fprintf(stderr, "file %s need to be updated\n", info.relPath.c_str());
                updateList.push_back(info);
            }
            localFiles.erase(installed);
        } else {
            std::fprintf(stderr, "file %s is a new file\n", info.relPath.c_str());
            updateList.push_back(info);
        }
    }
    Post(!updateList.empty() || !localFiles.empty() ? kUpdateNeeded : kUpdateNotNeeded);
}

UpdateFileInfo UpdateCheck::State::ParseFileItem(const Json::Value& item) const
{
    UpdateFileInfo info;
    if (!item.isObject())
        return info;
    if (item["path"].isString())
        info.relPath = item["path"].asString();
    const Json::Value& size = item["size"];
    if (size.isUInt())
        info.size = size.asUInt();
    else if (size.isNumeric() && size.asDouble() > 0)
        info.size = size.asDouble() >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(size.asDouble());
    info.fullPath = exeDir + "/" + info.relPath;
    // A digest shorter than 40 digits leaves the missing bytes 0; nothing past its end is read.
    const std::string digest = item["digest"].isString() ? item["digest"].asString() : std::string();
    for (size_t i = 0; i < info.digest.size() && 2 * i < digest.size(); ++i) {
        const uint8_t high = HexValue(digest[2 * i]);
        const uint8_t low = 2 * i + 1 < digest.size() ? HexValue(digest[2 * i + 1]) : 0;
        info.digest[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return info;
}

UpdateCheck::UpdateCheck() : state_(std::make_shared<State>())
{
    state_->exeDir = AppPaths::GetModuleDir();
    state_->updateUrl = ReadUpdateConfigString("UpdateUrl", kDefaultUpdateUrl, 50);
    state_->appName = ReadUpdateConfigString("AppName", "Talvora", 50);
}

UpdateCheck::~UpdateCheck() = default;

void UpdateCheck::SetReport(Report report)
{
    std::lock_guard<std::mutex> guard(state_->published);
    state_->report = std::move(report);
}

bool UpdateCheck::IsEnabled()
{
    return ReadUpdateConfigString("UpdateCheck", "1", 10) != "0";
}

bool UpdateCheck::StartCheck()
{
    if (!IsEnabled()) {
        WriteLog(Info, LogTag::kUpdateCheckStart, "%s", "the update check is off (UpdateCheck=0)");
        return false;
    }
    // libcurl's global set-up waits until here, so the first window does not wait for it.
    HttpRequest::SetUpLibrary();
    // The thread shares the state, so the checker may go away while the thread still runs.
    return StartBackgroundThread("update check", [state = state_] { state->RunCheck(); });
}

bool UpdateCheck::IsUpdateAvailable() const { return state_->InstalledBefore(&State::latestVersion); }
bool UpdateCheck::IsUpdateRequired() const { return state_->InstalledBefore(&State::minimumRequired); }
bool UpdateCheck::HasLatestVersion() const { return !state_->Get(&State::latestVersion).empty(); }
std::string UpdateCheck::LatestVersion() const { return state_->Get(&State::latestVersion); }
std::string UpdateCheck::InstalledKey() const { return state_->Get(&State::installedKey); }

void UpdateCheck::RunCheck() { state_->RunCheck(); }
bool UpdateCheck::CheckRemoteVersion() { return state_->CheckRemoteVersion(); }
bool UpdateCheck::LoadLocalManifest() { return state_->LoadLocalManifest(); }
void UpdateCheck::ScanInstallFolder() { state_->ScanInstallFolder(); }
bool UpdateCheck::FetchLatestManifest() { return state_->FetchLatestManifest(); }
bool UpdateCheck::ReadVersionReply(const std::string& body) { return state_->ReadVersionReply(body); }
bool UpdateCheck::ReadLatestManifest(const std::string& body) { return state_->ReadLatestManifest(body); }
void UpdateCheck::CompareManifest() { state_->CompareManifest(); }
UpdateFileInfo UpdateCheck::ParseFileItem(const Json::Value& item) const { return state_->ParseFileItem(item); }
const std::vector<UpdateFileInfo>& UpdateCheck::UpdateList() const { return state_->updateList; }
const std::map<std::string, UpdateFileInfo>& UpdateCheck::LocalFiles() const { return state_->localFiles; }
