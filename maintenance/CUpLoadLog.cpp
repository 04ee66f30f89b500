#include "maintenance/CUpLoadLog.h"

#include "base/LogFile.h"
#include "base/platform/DebugOutput.h"

#include "maintenance/BackgroundTransfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

namespace {

size_t AppendResponse(char* data, size_t size, size_t count, void* user)
{
    auto* response = static_cast<std::string*>(user);
    const size_t bytes = size * count;
    // The reply is only echoed to the debugger output; a runaway one is not kept.
    if (response->size() < 65536)
        response->append(data, std::min(bytes, 65536 - response->size()));
    return bytes;
}

size_t ReadArchive(char* buffer, size_t size, size_t count, void* stream)
{
    const size_t got = std::fread(buffer, size, count, static_cast<FILE*>(stream));
    return got == 0 && std::ferror(static_cast<FILE*>(stream)) ? CURL_READFUNC_ABORT : got;
}

int SeekArchive(void* stream, curl_off_t offset, int origin)
{
    return fseeko(static_cast<FILE*>(stream), offset, origin) == 0 ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

CUpLoadLog::CUpLoadLog(std::string zipPath, std::string uploadUrl, BackgroundTransfer::Limits limits)
    // curl_version() rewrites one static buffer on every call, and the main thread calls it
    // during start-up; taken here, on the thread that creates the job, the upload thread never
    // calls it at the same time.
    : zipPath_(std::move(zipPath)), uploadUrl_(std::move(uploadUrl)), limits_(limits), userAgent_(curl_version())
{
}

void CUpLoadLog::DoWork()
{
    CURL* curl = curl_easy_init();
    if (curl == nullptr)
        return;
    // The archive is read through a stream of the program's own rather than by libcurl, which
    // would open it without close-on-exec while ffmpeg or the updater may be starting.
    FILE* archive = std::fopen(zipPath_.c_str(), "rbe");
    struct stat info{};
    if (archive != nullptr && fstat(fileno(archive), &info) != 0) {
        std::fclose(archive);
        archive = nullptr;
    }
    curl_mime* form = curl_mime_init(curl);
    curl_mimepart* part = curl_mime_addpart(form);
    curl_mime_name(part, "reqformat");
    curl_mime_data(part, "plain", CURL_ZERO_TERMINATED);
    part = curl_mime_addpart(form);
    curl_mime_name(part, "file");
    curl_mime_filename(part, BaseName(zipPath_).c_str());
    curl_mime_data_cb(part, static_cast<curl_off_t>(info.st_size), &ReadArchive, &SeekArchive, nullptr, archive);
    curl_mime_type(part, "application/octet-stream");

    std::string response;
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, form);
    curl_easy_setopt(curl, CURLOPT_URL, uploadUrl_.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent_.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &AppendResponse);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response);
    BackgroundTransfer transfer(curl, limits_);
    CURLcode result = CURLE_READ_ERROR;
    char errorText[CURL_ERROR_SIZE] = "cannot read the archive";
    if (archive != nullptr) {
        result = transfer.Perform();
        std::snprintf(errorText, sizeof errorText, "%s", transfer.ErrorText());
    }
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    curl_mime_free(form);
    curl_easy_cleanup(curl);
    if (archive != nullptr)
        std::fclose(archive);

    if (result != CURLE_OK || code != 200) {
        Platform::OutputDebugText("http post log failed!!!:");
        Platform::OutputDebugText(errorText);
        WriteLog(Warning, "CUpLoadLog::DoWork", "upload log error. code=%d, response code=%d, %s", static_cast<int>(result),
                 static_cast<int>(code), errorText);
    } else {
        Platform::OutputDebugText(response.c_str());
    }
}
