#pragma once

#include "speech_double/ToneRuns.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace SpeechDouble {

// The double's judgement of one request to the Whisper transcription endpoint.
struct TranscriptionVerdict {
    int status = 200;                               // 200, 400 (malformed) or 401 (API key)
    std::string message;                            // what is wrong, for a 400 or 401
    std::multimap<std::string, std::string> form;   // the text fields by name
    std::string fileName;                           // of the "file" part
    int wavSampleRate = 0;                          // as the WAV header says; 0 when it has none
    size_t audioBytes = 0;                          // the file's bytes after its 44-byte header
    std::string language;                           // the "language" field; empty when absent
    std::string responseFormat = "json";            // a valid "response_format", or json
    double duration = 0;                            // seconds of audio
    std::vector<ToneRun> runs;                      // the audio's tones
    std::string text;                               // the runs' texts joined with spaces
};

// Checks, in this order: the bearer key when `apiKey` is set ("Authorization: Bearer <key>")
// -> 401; a strict multipart/form-data body (MultipartForm.h); exactly one "file" part, with a
// filename, holding a 44-byte-header WAV file of 16 kHz 16-bit mono PCM whose RIFF and data
// sizes agree with its length; a non-empty "model"; "language", when present, two lowercase
// letters; "response_format" json, verbose_json or text; every "timestamp_granularities[]"
// segment or word; none of "model", "language" and "response_format" twice -> 400 with the first
// problem found. The form, the file's name and the audio's tones are filled in whenever they
// can be read, also for a request that is refused, so that fault rules can pick requests by
// their content.
TranscriptionVerdict CheckTranscription(const std::string& contentType, const std::string& authorization,
                                        const std::string& body, const std::string& apiKey);

}  // namespace SpeechDouble
