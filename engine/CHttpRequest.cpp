#include "engine/CHttpRequest.h"

#include "engine/JsonText.h"
#include "maintenance/BackgroundTransfer.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>

namespace {

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

void AppendEscaped(const std::string& text, std::string& out)
{
    if (text.empty())
        return;
    // libcurl takes an int length; a longer text cannot be a parameter of ours anyway.
    if (text.size() > 0x7fffffffu)
        throw std::bad_alloc();
    char* escaped = curl_easy_escape(nullptr, text.data(), static_cast<int>(text.size()));
    if (escaped == nullptr)
        throw std::bad_alloc();
    out += escaped;
    curl_free(escaped);
}

// Watches a transfer's byte counters; libcurl calls it at least about once a second even while
// nothing moves.
struct StallWatch {
    std::chrono::steady_clock::duration limit;
    std::chrono::steady_clock::time_point lastMove = std::chrono::steady_clock::now();
    curl_off_t seen[4] = {-1, -1, -1, -1};
    bool stalled = false;

    static int Progress(void* user, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow)
    {
        auto* watch = static_cast<StallWatch*>(user);
        const curl_off_t now[4] = {dlTotal, dlNow, ulTotal, ulNow};
        const auto time = std::chrono::steady_clock::now();
        if (!std::equal(std::begin(now), std::end(now), std::begin(watch->seen))) {
            std::copy(std::begin(now), std::end(now), std::begin(watch->seen));
            watch->lastMove = time;
            return 0;
        }
        if (time - watch->lastMove < watch->limit)
            return 0;
        watch->stalled = true;
        return 1;
    }
};

size_t ReadBody(char* buffer, size_t size, size_t count, void* user)
{
    return static_cast<HttpBodySource*>(user)->Read(buffer, size * count);
}

int RewindBody(void* user, curl_off_t offset, int origin)
{
    if (offset != 0 || origin != SEEK_SET)
        return CURL_SEEKFUNC_CANTSEEK;
    static_cast<HttpBodySource*>(user)->Rewind();
    return CURL_SEEKFUNC_OK;
}

}  // namespace

std::string CHttpRequest::EncodeForm(const HttpFields& params)
{
    std::string form;
    for (const auto& [name, value] : params) {
        AppendEscaped(name, form);
        form += '=';
        AppendEscaped(value, form);
        form += '&';
    }
    return form;
}

void CHttpRequest::AppendQuery(const HttpFields& params, std::string& url)
{
    if (params.empty())
        return;
    url += url.find('?') == std::string::npos ? '?' : '&';
    url += EncodeForm(params);
}

curl_slist* CHttpRequest::BuildHeaderList(const HttpFields& headers)
{
    curl_slist* list = nullptr;
    for (const auto& [name, value] : headers) {
        const std::string line = name + ":" + value;
        curl_slist* longer = curl_slist_append(list, line.c_str());
        if (longer == nullptr) {
            curl_slist_free_all(list);
            return nullptr;
        }
        list = longer;
    }
    return list;
}

size_t CHttpRequest::AppendBody(char* data, size_t size, size_t count, void* user)
{
    // libcurl always passes size 1, so count is also the number of bytes taken.
    const size_t bytes = size * count;
    auto* response = static_cast<std::string*>(user);
    if (response == nullptr)
        return count;
    if (bytes > kMaxResponseBytes - std::min(response->size(), kMaxResponseBytes))
        return 0;
    try {
        response->append(data, bytes);
    } catch (...) {
        return 0;  // an exception must not unwind through libcurl; 0 ends the transfer
    }
    return count;
}

int32_t CHttpRequest::Get(const std::string& url, const HttpFields* params, const HttpFields* headers,
                          std::string* response)
{
    return Perform(url, params, headers, nullptr, nullptr, response);
}

int32_t CHttpRequest::Post(const std::string& url, const HttpFields* params, const std::string& body,
                           const HttpFields* headers, std::string* response)
{
    return Perform(url, params, headers, &body, nullptr, response);
}

int32_t CHttpRequest::PostStream(const std::string& url, const HttpFields* params, HttpBodySource& body,
                                 const HttpFields* headers, std::string* response)
{
    return Perform(url, params, headers, nullptr, &body, response);
}

int32_t CHttpRequest::PostJson(const std::string& url, const HttpFields* params, const Json::Value& data,
                               std::string* response)
{
    std::string body;
    HttpFields headers;
    try {
        body = WriteJsonText(data);
        headers["Content-Type"] = "application/json";
    } catch (...) {
        return CURLE_OUT_OF_MEMORY;
    }
    return Post(url, params, body, &headers, response);
}

int32_t CHttpRequest::Perform(const std::string& url, const HttpFields* params, const HttpFields* headers,
                              const std::string* body, HttpBodySource* source, std::string* response)
{
    lastStatus = 0;
    stalled = false;
    try {
        const std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
        if (!handle)
            return CURLE_FAILED_INIT;
        std::unique_ptr<curl_slist, ListDeleter> headerList;
        if (headers != nullptr) {
            headerList.reset(BuildHeaderList(*headers));
            if (!headerList && !headers->empty())
                return CURLE_OUT_OF_MEMORY;
        }
        std::string target = url;
        if (params != nullptr)
            AppendQuery(*params, target);

        CURL* h = handle.get();
        curl_easy_setopt(h, CURLOPT_URL, target.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList.get());
        if (body != nullptr) {
            curl_easy_setopt(h, CURLOPT_POST, 1L);
            curl_easy_setopt(h, CURLOPT_POSTFIELDS, body->data());
            curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, static_cast<long>(body->size()));
        } else if (source != nullptr) {
            source->Rewind();
            curl_easy_setopt(h, CURLOPT_POST, 1L);
            curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(source->Size()));
            curl_easy_setopt(h, CURLOPT_READFUNCTION, &ReadBody);
            curl_easy_setopt(h, CURLOPT_READDATA, static_cast<void*>(source));
            curl_easy_setopt(h, CURLOPT_SEEKFUNCTION, &RewindBody);
            curl_easy_setopt(h, CURLOPT_SEEKDATA, static_cast<void*>(source));
        }
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CHttpRequest::AppendBody);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, static_cast<void*>(response));
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &BackgroundTransfer::OpenSocket);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectTimeoutMs));
        curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
        curl_easy_setopt(h, CURLOPT_SSL_ENABLE_ALPN, 0L);
        // The secret key and the audio travel in these requests: the peer must prove who it is.
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!caFile.empty()) {
            curl_easy_setopt(h, CURLOPT_CAINFO, caFile.c_str());
            curl_easy_setopt(h, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
        }
        curl_easy_setopt(h, CURLOPT_VERBOSE, static_cast<long>(verbose));
        StallWatch watch{std::chrono::milliseconds(stallTimeoutMs)};
        if (stallTimeoutMs > 0) {
            curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &StallWatch::Progress);
            curl_easy_setopt(h, CURLOPT_XFERINFODATA, static_cast<void*>(&watch));
            curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        }

        const CURLcode result = curl_easy_perform(h);
        long status = 0;
        if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
            lastStatus = static_cast<int32_t>(status);
        stalled = watch.stalled;
        return static_cast<int32_t>(result);
    } catch (...) {
        return CURLE_OUT_OF_MEMORY;
    }
}
