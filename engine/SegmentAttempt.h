#pragma once

#include "engine/Recognizer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One attempt at one segment: where its audio lies, cut already.
struct SegmentAttemptInput {
    std::string pcmFile;
};

struct SegmentAttemptOutcome {
    int32_t code = -1;
    std::string message;
    std::string text;  // UTF-8
    // The text in timed pieces, seconds from the segment's start, when the recognizer knows them.
    std::vector<TimedPiece> pieces;
    // The recognizer's server asked not to be asked again before this many seconds.
    int32_t retryAfterSeconds = 0;
};

// Reads the segment's raw audio and hands it to the recognizer. Runs on the caller's thread until
// the outcome is known; the recognizer may serve other attempts at once.
SegmentAttemptOutcome AttemptSegment(const SegmentAttemptInput& input, Recognizer& recognizer);

// The outcome code of a segment whose cut failed (ffmpeg missing, failing or killed, or the
// segment file not written): a failure like any other, tried again, never sent.
inline constexpr int32_t kCutFailedCode = -2;
// A recognizer's message (a server's, possibly hostile) is cut to this many bytes: it goes into
// the log, message boxes and terminal lines.
inline constexpr size_t kMaxAttemptMessageBytes = 4096;
