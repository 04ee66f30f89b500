#pragma once

#include "engine/Recognizer.h"
#include "engine/SpeechReplies.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class CredentialPool;

// The cloud speech service: per attempt the next credential pair, a fresh SpeechClient (token,
// then the recognition request) and the reply read into an outcome, its text in sentences placed
// on the segment's speech (estimated times: the service gives none). Code -1 is a transport
// failure or a reply without "err_no"; any other code is the service's "err_no".
class CloudRecognizer : public Recognizer {
public:
    // Without a pool: one of its own, which hands out the built-in pair.
    // `language`: "zh" (the default when empty), "en" or "ct" (Cantonese); the service knows no
    // other, so every attempt in another one is refused without a request.
    explicit CloudRecognizer(std::shared_ptr<CredentialPool> credentials = nullptr, std::string language = {});
    RecognitionOutcome Recognize(const std::string& audio) override;
    RecognizerKind Kind() const override { return RecognizerKind::Cloud; }
    std::string Language() const override { return language; }
    CredentialPool& Credentials() { return *credentials; }

    static constexpr int32_t kConnectTimeoutMs = 60000;
    static constexpr int32_t kRequestTimeoutMs = 600000;
    // A transfer in which not one byte moves for this long is given up long before the
    // request time-out: a server that accepts and then says nothing must not hold a segment.
    static constexpr int32_t kStallTimeoutMs = 60000;
    // The longest text kept of one reply (see SpeechReplies.h).
    static constexpr size_t kMaxTextBytes = kMaxRecognitionTextBytes;

private:
    const std::shared_ptr<CredentialPool> credentials;
    const std::string language;
    // The request's "lan" member; empty for a language the service does not know.
    const std::string lan;
};
