#include "maintenance/CrashReportUpload.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/net/HttpRequest.h"
#include "base/platform/DebugOutput.h"

#include <curl/curl.h>

#include <cstdio>
#include <sys/stat.h>

namespace {

// The archive, read through a stream of the program's own rather than by libcurl, which would
// open it without close-on-exec while ffmpeg or the updater may be starting.
class ArchiveBody : public HttpBodySource {
public:
    explicit ArchiveBody(FILE* archive, uint64_t size) : archive_(archive), size_(size) {}
    uint64_t Size() const override { return size_; }
    size_t Read(char* buffer, size_t capacity) override
    {
        const size_t got = std::fread(buffer, 1, capacity, archive_);
        failed_ = failed_ || (got == 0 && std::ferror(archive_));
        return got;
    }
    void Rewind() override { failed_ = failed_ || fseeko(archive_, 0, SEEK_SET) != 0; }
    bool Failed() const override { return failed_; }

private:
    FILE* archive_;
    uint64_t size_;
    bool failed_ = false;
};

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

CrashReportUpload::CrashReportUpload(std::string zipPath, std::string uploadUrl, BackgroundTransfer::Limits limits)
    : zipPath_(std::move(zipPath)), uploadUrl_(std::move(uploadUrl)), limits_(limits),
      userAgent_(HttpRequest::LibraryVersion())
{
}

bool CrashReportUpload::DoWork()
{
    FILE* archive = std::fopen(zipPath_.c_str(), "rbe");
    struct stat info{};
    if (archive != nullptr && fstat(fileno(archive), &info) != 0) {
        std::fclose(archive);
        archive = nullptr;
    }
    // The reply is only echoed to the debugger output; a runaway one is not kept.
    std::string response;
    HttpRequest http;
    http.UseBackgroundLimits(limits_);
    http.SetUserAgent(userAgent_);
    http.SetReplyCap(65536, HttpRequest::Overflow::kDiscard);
    int32_t result = CURLE_READ_ERROR;
    std::string errorText = "cannot read the archive";
    if (archive != nullptr) {
        ArchiveBody body(archive, static_cast<uint64_t>(info.st_size));
        const HttpForm form = {
            HttpFormPart::Text("reqformat", "plain"),
            HttpFormPart::File("file", body, BaseName(zipPath_), "application/octet-stream"),
        };
        result = http.PostForm(uploadUrl_, form, nullptr, &response);
        errorText = http.ErrorText();
        std::fclose(archive);
    }
    const int32_t code = http.LastStatus();

    // Any 2xx is the server's yes; what it says beyond that is not read.
    const bool accepted = result == CURLE_OK && code >= 200 && code < 300;
    if (!accepted) {
        Platform::OutputDebugText("http post log failed!!!:");
        Platform::OutputDebugText(errorText.c_str());
        WriteLog(Warning, LogTag::kCrashReportUploadDoWork, "upload log error. code=%d, response code=%d, %s", static_cast<int>(result),
                 static_cast<int>(code), errorText.c_str());
    } else {
        Platform::OutputDebugText(response.c_str());
    }
    return accepted;
}
