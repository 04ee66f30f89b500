#include "speech_double/TranscriptionReplies.h"

#include "speech_double/ServiceReplies.h"

#include <charconv>

namespace SpeechDouble {

namespace {

// Fixed-point with three decimals; std::to_chars ignores the locale a toolkit may have set.
std::string Seconds(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
    return std::string(text, result.ptr);
}

}  // namespace

std::string TranscriptionJson(const std::string& text, bool withText)
{
    return withText ? "{\"text\":" + JsonQuote(text) + "}" : "{}";
}

std::string TranscriptionVerboseJson(const std::string& language, double duration, const std::string& text,
                                     const std::vector<ToneRun>& segments, bool withText)
{
    std::string reply = "{\"task\":\"transcribe\",\"language\":" + JsonQuote(language) + ",\"duration\":" + Seconds(duration);
    if (withText)
        reply += ",\"text\":" + JsonQuote(text);
    reply += ",\"segments\":[";
    for (size_t i = 0; i < segments.size(); ++i) {
        const ToneRun& segment = segments[i];
        if (i > 0)
            reply += ',';
        reply += "{\"id\":" + std::to_string(i) + ",\"seek\":0,\"start\":" + Seconds(segment.start) +
                 ",\"end\":" + Seconds(segment.end) + ",\"text\":" + JsonQuote(" " + segment.text) +
                 ",\"tokens\":[],\"temperature\":0.0,\"avg_logprob\":-0.2,\"compression_ratio\":1.0,"
                 "\"no_speech_prob\":0.01}";
    }
    return reply + "]}";
}

std::string WhisperError(const std::string& message, const std::string& type, const std::string& code)
{
    std::string reply = "{\"error\":{\"message\":" + JsonQuote(message) + ",\"type\":" + JsonQuote(type);
    if (!code.empty())
        reply += ",\"code\":" + JsonQuote(code);
    return reply + "}}";
}

std::string WhisperErrorType(int status)
{
    if (status == 429)
        return "requests";
    return status >= 500 ? "server_error" : "invalid_request_error";
}

std::string OversizedTranscription(size_t bytes)
{
    return "{\"text\":\"" + std::string(bytes, 'x') + "\"}";
}

}  // namespace SpeechDouble
