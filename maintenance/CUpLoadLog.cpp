#include "maintenance/CUpLoadLog.h"

#include "base/LogFile.h"
#include "base/platform/DebugOutput.h"

#include "maintenance/BackgroundTransfer.h"

#include <curl/curl.h>

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

}  // namespace

CUpLoadLog::CUpLoadLog(std::string zipPath, std::string uploadUrl)
    : zipPath_(std::move(zipPath)), uploadUrl_(std::move(uploadUrl))
{
}

void CUpLoadLog::DoWork()
{
    CURL* curl = curl_easy_init();
    if (curl == nullptr)
        return;
    curl_mime* form = curl_mime_init(curl);
    curl_mimepart* part = curl_mime_addpart(form);
    curl_mime_name(part, "reqformat");
    curl_mime_data(part, "plain", CURL_ZERO_TERMINATED);
    part = curl_mime_addpart(form);
    curl_mime_name(part, "file");
    curl_mime_filedata(part, zipPath_.c_str());
    curl_mime_type(part, "application/octet-stream");

    std::string response;
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, form);
    curl_easy_setopt(curl, CURLOPT_URL, uploadUrl_.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, curl_version());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &AppendResponse);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    SetBackgroundTransferOptions(curl);
    const CURLcode result = curl_easy_perform(curl);
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    curl_mime_free(form);
    curl_easy_cleanup(curl);

    if (result != CURLE_OK || code != 200) {
        Platform::OutputDebugText("http post log failed!!!:");
        Platform::OutputDebugText(errorText);
        WriteLog(Warning, "CUpLoadLog::DoWork", "upload log error. code=%d, response code=%d, %s", static_cast<int>(result),
                 static_cast<int>(code), errorText);
    } else {
        Platform::OutputDebugText(response.c_str());
    }
}
