#include "engine/SegmentAttempt.h"

#include "base/AppPaths.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/TextUtils.h"
#include "engine/FfmpegCommand.h"
#include "engine/FfmpegProcess.h"
#include "engine/JobFiles.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs ffmpeg for the segment; false (with the outcome set) when the cut failed.
bool Cut(const SegmentAttemptInput& input, SegmentAttemptOutcome& outcome)
{
    // A file left by an earlier cut (of an earlier attempt, or of an earlier file at the same
    // path) must never be taken for this one's output.
    unlink(input.pcmFile.c_str());

    int spawnError = 0;
    const pid_t process = Ffmpeg::StartFfmpeg(input.arguments, input.showFfmpegOutput, &spawnError);
    std::string failure;
    if (process < 0) {
        failure = std::string("ffmpeg could not be started: ") + std::strerror(spawnError);
        // Without ffmpeg every attempt of every file fails the same way: say it once, plainly.
        static std::atomic<bool> reported{false};
        if (spawnError == ENOENT && !reported.exchange(true))
            WriteLog(Warning, LogTag::kSegmentAttemptRun, "%s",
                     ("ffmpeg was found neither beside the program (" + AppPaths::GetModuleDir() +
                      "/ffmpeg) nor on PATH; no file can be recognised")
                         .c_str());
    } else {
        int status = 0;
        WaitForProcess(process, 0, &status);
        failure = DescribeFailedExit(status);
        // The trouble may be this segment's (a full disk) or the file's: when the input itself
        // cannot be decoded, no attempt at any of its segments can do better.
        if (!failure.empty() && WIFEXITED(status)) {
            const auto in = std::find(input.arguments.begin(), input.arguments.end(), "-i");
            const std::string problem =
                in != input.arguments.end() && in + 1 != input.arguments.end() ? Ffmpeg::FfmpegInputProblem(*(in + 1)) : "";
            if (!problem.empty()) {
                outcome.inputUnreadable = true;
                failure = problem;
            }
        }
    }
    if (failure.empty())
        return true;
    outcome.code = kCutFailedCode;
    outcome.message = failure;
    outcome.text.clear();
    WriteLog(Warning, LogTag::kSegmentAttemptRun, "%s", ("cut failed. " + input.pcmFile + ": " + failure).c_str());
    return false;
}

// Applies the planner's verdict to the cut; false when the segment is not to be recognised.
bool Judge(const SegmentAttemptInput& input, SegmentAttemptOutcome& outcome)
{
    if (!input.cutCheck)
        return true;
    struct stat info{};
    const int64_t bytes = stat(input.pcmFile.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
    const CutVerdict verdict = input.cutCheck(bytes);
    if (!verdict.recognize) {
        outcome.pastTheEnd = true;
        outcome.code = 0;
        outcome.message = "no file";
        outcome.text.clear();
        return false;
    }
    // What lies beyond is the next segment's: the file went on past its planned end.
    if (verdict.keepBytes >= 0 && bytes > verdict.keepBytes && truncate(input.pcmFile.c_str(), verdict.keepBytes) != 0)
        WriteLog(Warning, LogTag::kSegmentAttemptRun, "%s", ("cannot cut " + input.pcmFile + " to its segment: " + std::strerror(errno)).c_str());
    return true;
}

void Recognize(const SegmentAttemptInput& input, Recognizer& recognizer, SegmentAttemptOutcome& outcome)
{
    std::string audio;
    ReadFileContent(input.pcmFile, &audio);
    if (audio.empty()) {
        outcome.code = 0;
        outcome.text.clear();
        outcome.message = "no file";
        return;
    }
    RecognitionOutcome recognized = recognizer.Recognize(audio);
    outcome.code = recognized.code;
    outcome.message = TextUtils::CutText(std::move(recognized.message), kMaxAttemptMessageBytes);
    outcome.text = std::move(recognized.text);
    outcome.pieces = std::move(recognized.pieces);
    outcome.retryAfterSeconds = recognized.retryAfterSeconds;
}

}  // namespace

SegmentAttemptOutcome AttemptSegment(const SegmentAttemptInput& input, Recognizer& recognizer)
{
    SegmentAttemptOutcome outcome;
    if (Cut(input, outcome) && Judge(input, outcome))
        Recognize(input, recognizer, outcome);
    return outcome;
}
