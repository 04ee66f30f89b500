#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A stretch of the recognised text with the time it is spoken at, in seconds from the start of
// the audio it was recognised from.
struct TimedPiece {
    double start = 0;
    double end = 0;
    std::string text;  // UTF-8
    // The times were not heard but estimated from where speech sounds in the audio.
    bool estimated = false;
};

// What one recognition attempt of one segment ends with, as the job manager keeps it: code 0 is
// success (the text, possibly empty), anything else a failed attempt that is tried again.
struct RecognitionOutcome {
    int32_t code = -1;
    std::string message;
    std::string text;  // UTF-8
    // The text in timed pieces, when the recognizer knows when it was spoken; empty otherwise.
    std::vector<TimedPiece> pieces;
    // The server asked not to be asked again before this many seconds (0: no such wish).
    int32_t retryAfterSeconds = 0;
};

// The recognizers there are: the cloud service (the default), English on this machine, or a
// server of the user's that speaks the Whisper transcription API.
enum class RecognizerKind { Cloud, LocalEnglish, WhisperApi };

// Turns one segment's raw audio (16 kHz, mono, signed 16-bit little-endian) into its outcome.
// One object serves every worker of a job manager at once, so Recognize may run on many threads
// together; it logs its own failures.
class Recognizer {
public:
    virtual ~Recognizer() = default;
    virtual RecognitionOutcome Recognize(const std::string& audio) = 0;
    virtual RecognizerKind Kind() const = 0;
    // The language chosen for it ("zh", "en", "ct", or another ISO-639-1 code); empty: its own
    // default.
    virtual std::string Language() const { return {}; }
};

// The outcome code of every attempt of a recognizer asked for a language it does not know: the
// user chose it, so nothing is sent and no text in another language is taken for the right one.
inline constexpr int32_t kLanguageRefusedCode = -7;
// That outcome, with the languages the recognizer does know.
RecognitionOutcome LanguageRefused(const std::string& recognizer, const std::string& language, const std::string& known);
