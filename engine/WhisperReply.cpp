#include "engine/WhisperReply.h"

#include "base/TextConvert.h"
#include "base/TextUtils.h"
#include "engine/SpeechReplies.h"

#include <cctype>
#include <cmath>

namespace {

// A piece's text as Whisper servers write it starts with a blank; the times carry the gap.
std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string Bounded(std::string text)
{
    text = ValidUtf8(text);
    text.resize(TextUtils::Utf8PrefixLength(text, kMaxRecognitionTextBytes));
    return text;
}

bool IsTime(const Json::Value& value)
{
    return value.isNumeric() && std::isfinite(value.asDouble()) && value.asDouble() >= 0 && value.asDouble() < 1e7;
}

}  // namespace

std::optional<WhisperTranscription> ReadWhisperTranscription(const std::string& reply)
{
    const Json::Value root = ParseSpeechReply(reply);
    if (!root.isObject() || !root["text"].isString())
        return std::nullopt;
    WhisperTranscription transcription;
    transcription.text = Bounded(Trimmed(root["text"].asString()));
    const Json::Value& segments = root["segments"];
    if (!segments.isArray())
        return transcription;
    size_t textBytes = 0;
    for (const Json::Value& segment : segments) {
        if (transcription.pieces.size() >= kMaxPieces)
            break;
        if (!segment.isObject() || !IsTime(segment["start"]) || !IsTime(segment["end"]) || !segment["text"].isString())
            continue;
        TimedPiece piece{segment["start"].asDouble(), segment["end"].asDouble(), Bounded(Trimmed(segment["text"].asString()))};
        if (piece.end < piece.start || piece.text.empty())
            continue;
        // The pieces together say no more than a text may.
        textBytes += piece.text.size();
        if (textBytes > kMaxRecognitionTextBytes)
            break;
        transcription.pieces.push_back(std::move(piece));
    }
    return transcription;
}

std::string ReadWhisperError(const std::string& reply)
{
    const Json::Value root = ParseSpeechReply(reply);
    std::string message;
    if (root.isObject()) {
        const Json::Value& error = root["error"];
        if (error.isObject() && error["message"].isString())
            message = error["message"].asString();
        else if (error.isString())
            message = error.asString();
        else if (root["detail"].isString())
            message = root["detail"].asString();
    }
    message = TextUtils::EscapeControls(ValidUtf8(Trimmed(message)));
    const size_t keep = TextUtils::Utf8CharactersLength(message, kMaxWhisperMessageCharacters);
    if (keep < message.size())
        message = message.substr(0, keep) + "...";
    return message;
}

int ReadRetryAfter(const std::string& header)
{
    if (header.empty() || header.size() > 10)
        return 0;
    for (const char c : header) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return 0;
    }
    const long seconds = std::stol(header);
    return static_cast<int>(std::min<long>(seconds, kMaxRetryAfterSeconds));
}
