#pragma once

#include "engine/ShownText.h"

#include <cstdint>
#include <string>
#include <vector>

struct SegmentRecord;

// Whether a file's recognition failed as a whole, and the one line that says so. A file has
// failed when all its segments have finished, none of them produced text and at least one
// ended with an error (a non-zero outcome code): a non-audio or empty file, no ffmpeg, the
// service unreachable or refusing every attempt. A file with any text has not failed.
class RecognitionFailure {
public:
    // `records`: the finished records of one file in ascending segment order, as
    // TranscriptionJobs::GetFinishedSegments gives them.
    static bool IsFailed(const std::vector<SegmentRecord*>& records);
    // "<file>,<cause>。错误码: <code>，错误信息: <message>" for the last segment that failed, on
    // one line (without the message part when the segment has none). The cause says what to do
    // where it is known (the network, the keys, not audio, the service's limit, the local
    // model); else it is "文件无法识别".
    static std::string Describe(const std::vector<SegmentRecord*>& records);
    // The same line in its pieces, for the window to show in the user's language; an empty
    // source when no segment failed.
    static ShownText Explain(const std::vector<SegmentRecord*>& records);

    // The service's codes for refused keys and for a used-up quota.
    static constexpr int32_t kKeysRefusedCode = 3302;
    static constexpr int32_t kRequestLimitCode = 3305;
};
