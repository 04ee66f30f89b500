#pragma once

#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <string>

// The speech service's replies as the program reads them. Everything here comes from a server
// that may be broken or hostile: no reply, however odd, may do more than fail.

// The reply text as JSON (JsonCpp's lenient reader, as the service's own clients use); null when
// it is not JSON, nested deeper than the reader allows included.
Json::Value ParseSpeechReply(const std::string& text);

// What the token endpoint's reply says. Members of the wrong type read as missing.
struct TokenReply {
    std::string accessToken;
    int64_t expiresIn = 0;  // seconds, clamped to 32 bits so the expiry sum cannot overflow
    std::string scope;
    std::string error;  // the service's name for a refusal ("invalid_client", ...)
};
TokenReply ReadTokenReply(const Json::Value& reply);

// What one recognition reply means to the worker.
struct RecognitionReply {
    // The reply carried a whole-number "err_no"; without one, resultCode is -1 and errorMessage
    // the reply's styled text (the transport-failure object, or "null" for no JSON).
    bool answered = false;
    int32_t resultCode = -1;
    std::string errorMessage;
    std::string text;               // UTF-8, at most kMaxTextBytes, never cut inside a character
    size_t receivedTextBytes = 0;   // the length of the text before that cut
};
RecognitionReply ReadRecognitionReply(const Json::Value& reply);

// A 120-second segment is at most a few thousand characters of speech; a longer text is cut (at
// a character boundary) so that a hostile reply cannot swamp the window.
inline constexpr size_t kMaxRecognitionTextBytes = 64 * 1024;
// A service's message is a sentence; a longer one is cut, as it goes into the log, message boxes
// and terminal lines.
inline constexpr size_t kMaxRecognitionMessageBytes = 2048;
