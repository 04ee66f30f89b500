#pragma once

#include "base/net/BackgroundTransfer.h"
#include "base/net/HttpBodySource.h"

#include <curl/curl.h>
#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Query parameters and header fields: always emitted in ascending byte order of their names.
using HttpFields = std::map<std::string, std::string>;

// One part of a multipart form: a text value, or a file whose bytes come from `file` as they
// are sent (with `fileName` and `type` in the part's header).
struct HttpFormPart {
    static HttpFormPart Text(std::string name, std::string text) { return {std::move(name), std::move(text), nullptr, {}, {}}; }
    static HttpFormPart File(std::string name, HttpBodySource& file, std::string fileName, std::string type)
    {
        return {std::move(name), {}, &file, std::move(fileName), std::move(type)};
    }

    std::string name;
    std::string text;
    HttpBodySource* file = nullptr;
    std::string fileName;
    std::string type;
};
using HttpForm = std::vector<HttpFormPart>;

// The program's one HTTP client, over libcurl's easy interface. Every request makes its own
// handle, runs on the calling thread and destroys the handle again: nothing (connections,
// cookies, sessions) survives from one request to the next. The result is libcurl's code, 0 for
// a completed transfer whatever the HTTP status; the reply body is appended to `response`.
// Optional maps are passed as pointers (nullptr: none). One thread at a time per object.
//
// Every request: no signals (requests run on threads of their own), sockets opened with
// close-on-exec, the peer's certificate and name verified, and a reply cut off at a cap. Once
// the program is ending (LiveThreads::Ending), every transfer, running or still to come, ends the
// next time libcurl reports progress (at least once a second) with CURLE_ABORTED_BY_CALLBACK:
// no request may hold a thread the end waits for.
class HttpRequest {
public:
    // What happens to reply bytes beyond the cap.
    enum class Overflow {
        kFail,     // the transfer ends with CURLE_WRITE_ERROR and ReplyTooLarge() is true
        kDiscard,  // the transfer goes on; only the first bytes are kept
    };

    HttpRequest() = default;

    void SetVerbose(int32_t value) { verbose = value; }
    void SetConnectTimeout(int32_t milliseconds) { connectTimeoutMs = milliseconds; }
    // For the whole transfer; 0: none.
    void SetTimeout(int32_t milliseconds) { timeoutMs = milliseconds; }
    // Gives a transfer up when not one byte has moved in either direction for this long (0:
    // never); it then ends with CURLE_ABORTED_BY_CALLBACK and Stalled() is true. Not counted:
    // the time between a request body sent whole and the reply's first byte, which the server
    // spends on the request and only the limit for the whole transfer bounds.
    void SetStallTimeout(int32_t milliseconds) { stallTimeoutMs = milliseconds; }
    // A PEM bundle of certificates to trust instead of the system's store; empty: the system's.
    void SetCaFile(const std::string& path) { caFile = path; }
    // Empty: no User-Agent header.
    void SetUserAgent(const std::string& text) { userAgent = text; }
    // The Accept-Encoding the request offers (libcurl decodes the reply); empty: none.
    void SetAcceptEncoding(const std::string& encodings) { acceptEncoding = encodings; }
    void SetReplyCap(size_t bytes, Overflow overflow)
    {
        replyCap = bytes;
        replyOverflow = overflow;
    }
    // A request of the maintenance threads: these limits instead of a stall time-out and a time
    // limit for the whole transfer, libcurl's ALPN, and a connection time-out of 30 seconds.
    void UseBackgroundLimits(BackgroundTransferLimits limits = {});

    int32_t ConnectTimeout() const { return connectTimeoutMs; }
    int32_t Timeout() const { return timeoutMs; }
    int32_t StallTimeout() const { return stallTimeoutMs; }

    // Of the last request: the HTTP status (0 when none arrived), whether it was given up for
    // the stall limit, whether the reply passed a failing cap, and libcurl's text for its
    // failure (or the background limits' text; empty after a success).
    int32_t LastStatus() const { return lastStatus; }
    bool Stalled() const { return stalled; }
    bool ReplyTooLarge() const { return replyTooLarge; }
    const std::string& ErrorText() const { return errorText; }
    // The value of the last reply's header field of that name (any case), without the blanks
    // around it; empty when the reply had none. Of a redirected or continued request, the final
    // reply's.
    std::string ReplyHeader(const std::string& name) const;

    int32_t Get(const std::string& url, const HttpFields* params, const HttpFields* headers, std::string* response);
    // `body` goes to libcurl as it is, bytes and length, without a copy.
    int32_t Post(const std::string& url, const HttpFields* params, const std::string& body, const HttpFields* headers,
                 std::string* response);
    // Posts a body produced while it is sent, with its size as Content-Length.
    int32_t PostStream(const std::string& url, const HttpFields* params, HttpBodySource& body, const HttpFields* headers,
                       std::string* response);
    // Posts `data` as JSON text with the single header Content-Type:application/json.
    int32_t PostJson(const std::string& url, const HttpFields* params, const Json::Value& data, std::string* response);
    // Posts the parts in order as multipart/form-data, with the header fields besides libcurl's.
    int32_t PostForm(const std::string& url, const HttpForm& form, const HttpFields* headers, std::string* response);

    // "name=value&" for every entry, both percent-encoded; the last "&" stays.
    static std::string EncodeForm(const HttpFields& params);
    // Adds the encoded parameters after "?" (or "&" when the URL has a "?" already); an empty
    // map leaves the URL as it is.
    static void AppendQuery(const HttpFields& params, std::string& url);
    // One "name:value" line per entry; the caller frees the list with curl_slist_free_all.
    static curl_slist* BuildHeaderList(const HttpFields& headers);
    // The host part of a URL, for log lines: the rest of a URL may carry a secret.
    static std::string HostOf(const std::string& url);
    // A write callback: appends the bytes to the std::string `user` points at (a null pointer
    // discards them). A reply beyond kMaxResponseBytes ends the transfer with a write error
    // instead of eating the memory.
    static size_t AppendBody(char* data, size_t size, size_t count, void* user);

    static constexpr size_t kMaxResponseBytes = 16u << 20;

    // libcurl's global set-up, once per process (later calls do nothing), on the thread that
    // starts the first requests before it starts them.
    static void SetUpLibrary();
    // The text of curl_version(), taken once by SetUpLibrary (which this calls): curl_version()
    // rewrites one static buffer at every call, so a thread of its own reads this copy instead.
    static const std::string& LibraryVersion();

private:
    struct Request;
    int32_t Perform(const std::string& url, const HttpFields* params, const HttpFields* headers, const Request& request,
                    std::string* response);

    int32_t verbose = 0;
    int32_t connectTimeoutMs = 10000;
    int32_t timeoutMs = 10000;
    int32_t stallTimeoutMs = 0;
    std::string caFile;
    std::string userAgent;
    std::string acceptEncoding;
    size_t replyCap = kMaxResponseBytes;
    Overflow replyOverflow = Overflow::kFail;
    std::optional<BackgroundTransferLimits> background;
    int32_t lastStatus = 0;
    bool stalled = false;
    bool replyTooLarge = false;
    std::string errorText;
    std::vector<std::pair<std::string, std::string>> replyHeaders;
};
