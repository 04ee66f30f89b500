#pragma once

#include "engine/Recognizer.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What becomes of a segment's audio once it is cut; decided by whoever planned the segment, who
// alone knows where the recording ends.
struct CutVerdict {
    bool recognize = true;  // false: the segment lies past the end of the recording
    int64_t keepBytes = -1; // 0 or more: only that many bytes of the cut belong to the segment
};
// Asked once the cut succeeded, with the bytes it holds.
using CutCheck = std::function<CutVerdict(int64_t audioBytes)>;

// One attempt at one segment: what to cut and where the audio goes.
struct SegmentAttemptInput {
    std::vector<std::string> arguments;  // ffmpeg's, the segment file last
    std::string pcmFile;
    // ffmpeg's own output on the terminal (the "Debug" setting).
    bool showFfmpegOutput = false;
    CutCheck cutCheck;  // none: every cut is recognised
};

struct SegmentAttemptOutcome {
    int32_t code = -1;
    std::string message;
    std::string text;  // UTF-8
    // The text in timed pieces, seconds from the segment's start, when the recognizer knows them.
    std::vector<TimedPiece> pieces;
    // The recognizer's server asked not to be asked again before this many seconds.
    int32_t retryAfterSeconds = 0;
    // The cut found no audio because the recording ended before the segment: nothing was sent,
    // and the segment is no part of the file's outcome.
    bool pastTheEnd = false;
    // The cut failed because ffmpeg cannot decode the input at all (not audio, or damaged from
    // its start): the whole file has failed, and the message says ffmpeg's reason.
    bool inputUnreadable = false;
};

// Cuts the segment with ffmpeg, reads the raw audio and hands it to the recognizer. Runs on the
// caller's thread until the outcome is known; the recognizer may serve other attempts at once.
SegmentAttemptOutcome AttemptSegment(const SegmentAttemptInput& input, Recognizer& recognizer);

// The outcome code of an attempt whose cut failed (ffmpeg missing, failing or killed): a failure
// like any other, tried again, never sent.
inline constexpr int32_t kCutFailedCode = -2;
// A recognizer's message (a server's, possibly hostile) is cut to this many bytes: it goes into
// the log, message boxes and terminal lines.
inline constexpr size_t kMaxAttemptMessageBytes = 4096;
