#include "speech_double/ServiceReplies.h"

#include <cstdio>

namespace SpeechDouble {

std::string ServiceErrorMessage(int errNo)
{
    switch (errNo) {
    case 0: return "success.";
    case 3300: return "param format and content length invalid.";
    case 3301: return "speech quality error.";
    case 3302: return "authentication failed.";
    case 3303: return "backend error.";
    case 3310: return "content len too long.";
    case 3314: return "invalid audio length";
    default: return "error " + std::to_string(errNo) + ".";
    }
}

std::string JsonQuote(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

std::string RecognitionSuccess(const std::string& text, const std::string& sn, const std::string& corpusNo)
{
    return "{\"err_no\":0,\"err_msg\":\"success.\",\"result\":[" + JsonQuote(text) + "],\"sn\":" + JsonQuote(sn) +
           ",\"corpus_no\":" + JsonQuote(corpusNo) + "}";
}

std::string RecognitionWithoutErrNo(const std::string& text, const std::string& sn, const std::string& corpusNo)
{
    return "{\"err_msg\":\"success.\",\"result\":[" + JsonQuote(text) + "],\"sn\":" + JsonQuote(sn) +
           ",\"corpus_no\":" + JsonQuote(corpusNo) + "}";
}

std::string RecognitionError(int errNo, const std::string& message, const std::string& sn)
{
    return "{\"err_no\":" + std::to_string(errNo) + ",\"err_msg\":" + JsonQuote(message) + ",\"sn\":" + JsonQuote(sn) +
           "}";
}

std::string TokenSuccess(const std::string& token, int64_t expiresIn, bool withToken)
{
    std::string text = "{\"refresh_token\":\"25.double-refresh\",\"expires_in\":" + std::to_string(expiresIn) +
                       ",\"session_key\":\"double-session\",";
    if (withToken)
        text += "\"access_token\":" + JsonQuote(token) + ",";
    text += "\"scope\":\"public audio_voice_assistant_get brain_enhanced_asr\",\"session_secret\":\"double-secret\"}";
    return text;
}

std::string OAuthError(const std::string& error, const std::string& description)
{
    return "{\"error\":" + JsonQuote(error) + ",\"error_description\":" + JsonQuote(description) + "}";
}

std::string HtmlErrorPage()
{
    return "<html>\r\n<head><title>502 Bad Gateway</title></head>\r\n<body>\r\n<center><h1>502 Bad Gateway</h1>"
           "</center>\r\n<hr><center>nginx</center>\r\n</body>\r\n</html>\r\n";
}

}  // namespace SpeechDouble
