#include "maintenance/CrashReportCheck.h"

#include "base/AppPaths.h"
#include "base/CrashReporter.h"
#include "base/Config.h"
#include "base/BackgroundThread.h"
#include "base/LiveThreads.h"
#include "base/platform/DebugOutput.h"
#include "base/platform/RegularFile.h"
#include "maintenance/CrashReportUpload.h"
#include "maintenance/CreateZipFromFiles.h"
#include "maintenance/MaintenanceEndpoints.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <pthread.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

constexpr size_t kMaxDumps = 4;
constexpr size_t kMaxArchiveFiles = 20;
constexpr size_t kKeptReports = 20;
constexpr long long kStampInterval = 60;

std::string LocalTime(const char* format)
{
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char buffer[100] = {};
    strftime(buffer, sizeof buffer, format, &local);
    return buffer;
}

// Leading decimal digits as a number, 0 without any, as the stamp has always been read.
long long LeadingNumber(const std::string& text)
{
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || value > (INT64_MAX - 9) / 10)
            break;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool IsReadable(const std::string& path)
{
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

// A file that may go out as a report or beside one (see OpenOwnFile): anyone who can write into
// the folder could plant a link or a second name of another file (the credentials, say), a FIFO
// (whose open would wait for a writer) or a sparse file of gigabytes. Its birth time where the
// file system records it, else its modification time, in nanoseconds; nothing when it is not one.
std::optional<long long> OwnSmallFileTime(const std::string& path)
{
    const int fd = OpenOwnFile(path, kMaxCrashReportBytes);
    if (fd < 0)
        return std::nullopt;
    struct statx info{};
    long long time = 0;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &info) == 0) {
        const statx_timestamp& stamp = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_mtime;
        time = static_cast<long long>(stamp.tv_sec) * 1000000000LL + stamp.tv_nsec;
    }
    close(fd);
    return time;
}

}  // namespace

void CheckUploadLog(const std::string& appDir)
{
    std::vector<std::string> reports = ListNewestFiles(appDir + "/crashDumps", SIZE_MAX);
    // Reports the server never takes would otherwise pile up run after run.
    for (size_t i = kKeptReports; i < reports.size(); ++i)
        unlink(reports[i].c_str());
    reports.resize(std::min(reports.size(), kMaxDumps));
    if (reports.empty() || LiveThreads::Ending())
        return;
    const std::string now = LocalTime("%Y%m%d%H%M");
    const std::string last = ReadConfigString("UploadLogTime", "0", 50);
    if (LeadingNumber(now) - LeadingNumber(last) < kStampInterval)
        return;
    // Stamped before the attempt: a server that fails is asked again only in the next interval.
    WriteConfigString("UploadLogTime", now);

    std::vector<std::string> files = reports;
    files.push_back(appDir + "/Talvora.log");
    files.push_back(appDir + "/config.ini");
    if (!UploadLogFiles(files, LogUploadUrl()))
        return;
    for (const std::string& report : reports)
        unlink(report.c_str());
}

void StartUploadLogCheck(const std::string& appDir)
{
    StartBackgroundThread("log upload", [appDir] { CheckUploadLog(appDir); });
}

std::vector<std::string> ListNewestFiles(const std::string& folder, size_t max)
{
    // Keyed by time, then name: file times are coarse (a few milliseconds), and two reports of
    // one tick must both be listed. Report names are their stamps, so the later name is newer.
    std::set<std::pair<long long, std::string>, std::greater<>> byTime;
    // The folder itself must not be a link either: it could lead anywhere.
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (dir == nullptr && fd >= 0)
        close(fd);
    if (dir != nullptr) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "/" + name;
            if (const std::optional<long long> time = OwnSmallFileTime(path))
                byTime.emplace(*time, path);
        }
        closedir(dir);
    }
    std::vector<std::string> newest;
    for (const auto& [time, path] : byTime) {
        if (newest.size() >= max)
            break;
        newest.push_back(path);
    }
    return newest;
}

bool UploadLogFiles(const std::vector<std::string>& files, const std::string& url)
{
    const std::string zip = CreateLogZip(files);
    if (zip.empty() || url.empty())
        return false;
    return CrashReportUpload(zip, url).DoWork();
}

std::string CreateLogZip(const std::vector<std::string>& files)
{
    if (files.empty())
        return {};
    std::string path = AppPaths::GetTempDir() + "/Talvora" + LocalTime("%Y%m%d_%H%M%SLog.zip");
    std::vector<std::string> inputs;
    for (size_t i = 0; i < files.size() && i < kMaxArchiveFiles; ++i) {
        if (!OwnSmallFileTime(files[i]))
            continue;
        inputs.push_back(GetReadableFile(files[i]));
    }
    if (inputs.empty() || CreateZipFromFiles(path, inputs, kMaxCrashReportBytes) != 0) {
        path.clear();
        Platform::OutputDebugText("create zip failed!!!");
    }
    return path;
}

std::string GetReadableFile(const std::string& path)
{
    if (IsReadable(path))
        return path;
    const size_t slash = path.rfind('/');
    const std::string copy = AppPaths::GetTempDir() + (slash == std::string::npos ? "/" + path : path.substr(slash));
    CopyRegularFile(path, copy);
    return copy;
}
