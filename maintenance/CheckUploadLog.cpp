#include "maintenance/CheckUploadLog.h"

#include "base/AppPaths.h"
#include "base/CMiniDumpHandler.h"
#include "base/Config.h"
#include "base/LiveThreads.h"
#include "base/TextConvert.h"
#include "base/platform/DebugOutput.h"
#include "maintenance/CUpLoadLog.h"
#include "maintenance/CreateZipFromFiles.h"
#include "maintenance/MaintenanceEndpoints.h"
#include "base/platform/RegularFile.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr size_t kMaxDumps = 4;
constexpr size_t kMaxArchiveFiles = 20;
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
long long LeadingNumber(const std::wstring& text)
{
    long long value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9' || value > (INT64_MAX - 9) / 10)
            break;
        value = value * 10 + (c - L'0');
    }
    return value;
}

// Birth time where the file system records it, else the modification time, in nanoseconds.
long long CreationTime(const std::string& path)
{
    struct statx info{};
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &info) != 0)
        return 0;
    const statx_timestamp& stamp = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_mtime;
    return static_cast<long long>(stamp.tv_sec) * 1000000000LL + stamp.tv_nsec;
}

bool IsReadable(const std::string& path)
{
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

}  // namespace

void CheckUploadLog(const std::string& appDir)
{
    const int savedErrno = errno;
    const std::vector<std::string> dumps = ListNewestFiles(appDir + "/crashDumps", kMaxDumps);
    if (dumps.empty())
        return;
    const std::wstring now = AnsiToWide(LocalTime("%Y%m%d%H%M"));
    const std::wstring last = ReadConfigString(L"UploadLogTime", L"0", 50);
    if (LeadingNumber(now) - LeadingNumber(last) < kStampInterval)
        return;
    WriteConfigString(L"UploadLogTime", now);

    std::vector<std::string> files = dumps;
    files.push_back(appDir + "/Talvora.log");
    files.push_back(appDir + "/config.ini");
    UploadLogFiles(files, LogUploadUrl());

    for (const std::string& dump : dumps)
        unlink(dump.c_str());
    errno = savedErrno;
}

std::vector<std::string> ListNewestFiles(const std::string& folder, size_t max)
{
    std::map<long long, std::string, std::greater<>> byTime;
    // The folder itself must not be a link either: it could lead anywhere.
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (dir == nullptr && fd >= 0)
        close(fd);
    if (dir != nullptr) {
        while (const dirent* entry = readdir(dir)) {
            // Anyone who can write into the folder could plant a link named like a report (to
            // the credentials, say) or a FIFO (whose open would wait for a writer, before the
            // program even shows): only regular files are reports.
            const std::string path = folder + "/" + entry->d_name;
            if (!IsRegularFile(path))
                continue;
            byTime[CreationTime(path)] = path;
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

void UploadLogFiles(const std::vector<std::string>& files, const std::string& url)
{
    const std::string zip = CreateLogZip(files);
    if (zip.empty() || url.empty())
        return;
    // This runs before the program's own global set-up; the reference counted initialisation
    // keeps libcurl ready for the upload thread whatever happens to the program's.
    curl_global_init(CURL_GLOBAL_DEFAULT);
    auto* job = new CUpLoadLog(zip, url);
    std::thread([job, counted = LiveThreads::Token()] {
        pthread_setname_np(pthread_self(), "log upload");
        CMiniDumpHandler::PrepareThread();
        job->DoWork();
        delete job;
    }).detach();
}

std::string CreateLogZip(const std::vector<std::string>& files)
{
    if (files.empty())
        return {};
    std::string path = PubUtils::GetTempDir() + "/Talvora" + LocalTime("%Y%m%d_%H%M%SLog.zip");
    std::vector<std::string> inputs;
    for (size_t i = 0; i < files.size() && i < kMaxArchiveFiles; ++i) {
        if (!IsRegularFile(files[i]))
            continue;
        inputs.push_back(GetReadableFile(files[i]));
    }
    if (inputs.empty() || CreateZipFromFiles(path, inputs) != 0) {
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
    const std::string copy = PubUtils::GetTempDir() + (slash == std::string::npos ? "/" + path : path.substr(slash));
    CopyRegularFile(path, copy);
    return copy;
}
