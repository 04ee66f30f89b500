#pragma once

#include "engine/HttpBodySource.h"

#include <curl/curl.h>
#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

// Query parameters and header fields: always emitted in ascending byte order of their names.
using HttpFields = std::map<std::string, std::string>;

// A thin synchronous HTTP client over libcurl's easy interface. Every request makes its own
// handle, runs on the calling thread and destroys the handle again: nothing (connections,
// cookies, sessions) survives from one request to the next. The result is libcurl's code, 0 for
// a completed transfer whatever the HTTP status; the reply body is appended to `response`.
// Optional maps are passed as pointers (nullptr: none). One thread at a time per object.
class CHttpRequest {
public:
    CHttpRequest() = default;

    void SetVerbose(int32_t value) { verbose = value; }
    void SetConnectTimeout(int32_t milliseconds) { connectTimeoutMs = milliseconds; }
    void SetTimeout(int32_t milliseconds) { timeoutMs = milliseconds; }
    // Gives a transfer up when not one byte has moved in either direction for this long (0:
    // never); it then ends with CURLE_ABORTED_BY_CALLBACK and Stalled() is true.
    void SetStallTimeout(int32_t milliseconds) { stallTimeoutMs = milliseconds; }
    // A PEM bundle of certificates to trust instead of the system's store; empty: the system's.
    void SetCaFile(const std::string& path) { caFile = path; }

    int32_t ConnectTimeout() const { return connectTimeoutMs; }
    int32_t Timeout() const { return timeoutMs; }
    int32_t StallTimeout() const { return stallTimeoutMs; }

    // Of the last request: the HTTP status (0 when none arrived) and whether it was given up
    // for the stall limit.
    int32_t LastStatus() const { return lastStatus; }
    bool Stalled() const { return stalled; }

    int32_t Get(const std::string& url, const HttpFields* params, const HttpFields* headers, std::string* response);
    // `body` goes to libcurl as it is, bytes and length, without a copy.
    int32_t Post(const std::string& url, const HttpFields* params, const std::string& body, const HttpFields* headers,
                 std::string* response);
    // Posts a body produced while it is sent, with its size as Content-Length.
    int32_t PostStream(const std::string& url, const HttpFields* params, HttpBodySource& body, const HttpFields* headers,
                       std::string* response);
    // Posts `data` as JSON text with the single header Content-Type:application/json.
    int32_t PostJson(const std::string& url, const HttpFields* params, const Json::Value& data, std::string* response);

    // "name=value&" for every entry, both percent-encoded; the last "&" stays.
    static std::string EncodeForm(const HttpFields& params);
    // Adds the encoded parameters after "?" (or "&" when the URL has a "?" already); an empty
    // map leaves the URL as it is.
    static void AppendQuery(const HttpFields& params, std::string& url);
    // One "name:value" line per entry; the caller frees the list with curl_slist_free_all.
    static curl_slist* BuildHeaderList(const HttpFields& headers);
    // libcurl's write callback: appends the bytes to the std::string `user` points at (a null
    // pointer discards them). A reply beyond kMaxResponseBytes ends the transfer with a write
    // error instead of eating the memory.
    static size_t AppendBody(char* data, size_t size, size_t count, void* user);

    static constexpr size_t kMaxResponseBytes = 16u << 20;

private:
    int32_t Perform(const std::string& url, const HttpFields* params, const HttpFields* headers, const std::string* body,
                    HttpBodySource* source, std::string* response);

    int32_t verbose = 0;
    int32_t connectTimeoutMs = 10000;
    int32_t timeoutMs = 10000;
    int32_t stallTimeoutMs = 0;
    std::string caFile;
    int32_t lastStatus = 0;
    bool stalled = false;
};
