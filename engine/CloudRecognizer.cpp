#include "engine/CloudRecognizer.h"

#include "base/LogFile.h"
#include "engine/CData.h"
#include "engine/CSpeechClient.h"
#include "base/net/JsonText.h"

#include <cmath>
#include <map>

namespace {

// "err_no" as the integer it should be; a reply whose code is not a whole number is treated
// like one without a code.
bool ReadErrorCode(const Json::Value& value, int32_t& code)
{
    if (value.isInt()) {
        code = value.asInt();
        return true;
    }
    if (value.isDouble()) {
        const double number = value.asDouble();
        if (std::isfinite(number) && number == std::floor(number) && number >= -2147483648.0 && number <= 2147483647.0) {
            code = static_cast<int32_t>(number);
            return true;
        }
    }
    return false;
}

// The longest prefix of UTF-8 `text` of at most `limit` bytes that does not end inside a
// character.
size_t CutAtCharacter(const std::string& text, size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

std::string TextOf(const Json::Value& value)
{
    if (value.isString())
        return value.asString();
    if (value.isNull())
        return {};
    return WriteJsonText(value);
}

}  // namespace

// The log lines keep the worker's tag: they are the worker's outcome as it has always been told.
RecognitionOutcome CloudRecognizer::Recognize(const std::string& audio)
{
    const CredentialPair key = CData::Instance().GetKey();
    CSpeechClient client(key.apiKey, key.secretKey);
    client.SetConnectTimeout(kConnectTimeoutMs);
    client.SetRequestTimeout(kRequestTimeoutMs);
    client.SetStallTimeout(kStallTimeoutMs);
    const std::map<std::string, std::string> options{{"lan", "ZH"}};

    RecognitionOutcome outcome;
    const Json::Value reply = client.RecognizePcm(audio, "pcm", 16000, options);
    int32_t code = 0;
    if (reply.isObject() && reply.isMember("err_no") && ReadErrorCode(reply["err_no"], code)) {
        outcome.code = code;
        outcome.message = TextOf(reply["err_msg"]);
        if (outcome.code == 0) {
            const Json::Value& result = reply["result"];
            std::string& text = outcome.text;
            text = result.isArray() && !result.empty() && result[0].isString() ? result[0].asString() : std::string();
            if (text.size() > kMaxTextBytes) {
                const size_t received = text.size();
                text.resize(CutAtCharacter(text, kMaxTextBytes));
                WriteLog(Warning, "CAudioTask::Run", "speech text of %zu bytes cut to %zu", received, text.size());
            }
            WriteLog(Info, "CAudioTask::Run", "speech text size: %d", static_cast<int>(text.size()));
        } else {
            WriteLog(Warning, "CAudioTask::Run", "%s",
                     ("speech error. key:" + key.apiKey + ",code:" + std::to_string(outcome.code) + ",msg:" + outcome.message).c_str());
        }
        return outcome;
    }
    outcome.code = -1;
    outcome.message = StyledJsonText(reply);
    WriteLog(Warning, "CAudioTask::Run", "%s", ("speech curl error: " + outcome.message).c_str());
    return outcome;
}
