// A Whisper-compatible server's reply, as the recognizer reads it: the transcription with its
// timed pieces, or the server's words for a refusal, and the pause it asks for.
#include "base/LogFile.h"
#include "engine/SpeechReplies.h"
#include "engine/WhisperReply.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cmath>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::SetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto transcription = ReadWhisperTranscription(text)) {
        FUZZ_CHECK(transcription->text.size() <= kMaxRecognitionTextBytes);
        FUZZ_CHECK(transcription->pieces.size() <= kMaxPieces);
        size_t bytes = 0;
        for (const TimedPiece& piece : transcription->pieces) {
            FUZZ_CHECK(std::isfinite(piece.start) && std::isfinite(piece.end));
            FUZZ_CHECK(piece.start >= 0 && piece.end >= piece.start);
            FUZZ_CHECK(!piece.text.empty());
            bytes += piece.text.size();
        }
        FUZZ_CHECK(bytes <= kMaxRecognitionTextBytes);
    }
    const std::string said = ReadWhisperError(text);
    for (const char c : said)
        FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 || c == '\t');
    const int pause = ReadRetryAfter(text);
    FUZZ_CHECK(pause >= 0 && pause <= kMaxRetryAfterSeconds);
    WriteLog(Warning, "WhisperRecognizer::Recognize", "%s", said.c_str());
    return 0;
}
