#pragma once

#include "speech_double/ToneRuns.h"

#include <cstddef>
#include <string>
#include <vector>

namespace SpeechDouble {

// Reply texts of the Whisper transcription API: compact JSON, members in the API's order,
// numbers written the same whatever the process's locale.

// {"text":"<text>"}; withText false leaves the member out ({}).
std::string TranscriptionJson(const std::string& text, bool withText = true);

// {"task":"transcribe","language":...,"duration":<seconds>,"text":...,"segments":[...]}: one
// segment a run, its text the run's after a space, times in seconds to the millisecond.
std::string TranscriptionVerboseJson(const std::string& language, double duration, const std::string& text,
                                     const std::vector<ToneRun>& segments, bool withText = true);

// {"error":{"message":...,"type":...}}, with "code" after them when it is not empty.
std::string WhisperError(const std::string& message, const std::string& type, const std::string& code = {});

// The error type the API gives with an HTTP status: invalid_request_error, requests (429) or
// server_error (5xx).
std::string WhisperErrorType(int status);

// {"text":"xx...x"}, the text `bytes` long: a reply too big for a client to take in.
std::string OversizedTranscription(size_t bytes);

}  // namespace SpeechDouble
