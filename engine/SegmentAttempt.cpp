#include "engine/SegmentAttempt.h"

#include "base/TextUtils.h"
#include "engine/JobFiles.h"

SegmentAttemptOutcome AttemptSegment(const SegmentAttemptInput& input, Recognizer& recognizer)
{
    SegmentAttemptOutcome outcome;
    std::string audio;
    ReadFileContent(input.pcmFile, &audio);
    if (audio.empty()) {
        outcome.code = 0;
        outcome.message = "no file";
        return outcome;
    }
    RecognitionOutcome recognized = recognizer.Recognize(audio);
    outcome.code = recognized.code;
    outcome.message = TextUtils::CutText(std::move(recognized.message), kMaxAttemptMessageBytes);
    outcome.text = std::move(recognized.text);
    outcome.pieces = std::move(recognized.pieces);
    outcome.retryAfterSeconds = recognized.retryAfterSeconds;
    return outcome;
}
