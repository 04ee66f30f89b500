#pragma once

#include "engine/Recognizer.h"

#include <atomic>
#include <cstdint>
#include <string>

// A server of the user's that speaks the Whisper transcription API ("POST .../v1/audio/
// transcriptions", a multipart form): whisper.cpp's server, faster-whisper servers, LocalAI, the
// hosted APIs. One request per attempt: the segment as a WAV file, the model, the language when
// one is chosen, and a request for the server's timed segments, which become the outcome's
// pieces. A failed attempt's code is the HTTP status (401, 429, 500, ...), -1 for a failed
// transfer, or one of the codes below.
class WhisperRecognizer : public Recognizer {
public:
    struct Settings {
        std::string url;                  // the whole endpoint URL
        std::string model = "whisper-1";
        std::string language;             // ISO-639-1; empty: the server detects it
        std::string apiKey;               // sent as a bearer token; empty: none
        std::string caFile;               // PEM bundle to trust instead of the system's store
    };

    explicit WhisperRecognizer(Settings settings);
    RecognitionOutcome Recognize(const std::string& audio) override;
    RecognizerKind Kind() const override { return RecognizerKind::WhisperApi; }
    std::string Language() const override { return settings.language == "yue" ? "ct" : settings.language; }

    // No server to ask: the URL is missing or no http(s) URL.
    static constexpr int32_t kNoServerCode = -5;
    // The server answered success with something that is no transcription.
    static constexpr int32_t kBadReplyCode = -6;

    static constexpr int32_t kConnectTimeoutMs = 60000;
    static constexpr int32_t kRequestTimeoutMs = 600000;
    static constexpr int32_t kStallTimeoutMs = 60000;
    // verbose_json of two minutes of speech is tens of kilobytes.
    static constexpr size_t kMaxReplyBytes = 8u << 20;

private:
    RecognitionOutcome NoServer();

    const Settings settings;
    const std::string problem;  // why there is no server to ask; empty when there is
    std::atomic<bool> problemTold{false};
};
