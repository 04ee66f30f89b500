#pragma once

#include <cstdint>
#include <string>

// What one recognition attempt of one segment ends with, as the job manager keeps it: code 0 is
// success (the text, possibly empty), anything else a failed attempt that is tried again.
struct RecognitionOutcome {
    int32_t code = -1;
    std::string message;
    std::string text;  // UTF-8
};

// The recognizers there are: the cloud service (the default) or English on this machine.
enum class RecognizerKind { Cloud, LocalEnglish };

// Turns one segment's raw audio (16 kHz, mono, signed 16-bit little-endian) into its outcome.
// One object serves every worker of a job manager at once, so Recognize may run on many threads
// together; it logs its own failures.
class Recognizer {
public:
    virtual ~Recognizer() = default;
    virtual RecognitionOutcome Recognize(const std::string& audio) = 0;
    virtual RecognizerKind Kind() const = 0;
};
