#include "engine/SpeechClient.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/net/JsonText.h"
#include "engine/Base64JsonBody.h"
#include "engine/SpeechEndpoints.h"
#include "engine/SpeechReplies.h"

#include <openssl/evp.h>

#include <algorithm>
#include <ctime>
#include <limits>
#include <memory>

namespace {

constexpr int64_t kOneDay = 86400;

}  // namespace

SpeechClient::SpeechClient(const std::string& apiKey, const std::string& secretKey)
    : apiKey(apiKey), secretKey(secretKey)
{
    const SpeechEndpoints endpoints = CurrentSpeechEndpoints();
    recognitionUrl = endpoints.recognitionUrl;
    tokenUrl = endpoints.tokenUrl;
    http.SetCaFile(endpoints.caFile);
}

void SpeechClient::SetConnectTimeout(int32_t milliseconds)
{
    http.SetConnectTimeout(milliseconds);
}

void SpeechClient::SetRequestTimeout(int32_t milliseconds)
{
    http.SetTimeout(milliseconds);
}

void SpeechClient::SetStallTimeout(int32_t milliseconds)
{
    http.SetStallTimeout(milliseconds);
}

void SpeechClient::LogStall(const char* tag, const char* what, const std::string& url) const
{
    WriteLog(Warning, tag, "%s request to %s stalled: not one byte moved in %d ms", what, HttpRequest::HostOf(url).c_str(),
             http.StallTimeout());
}

std::string SpeechClient::GetApiKey() const
{
    return apiKey;
}

std::string SpeechClient::FetchToken()
{
    const int64_t now = static_cast<int64_t>(time(nullptr));
    tokenFailure = Json::Value();
    if (!accessToken.empty() && now < tokenExpiresAt - kOneDay)
        return accessToken;

    try {
        const HttpFields params = {
            {"grant_type", "client_credentials"},
            {"client_id", apiKey},
            {"client_secret", secretKey},
        };
        std::string response;
        const int32_t code = http.Get(tokenUrl, &params, nullptr, &response);
        if (code != 0) {
            if (http.Stalled())
                LogStall(LogTag::kSpeechClientFetchToken, "token", tokenUrl);
            else
                WriteLog(Warning, LogTag::kSpeechClientFetchToken, "token request to %s failed: curl error %d (%s)",
                         HttpRequest::HostOf(tokenUrl).c_str(), code, curl_easy_strerror(static_cast<CURLcode>(code)));
            tokenFailure = TransportFailure(code);
            return StyledJsonText(tokenFailure);
        }

        const TokenReply reply = ReadTokenReply(ParseSpeechReply(response));
        accessToken = reply.accessToken;
        tokenExpiresAt = now + reply.expiresIn;
        scope = reply.scope;
        if (http.LastStatus() != 200 || accessToken.empty()) {
            // The service names its refusal ("invalid_client", ...); a short piece of it helps.
            std::string detail = reply.error.substr(0, 100);
            if (!detail.empty())
                detail = ", error: " + detail;
            WriteLog(Warning, LogTag::kSpeechClientFetchToken, "token request to %s failed: HTTP status %d%s%s",
                     HttpRequest::HostOf(tokenUrl).c_str(), http.LastStatus(), accessToken.empty() ? ", no access_token" : "",
                     detail.c_str());
            if (accessToken.empty()) {
                tokenFailure = Json::Value(Json::objectValue);
                tokenFailure["token_refused"] = http.LastStatus();
                tokenFailure["error"] = reply.error.substr(0, 100);
            }
        }
        return accessToken;
    } catch (const std::exception& e) {
        WriteLog(Error, LogTag::kSpeechClientFetchToken, "%s", e.what());
        return {};
    }
}

Json::Value SpeechClient::RecognizePcm(const std::string& audio, const std::string& format, int32_t rate,
                                        const std::map<std::string, std::string>& options)
{
    try {
        Json::Value body(Json::objectValue);
        for (const auto& [name, value] : options)
            body[name] = value;
        const std::string token = FetchToken();
        // Without a token the service can only refuse: the attempt ends here, saying why.
        if (!tokenFailure.isNull())
            return tokenFailure;
        body["format"] = format;
        body["rate"] = std::to_string(rate);
        body["channel"] = "1";
        body["token"] = token;
        body["cuid"] = apiKey;
        body["len"] = static_cast<Json::UInt64>(audio.size());
        // The body goes out while its Base64 text is made, a block at a time: the same bytes
        // as the text written whole, without holding the encoded audio twice beside the audio.
        body["speech"] = "";
        std::string before;
        std::string after;
        if (!SplitJsonTextAround(body, "speech", &before, &after)) {
            body["speech"] = Base64Encode(audio);
            return PostJsonRequest(recognitionUrl, body);
        }
        Base64JsonBody stream(std::move(before), audio, std::move(after));
        return PostBody(recognitionUrl, stream);
    } catch (const std::exception& e) {
        // Only memory exhaustion gets here; the worker treats it like a failed transfer.
        WriteLog(Error, LogTag::kSpeechClientRecognizePcm, "%s", e.what());
        return TransportFailure(CURLE_OUT_OF_MEMORY);
    }
}

Json::Value SpeechClient::PostBody(const std::string& url, HttpBodySource& body)
{
    try {
        std::string response;
        const HttpFields headers{{"Content-Type", "application/json"}};
        return ReplyOf(http.PostStream(url, nullptr, body, &headers, &response), response, url);
    } catch (const std::exception& e) {
        WriteLog(Error, LogTag::kSpeechClientPostJsonRequest, "%s", e.what());
        return TransportFailure(CURLE_OUT_OF_MEMORY);
    }
}

Json::Value SpeechClient::PostJsonRequest(const std::string& url, const Json::Value& body)
{
    try {
        std::string response;
        return ReplyOf(http.PostJson(url, nullptr, body, &response), response, url);
    } catch (const std::exception& e) {
        WriteLog(Error, LogTag::kSpeechClientPostJsonRequest, "%s", e.what());
        return TransportFailure(CURLE_OUT_OF_MEMORY);
    }
}

Json::Value SpeechClient::ReplyOf(int32_t code, const std::string& response, const std::string& url)
{
    if (code == 0)
        return ParseSpeechReply(response);
    if (http.Stalled())
        LogStall(LogTag::kSpeechClientPostJsonRequest, "speech", url);
    return TransportFailure(code);
}

Json::Value SpeechClient::TransportFailure(int32_t curlCode)
{
    Json::Value failure(Json::objectValue);
    failure["curl_error_code"] = curlCode;
    return failure;
}

std::string SpeechClient::Base64Encode(std::string_view bytes)
{
    // OpenSSL's block encoder takes an int length, so long inputs go through in whole groups of
    // three bytes; each group's output lands straight in the result.
    constexpr size_t kChunk = 3u << 20;
    std::string text((bytes.size() + 2) / 3 * 4, '\0');
    size_t in = 0;
    size_t out = 0;
    while (in < bytes.size()) {
        const size_t n = std::min(kChunk, bytes.size() - in);
        out += static_cast<size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data() + out),
                                                   reinterpret_cast<const unsigned char*>(bytes.data() + in),
                                                   static_cast<int>(n)));
        in += n;
    }
    return text;
}
