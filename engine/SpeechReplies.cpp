#include "engine/SpeechReplies.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/TextUtils.h"
#include "base/net/JsonText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

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
    return std::clamp<int64_t>(member.asInt64(), std::numeric_limits<int32_t>::min(),
                               std::numeric_limits<int32_t>::max());
}

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


std::string TextOf(const Json::Value& value)
{
    if (value.isString())
        return value.asString();
    if (value.isNull())
        return {};
    return WriteJsonText(value);
}

}  // namespace

Json::Value ParseSpeechReply(const std::string& text)
{
    Json::Value value;
    JsonParseError error;
    // Pathological input such as nesting beyond the reader's limit is worth a warning.
    if (!ParseJson(text, value, &error, JsonRules::kTolerant) && error.threw)
        WriteLog(Warning, LogTag::kSpeechClientParseReply, "%s", error.text.c_str());
    return value;
}

TokenReply ReadTokenReply(const Json::Value& reply)
{
    TokenReply token;
    token.accessToken = MemberText(reply, "access_token");
    token.expiresIn = MemberSeconds(reply, "expires_in");
    token.scope = MemberText(reply, "scope");
    token.error = MemberText(reply, "error");
    return token;
}

RecognitionReply ReadRecognitionReply(const Json::Value& reply)
{
    RecognitionReply outcome;
    int32_t code = 0;
    if (reply.isObject() && reply.isMember("err_no") && ReadErrorCode(reply["err_no"], code)) {
        outcome.answered = true;
        outcome.resultCode = code;
        outcome.errorMessage = TextUtils::CutText(TextUtils::EscapeControls(TextOf(reply["err_msg"])), kMaxRecognitionMessageBytes);
        if (code == 0) {
            const Json::Value& result = reply["result"];
            outcome.text = result.isArray() && !result.empty() && result[0].isString() ? result[0].asString() : std::string();
            outcome.receivedTextBytes = outcome.text.size();
            outcome.text.resize(TextUtils::Utf8PrefixLength(outcome.text, kMaxRecognitionTextBytes));
        }
        return outcome;
    }
    outcome.errorMessage = TextUtils::CutText(StyledJsonText(reply), kMaxRecognitionMessageBytes);
    return outcome;
}
