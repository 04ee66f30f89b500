#pragma once

#include "engine/Recognizer.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// A Whisper-compatible server's answers, as the program reads them. The server is the user's,
// but the reply may still be anything: it can only ever fail, never do more.

// A transcription: "text", and "segments" (each with "start", "end" in seconds of the uploaded
// file and "text") when the server gave them. Nothing when the reply holds no "text" string.
// The text is bounded as the cloud service's is; pieces that are not well formed (times not
// numbers, end before start, nothing to say) are left out, and at most kMaxPieces are kept.
struct WhisperTranscription {
    std::string text;
    std::vector<TimedPiece> pieces;
};
std::optional<WhisperTranscription> ReadWhisperTranscription(const std::string& reply);

// The server's own words for a refusal: "error": {"message": ...} (or "error" or "detail" as a
// string), control characters escaped and cut to kMaxWhisperMessageCharacters; empty when the
// reply says nothing readable.
std::string ReadWhisperError(const std::string& reply);

// "Retry-After" in seconds, as far as the program waits: a whole number of seconds, capped at
// kMaxRetryAfterSeconds; 0 for anything else (an HTTP date included: the next try's own pacing
// is wait enough then).
int ReadRetryAfter(const std::string& header);

inline constexpr size_t kMaxPieces = 4096;
inline constexpr size_t kMaxWhisperMessageCharacters = 200;
inline constexpr int kMaxRetryAfterSeconds = 60;
