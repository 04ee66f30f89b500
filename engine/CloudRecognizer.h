#pragma once

#include "engine/Recognizer.h"

#include <cstddef>
#include <cstdint>

// The cloud speech service: per attempt the next credential pair, a fresh CSpeechClient (token,
// then the recognition request) and the reply read into an outcome. Code -1 is a transport
// failure or a reply without "err_no"; any other code is the service's "err_no".
class CloudRecognizer : public Recognizer {
public:
    RecognitionOutcome Recognize(const std::string& audio) override;

    static constexpr int32_t kConnectTimeoutMs = 60000;
    static constexpr int32_t kRequestTimeoutMs = 600000;
    // A transfer in which not one byte moves for this long is given up long before the
    // request time-out: a server that accepts and then says nothing must not hold a segment.
    static constexpr int32_t kStallTimeoutMs = 60000;
    // A 120-second segment is at most a few thousand characters of speech; a longer text is
    // cut here (at a character boundary) so that a hostile reply cannot swamp the window.
    static constexpr size_t kMaxTextBytes = 64 * 1024;
};
