#include "engine/CAudioTask.h"

#include "base/AppPaths.h"
#include "base/Config.h"
#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "engine/FfmpegCommand.h"
#include "engine/FfmpegProcess.h"
#include "engine/JobFiles.h"

#include <atomic>
#include <cerrno>
#include <cstring>
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

bool CAudioTask::StartTask(const std::wstring& commandLine, int32_t waitLimitMs)
{
    if (commandLine.empty())
        return false;
    command = commandLine;
    waitMs = waitLimitMs;
    return Start();
}

void CAudioTask::Run()
{
    if (Cut())
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
    const std::string pcmFile = SegmentFileOfCommand(command);
    unlink(pcmFile.c_str());

    const bool showOutput = ReadConfigInt(L"Debug", 0) != 0;
    int spawnError = 0;
    const pid_t process = PubUtils::StartFfmpeg(command, showOutput, &spawnError);
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
            WriteLog(Info, "CAudioTask::Run", "wait CAudioTask exit time out: %d, %s", waitMs, WideToAnsi(command).c_str());
            return true;  // the limit was asked for: go on with whatever was written so far
        }
        failure = DescribeFailedExit(status);
    }
    if (failure.empty())
        return true;
    resultCode = kCutFailedCode;
    errorMessage = failure;
    text.clear();
    WriteLog(Warning, "CAudioTask::Run", "%s", ("cut failed. " + pcmFile + ": " + failure).c_str());
    return false;
}

void CAudioTask::Recognize()
{
    std::string audio;
    ReadFileContent(SegmentFileOfCommand(command), &audio);
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
    errorMessage = std::move(outcome.message);
    text = std::move(outcome.text);
}
