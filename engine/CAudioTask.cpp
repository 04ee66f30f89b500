#include "engine/CAudioTask.h"

#include "base/AppPaths.h"
#include "base/Config.h"
#include "base/LogFile.h"
#include "base/TextConvert.h"
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

void CAudioTask::SetCallBack(CallBack function, void* ownerPointer)
{
    callBack = function;
    owner = ownerPointer;
}

void CAudioTask::SetRecognizer(std::shared_ptr<Recognizer> shared)
{
    recognizer = std::move(shared);
}

void CAudioTask::SetCutCheck(CutCheck check)
{
    cutCheck = std::move(check);
}

bool CAudioTask::StartTask(std::vector<std::string> segmentArguments, int32_t waitLimitMs)
{
    if (segmentArguments.empty())
        return false;
    arguments = std::move(segmentArguments);
    pcmFile = arguments.back();
    waitMs = waitLimitMs;
    return Start();
}

void CAudioTask::Run()
{
    if (Cut() && Judge())
        Recognize();

    // Nobody joins a worker: its thread goes when Run returns, and the completion below may
    // destroy this object, so nothing of it is touched afterwards.
    DetachSelf();
    const CallBack done = callBack;
    void* const doneOwner = owner;
    if (done != nullptr)
        done(this, doneOwner);
}

bool CAudioTask::Cut()
{
    // A file left by an earlier cut (of an earlier attempt, or of an earlier file at the same
    // path) must never be taken for this one's output.
    unlink(pcmFile.c_str());

    const bool showOutput = ReadConfigInt("Debug", 0) != 0;
    int spawnError = 0;
    const pid_t process = PubUtils::StartFfmpeg(arguments, showOutput, &spawnError);
    std::string failure;
    if (process < 0) {
        failure = std::string("ffmpeg could not be started: ") + std::strerror(spawnError);
        // Without ffmpeg every attempt of every file fails the same way: say it once, plainly.
        static std::atomic<bool> reported{false};
        if (spawnError == ENOENT && !reported.exchange(true))
            WriteLog(Warning, "CAudioTask::Run", "%s",
                     ("ffmpeg was found neither beside the program (" + PubUtils::GetModuleDir() +
                      "/ffmpeg) nor on PATH; no file can be recognised")
                         .c_str());
    } else {
        int status = 0;
        if (!WaitForProcess(process, waitMs, &status)) {
            WriteLog(Info, "CAudioTask::Run", "wait CAudioTask exit time out: %d, %s", waitMs,
                     WideToAnsi(ArgumentLine(arguments)).c_str());
            return true;  // the limit was asked for: go on with whatever was written so far
        }
        failure = DescribeFailedExit(status);
        // The trouble may be this segment's (a full disk) or the file's: when the input itself
        // cannot be decoded, no attempt at any of its segments can do better.
        if (!failure.empty() && WIFEXITED(status)) {
            const auto input = std::find(arguments.begin(), arguments.end(), "-i");
            const std::string problem =
                input != arguments.end() && input + 1 != arguments.end() ? PubUtils::FfmpegInputProblem(*(input + 1)) : "";
            if (!problem.empty()) {
                inputUnreadable = true;
                failure = problem;
            }
        }
    }
    if (failure.empty())
        return true;
    resultCode = kCutFailedCode;
    errorMessage = failure;
    text.clear();
    WriteLog(Warning, "CAudioTask::Run", "%s", ("cut failed. " + pcmFile + ": " + failure).c_str());
    return false;
}

bool CAudioTask::Judge()
{
    if (!cutCheck)
        return true;
    struct stat info{};
    const int64_t bytes = stat(pcmFile.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
    const CutVerdict verdict = cutCheck(bytes);
    if (!verdict.recognize) {
        pastTheEnd = true;
        resultCode = 0;
        errorMessage = "no file";
        text.clear();
        return false;
    }
    // What lies beyond is the next segment's: the file went on past its planned end.
    if (verdict.keepBytes >= 0 && bytes > verdict.keepBytes && truncate(pcmFile.c_str(), verdict.keepBytes) != 0)
        WriteLog(Warning, "CAudioTask::Run", "%s", ("cannot cut " + pcmFile + " to its segment: " + std::strerror(errno)).c_str());
    return true;
}

void CAudioTask::Recognize()
{
    std::string audio;
    ReadFileContent(pcmFile, &audio);
    if (audio.empty()) {
        resultCode = 0;
        text.clear();
        errorMessage = "no file";
        return;
    }
    if (recognizer == nullptr)
        recognizer = std::make_shared<CloudRecognizer>();
    RecognitionOutcome outcome = recognizer->Recognize(audio);
    resultCode = outcome.code;
    errorMessage = PubUtils::CutText(std::move(outcome.message), kMaxMessageBytes);
    text = std::move(outcome.text);
}
