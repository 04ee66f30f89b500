#include "engine/CSpeechClient.h"

#include "base/LogFile.h"
#include "engine/JsonText.h"
#include "engine/SpeechEndpoints.h"

#include <openssl/evp.h>

#include <algorithm>
#include <ctime>
#include <limits>
#include <memory>

namespace {

constexpr int64_t kOneDay = 86400;

std::string MemberText(const Json::Value& reply, const char* name)
{
    if (!reply.isObject())
        return {};
    const Json::Value& member = reply[name];
    return member.isString() ? member.asString() : std::string();
}

int64_t MemberSeconds(const Json::Value& reply, const char* name)
{
    if (!reply.isObject())
        return 0;
    const Json::Value& member = reply[name];
    if (!member.isInt64())
        return 0;
    // A hostile lifetime must not overflow the expiry sum.
    return std::clamp<int64_t>(member.asInt64(), std::numeric_limits<int32_t>::min(),
                               std::numeric_limits<int32_t>::max());
}

}  // namespace

CSpeechClient::CSpeechClient(const std::string& apiKey, const std::string& secretKey)
    : apiKey(apiKey), secretKey(secretKey)
{
    const SpeechEndpoints endpoints = CurrentSpeechEndpoints();
    recognitionUrl = endpoints.recognitionUrl;
    tokenUrl = endpoints.tokenUrl;
    http.SetCaFile(endpoints.caFile);
}

void CSpeechClient::SetConnectTimeout(int32_t milliseconds)
{
    http.SetConnectTimeout(milliseconds);
}

void CSpeechClient::SetRequestTimeout(int32_t milliseconds)
{
    http.SetTimeout(milliseconds);
}

std::string CSpeechClient::GetApiKey() const
{
    return apiKey;
}

std::string CSpeechClient::FetchToken()
{
    const int64_t now = static_cast<int64_t>(time(nullptr));
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
        if (code != 0)
            return StyledJsonText(TransportFailure(code));

        const Json::Value reply = ParseReply(response);
        accessToken = MemberText(reply, "access_token");
        tokenExpiresAt = now + MemberSeconds(reply, "expires_in");
        scope = MemberText(reply, "scope");
        return accessToken;
    } catch (const std::exception& e) {
        WriteLog(Error, "CSpeechClient::FetchToken", "%s", e.what());
        return {};
    }
}

Json::Value CSpeechClient::RecognizePcm(const std::string& audio, const std::string& format, int32_t rate,
                                        const std::map<std::string, std::string>& options)
{
    try {
        Json::Value body(Json::objectValue);
        for (const auto& [name, value] : options)
            body[name] = value;
        const std::string token = FetchToken();
        body["speech"] = Base64Encode(audio);
        body["format"] = format;
        body["rate"] = std::to_string(rate);
        body["channel"] = "1";
        body["token"] = token;
        body["cuid"] = apiKey;
        body["len"] = static_cast<Json::UInt64>(audio.size());
        return PostJsonRequest(recognitionUrl, body);
    } catch (const std::exception& e) {
        // Only memory exhaustion gets here; the worker treats it like a failed transfer.
        WriteLog(Error, "CSpeechClient::RecognizePcm", "%s", e.what());
        return TransportFailure(CURLE_OUT_OF_MEMORY);
    }
}

Json::Value CSpeechClient::PostJsonRequest(const std::string& url, const Json::Value& body)
{
    try {
        std::string response;
        const int32_t code = http.PostJson(url, nullptr, body, &response);
        if (code != 0)
            return TransportFailure(code);
        return ParseReply(response);
    } catch (const std::exception& e) {
        WriteLog(Error, "CSpeechClient::PostJsonRequest", "%s", e.what());
        return TransportFailure(CURLE_OUT_OF_MEMORY);
    }
}

Json::Value CSpeechClient::ParseReply(const std::string& text)
{
    Json::Value value;
    try {
        const std::unique_ptr<Json::CharReader> parser(reader.newCharReader());
        if (!parser->parse(text.data(), text.data() + text.size(), &value, nullptr))
            value = Json::Value();
    } catch (const std::exception& e) {
        // JsonCpp throws on pathological input such as nesting beyond its stack limit.
        WriteLog(Warning, "CSpeechClient::ParseReply", "%s", e.what());
        value = Json::Value();
    }
    return value;
}

Json::Value CSpeechClient::TransportFailure(int32_t curlCode)
{
    Json::Value failure(Json::objectValue);
    failure["curl_error_code"] = curlCode;
    return failure;
}

std::string CSpeechClient::Base64Encode(std::string_view bytes)
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
