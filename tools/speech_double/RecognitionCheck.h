#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace SpeechDouble {

// The double's judgement of one recognition request, as the real service would judge it.
struct RecognitionVerdict {
    int errNo = 0;           // 0, or the service error to answer with
    std::string text;        // what the audio reads as ("tone 440") whenever it decoded, even on an error
    size_t audioBytes = 0;   // decoded length of "speech"
    double frequency = 0;    // dominant frequency and level of the audio
    double rms = 0;
};

// Checks, in this order: the content type (application/json) and a strict JSON object with the
// eight members "channel", "cuid", "format", "lan", "rate", "speech", "token" (strings) and "len"
// (an integer) -> 3300; a token the double issued and that is still valid -> 3302; "len" above
// maxAudioBytes -> 3310; "speech" strict Base64 whose decoded length is "len", "format" "pcm",
// "rate" "16000", "channel" "1" -> 3300; an empty or odd length -> 3314; silence -> 3301.
RecognitionVerdict CheckRecognition(const std::string& contentType, const std::string& body, size_t maxAudioBytes,
                                    const std::function<bool(const std::string& token)>& tokenValid);

}  // namespace SpeechDouble
