#pragma once

#include "base/net/HttpRequest.h"

#include <json/value.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

// The client of the cloud speech-recognition REST service: an OAuth access token by the
// client-credentials grant, then one segment of raw audio as a JSON request. A worker makes one
// client per recognition attempt and drops it afterwards; a client is used by one thread only.
// Nothing here throws: failures come back as values (see RecognizePcm).
class SpeechClient {
public:
    SpeechClient(const std::string& apiKey, const std::string& secretKey);

    void SetConnectTimeout(int32_t milliseconds);
    void SetRequestTimeout(int32_t milliseconds);
    // Gives a request up when not one byte moves for this long (0: never); logged as a stall.
    void SetStallTimeout(int32_t milliseconds);
    std::string GetApiKey() const;

    // The token to send: the cached one while more than a day of its life is left, else a
    // fresh one from the token endpoint. When the token request fails in transport, the styled
    // text of the transport-failure object ({"curl_error_code": code}) comes back instead and
    // the cache stays as it was; a reply without "access_token" gives an empty token. Every
    // failed fetch logs one warning naming the token host and the transport error or the HTTP
    // status, so an unreachable server and refused keys can be told apart (never the secret).
    std::string FetchToken();

    // One recognition request: the options as string members, then "speech" (Base64 of
    // `audio`), "format", "rate" (decimal text), "channel" "1", "token", "cuid" (the API key)
    // and "len" (the audio's byte count). Two HTTP requests: the token GET (unless cached) and
    // this POST. Returns the parsed reply, the transport-failure object, or null when the reply
    // is not JSON; the reply is not interpreted here. When no token could be had, nothing is
    // posted: the token's transport-failure object comes back, or {"token_refused": <HTTP
    // status>, "error": <the service's name for the refusal>}.
    Json::Value RecognizePcm(const std::string& audio, const std::string& format, int32_t rate,
                             const std::map<std::string, std::string>& options);

    // One JSON POST: the parsed reply of whatever HTTP status, {"curl_error_code": code} when
    // the transfer failed, null when the reply is not JSON.
    Json::Value PostJsonRequest(const std::string& url, const Json::Value& body);

    // RFC 4648 Base64 ("+", "/", "=" padding), no line breaks.
    static std::string Base64Encode(std::string_view bytes);

    // The object that stands in for a reply when libcurl reports a failure.
    static Json::Value TransportFailure(int32_t curlCode);

private:
    void LogStall(const char* tag, const char* what, const std::string& url) const;
    // PostJsonRequest for a body produced while it is sent.
    Json::Value PostBody(const std::string& url, HttpBodySource& body);
    // The parsed reply of a finished POST, or the transport-failure object.
    Json::Value ReplyOf(int32_t code, const std::string& response, const std::string& url);

    Json::Value tokenFailure;  // of the last FetchToken; null when it gave a token
    int64_t tokenExpiresAt = 0;  // seconds since 1970; 64 bits so it survives 2038
    std::string scope;
    std::string apiKey;
    std::string secretKey;
    HttpRequest http;
    std::string accessToken;
    std::string recognitionUrl;
    std::string tokenUrl;
};
