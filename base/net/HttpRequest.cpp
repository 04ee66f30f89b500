#include "base/net/HttpRequest.h"

#include "base/LiveThreads.h"
#include "base/net/JsonText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <strings.h>
#include <sys/socket.h>

namespace {

std::once_flag g_libraryReady;
// Never destroyed: a detached thread may still read it while the process exits.
const std::string* g_libraryVersion = nullptr;

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct MimeDeleter {
    void operator()(curl_mime* form) const { curl_mime_free(form); }
};

// Where the reply goes, and what happens past the cap.
struct ReplySink {
    std::string* body;
    size_t cap;
    HttpRequest::Overflow overflow;
    bool tooLarge = false;

    static size_t Take(char* data, size_t size, size_t count, void* user)
    {
        // libcurl always passes size 1, so count is also the number of bytes taken.
        auto* sink = static_cast<ReplySink*>(user);
        const size_t bytes = size * count;
        if (sink->body == nullptr)
            return count;
        const size_t room = sink->cap - std::min(sink->body->size(), sink->cap);
        try {
            if (bytes <= room) {
                sink->body->append(data, bytes);
                return count;
            }
            if (sink->overflow == HttpRequest::Overflow::kFail) {
                sink->tooLarge = true;
                return 0;
            }
            sink->body->append(data, room);
            return count;
        } catch (...) {
            return 0;  // an exception must not unwind through libcurl; 0 ends the transfer
        }
    }
};

// libcurl here opens its sockets without close-on-exec; created with it, they cannot reach a
// program started meanwhile (ffmpeg, the updater).
curl_socket_t OpenSocket(void*, curlsocktype, curl_sockaddr* address)
{
    return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

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

// Watches a transfer's byte counters for the stall limit (none when zero), and for the
// program's end; libcurl calls it at least about once a second even while nothing moves. Once a
// request with a body has gone out whole, the server may think about it for as long as the limit
// for the whole transfer allows: the stall limit holds again from the reply's first byte.
struct StallWatch {
    CURL* handle;
    std::chrono::steady_clock::duration limit;
    std::chrono::steady_clock::time_point lastMove = std::chrono::steady_clock::now();
    curl_off_t seen[5] = {-1, -1, -1, -1, -1};
    bool stalled = false;

    static int Progress(void* user, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow)
    {
        if (LiveThreads::Ending())
            return 1;
        auto* watch = static_cast<StallWatch*>(user);
        if (watch->limit == std::chrono::steady_clock::duration::zero())
            return 0;
        // The reply's header lines count as bytes moved: libcurl counts only the body in dlNow.
        long headerBytes = 0;
        curl_easy_getinfo(watch->handle, CURLINFO_HEADER_SIZE, &headerBytes);
        const curl_off_t now[5] = {dlTotal, dlNow, ulTotal, ulNow, headerBytes};
        const auto time = std::chrono::steady_clock::now();
        if (!std::equal(std::begin(now), std::end(now), std::begin(watch->seen))) {
            std::copy(std::begin(now), std::end(now), std::begin(watch->seen));
            watch->lastMove = time;
            return 0;
        }
        long status = 0;
        curl_easy_getinfo(watch->handle, CURLINFO_RESPONSE_CODE, &status);
        const bool awaitingReply = ulTotal > 0 && ulNow >= ulTotal && dlNow == 0 && status < 200;
        if (awaitingReply) {
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
    auto* source = static_cast<HttpBodySource*>(user);
    const size_t got = source->Read(buffer, size * count);
    return got == 0 && source->Failed() ? CURL_READFUNC_ABORT : got;
}

// Keeps the header fields of the reply being received; a new status line (after a redirect or an
// interim "100 Continue") starts them afresh. A hostile server cannot make the list grow without
// end: libcurl bounds the whole header, and fields past kMaxFields are dropped.
struct HeaderSink {
    static constexpr size_t kMaxFields = 200;
    std::vector<std::pair<std::string, std::string>>* fields;

    static size_t Take(char* data, size_t size, size_t count, void* user)
    {
        auto* sink = static_cast<HeaderSink*>(user);
        const std::string_view line(data, size * count);
        try {
            if (line.starts_with("HTTP/")) {
                sink->fields->clear();
                return count;
            }
            const size_t colon = line.find(':');
            if (colon == std::string_view::npos || sink->fields->size() >= kMaxFields)
                return count;
            const auto trimmed = [](std::string_view text) {
                const size_t first = text.find_first_not_of(" \t\r\n");
                if (first == std::string_view::npos)
                    return std::string();
                const size_t last = text.find_last_not_of(" \t\r\n");
                return std::string(text.substr(first, last - first + 1));
            };
            sink->fields->emplace_back(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
            return count;
        } catch (...) {
            return 0;
        }
    }
};

int RewindBody(void* user, curl_off_t offset, int origin)
{
    if (offset != 0 || origin != SEEK_SET)
        return CURL_SEEKFUNC_CANTSEEK;
    auto* source = static_cast<HttpBodySource*>(user);
    source->Rewind();
    return source->Failed() ? CURL_SEEKFUNC_FAIL : CURL_SEEKFUNC_OK;
}

// A multipart form on `handle`, or null when libcurl has no memory for it.
curl_mime* BuildForm(CURL* handle, const HttpForm& parts)
{
    std::unique_ptr<curl_mime, MimeDeleter> form(curl_mime_init(handle));
    if (!form)
        return nullptr;
    for (const HttpFormPart& part : parts) {
        curl_mimepart* piece = curl_mime_addpart(form.get());
        if (piece == nullptr)
            return nullptr;
        curl_mime_name(piece, part.name.c_str());
        if (part.file == nullptr) {
            curl_mime_data(piece, part.text.c_str(), CURL_ZERO_TERMINATED);
            continue;
        }
        curl_mime_filename(piece, part.fileName.c_str());
        curl_mime_data_cb(piece, static_cast<curl_off_t>(part.file->Size()), &ReadBody, &RewindBody, nullptr,
                          part.file);
        curl_mime_type(piece, part.type.c_str());
    }
    return form.release();
}

}  // namespace

std::string HttpRequest::EncodeForm(const HttpFields& params)
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

void HttpRequest::AppendQuery(const HttpFields& params, std::string& url)
{
    if (params.empty())
        return;
    url += url.find('?') == std::string::npos ? '?' : '&';
    url += EncodeForm(params);
}

curl_slist* HttpRequest::BuildHeaderList(const HttpFields& headers)
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

// The parts of a request besides its address, parameters and header fields.
struct HttpRequest::Request {
    const std::string* body = nullptr;
    HttpBodySource* source = nullptr;
    const HttpForm* form = nullptr;
};

size_t HttpRequest::AppendBody(char* data, size_t size, size_t count, void* user)
{
    ReplySink sink{static_cast<std::string*>(user), kMaxResponseBytes, Overflow::kFail};
    return ReplySink::Take(data, size, count, &sink);
}

void HttpRequest::UseBackgroundLimits(BackgroundTransferLimits limits)
{
    background = limits;
    connectTimeoutMs = 30000;
    timeoutMs = 0;
    stallTimeoutMs = 0;
}

int32_t HttpRequest::Get(const std::string& url, const HttpFields* params, const HttpFields* headers,
                          std::string* response)
{
    return Perform(url, params, headers, Request{}, response);
}

int32_t HttpRequest::Post(const std::string& url, const HttpFields* params, const std::string& body,
                           const HttpFields* headers, std::string* response)
{
    return Perform(url, params, headers, Request{.body = &body}, response);
}

int32_t HttpRequest::PostStream(const std::string& url, const HttpFields* params, HttpBodySource& body,
                                 const HttpFields* headers, std::string* response)
{
    return Perform(url, params, headers, Request{.source = &body}, response);
}

int32_t HttpRequest::PostForm(const std::string& url, const HttpForm& form, const HttpFields* headers,
                               std::string* response)
{
    return Perform(url, nullptr, headers, Request{.form = &form}, response);
}

std::string HttpRequest::ReplyHeader(const std::string& name) const
{
    for (const auto& [field, value] : replyHeaders) {
        if (field.size() == name.size() && strncasecmp(field.c_str(), name.c_str(), name.size()) == 0)
            return value;
    }
    return {};
}

int32_t HttpRequest::PostJson(const std::string& url, const HttpFields* params, const Json::Value& data,
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

int32_t HttpRequest::Perform(const std::string& url, const HttpFields* params, const HttpFields* headers,
                              const Request& request, std::string* response)
{
    lastStatus = 0;
    stalled = false;
    replyTooLarge = false;
    errorText.clear();
    replyHeaders.clear();
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
        std::unique_ptr<curl_mime, MimeDeleter> form;
        if (request.form != nullptr) {
            form.reset(BuildForm(h, *request.form));
            if (!form)
                return CURLE_OUT_OF_MEMORY;
            curl_easy_setopt(h, CURLOPT_MIMEPOST, form.get());
        }
        curl_easy_setopt(h, CURLOPT_URL, target.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList.get());
        if (request.body != nullptr) {
            curl_easy_setopt(h, CURLOPT_POST, 1L);
            curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body->data());
            curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body->size()));
        } else if (request.source != nullptr) {
            HttpBodySource* source = request.source;
            source->Rewind();
            curl_easy_setopt(h, CURLOPT_POST, 1L);
            curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(source->Size()));
            curl_easy_setopt(h, CURLOPT_READFUNCTION, &ReadBody);
            curl_easy_setopt(h, CURLOPT_READDATA, static_cast<void*>(source));
            curl_easy_setopt(h, CURLOPT_SEEKFUNCTION, &RewindBody);
            curl_easy_setopt(h, CURLOPT_SEEKDATA, static_cast<void*>(source));
        }
        if (!userAgent.empty())
            curl_easy_setopt(h, CURLOPT_USERAGENT, userAgent.c_str());
        if (!acceptEncoding.empty())
            curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, acceptEncoding.c_str());
        ReplySink sink{response, replyCap, replyOverflow};
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &ReplySink::Take);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, static_cast<void*>(&sink));
        HeaderSink headerSink{&replyHeaders};
        curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &HeaderSink::Take);
        curl_easy_setopt(h, CURLOPT_HEADERDATA, static_cast<void*>(&headerSink));
        char errorBuffer[CURL_ERROR_SIZE] = {};
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &OpenSocket);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectTimeoutMs));
        curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
        // The speech service is spoken to in HTTP/1.1; the maintenance servers may choose.
        if (!background)
            curl_easy_setopt(h, CURLOPT_SSL_ENABLE_ALPN, 0L);
        // The secret key, the audio and the program's own files travel in these requests: the
        // peer must prove who it is.
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!caFile.empty()) {
            curl_easy_setopt(h, CURLOPT_CAINFO, caFile.c_str());
            curl_easy_setopt(h, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
        }
        curl_easy_setopt(h, CURLOPT_VERBOSE, static_cast<long>(verbose));

        CURLcode result;
        if (background) {
            BackgroundTransfer transfer(h, *background);
            result = transfer.Perform();
            errorText = transfer.ErrorText();
        } else {
            StallWatch watch{h, std::chrono::milliseconds(std::max<int32_t>(stallTimeoutMs, 0))};
            curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &StallWatch::Progress);
            curl_easy_setopt(h, CURLOPT_XFERINFODATA, static_cast<void*>(&watch));
            curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
            result = curl_easy_perform(h);
            stalled = watch.stalled;
            errorText = errorBuffer;
        }
        long status = 0;
        if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
            lastStatus = static_cast<int32_t>(status);
        replyTooLarge = sink.tooLarge;
        return static_cast<int32_t>(result);
    } catch (...) {
        return CURLE_OUT_OF_MEMORY;
    }
}

std::string HttpRequest::HostOf(const std::string& url)
{
    std::string host;
    if (CURLU* parsed = curl_url()) {
        char* part = nullptr;
        if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
            curl_url_get(parsed, CURLUPART_HOST, &part, 0) == CURLUE_OK && part != nullptr) {
            host = part;
            curl_free(part);
        }
        curl_url_cleanup(parsed);
    }
    return host.empty() ? std::string("(unknown host)") : host;
}

void HttpRequest::SetUpLibrary()
{
    // The first curl_version() sets up the LDAP library's globals: done here, before any request
    // thread would do it, so a quick exit never tears them down under a thread that is still
    // setting them up.
    std::call_once(g_libraryReady, [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        g_libraryVersion = new std::string(curl_version());
    });
}

const std::string& HttpRequest::LibraryVersion()
{
    SetUpLibrary();
    return *g_libraryVersion;
}
