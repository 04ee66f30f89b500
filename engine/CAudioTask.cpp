#include "engine/CAudioTask.h"

#include "base/AppPaths.h"
#include "base/Config.h"
#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "engine/CData.h"
#include "engine/CSpeechClient.h"
#include "engine/FfmpegCommand.h"
#include "engine/FfmpegProcess.h"
#include "engine/JobFiles.h"
#include "engine/SpeechReplies.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <unistd.h>

void CAudioTask::SetCallBack(CallBack function, void* ownerPointer)
{
    callBack = function;
    owner = ownerPointer;
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
    const std::string pcmFile = SegmentFileOfCommand(command);
    const CredentialPair key = CData::Instance().GetKey();
    CSpeechClient client(key.apiKey, key.secretKey);
    client.SetConnectTimeout(kConnectTimeoutMs);
    client.SetRequestTimeout(kRequestTimeoutMs);
    client.SetStallTimeout(kStallTimeoutMs);
    const std::map<std::string, std::string> options{{"lan", "ZH"}};

    std::string audio;
    ReadFileContent(pcmFile, &audio);
    if (audio.empty()) {
        resultCode = 0;
        text.clear();
        errorMessage = "no file";
        return;
    }

    const RecognitionReply reply = ReadRecognitionReply(client.RecognizePcm(audio, "pcm", 16000, options));
    resultCode = reply.resultCode;
    errorMessage = reply.errorMessage;
    text = reply.text;
    if (!reply.answered) {
        WriteLog(Warning, "CAudioTask::Run", "%s", ("speech curl error: " + errorMessage).c_str());
        return;
    }
    if (resultCode != 0) {
        WriteLog(Warning, "CAudioTask::Run", "%s",
                 ("speech error. key:" + key.apiKey + ",code:" + std::to_string(resultCode) + ",msg:" + errorMessage).c_str());
        return;
    }
    if (reply.receivedTextBytes > text.size())
        WriteLog(Warning, "CAudioTask::Run", "speech text of %zu bytes cut to %zu", reply.receivedTextBytes, text.size());
    WriteLog(Info, "CAudioTask::Run", "speech text size: %d", static_cast<int>(text.size()));
}
