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
#include "base/net/JsonText.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <unistd.h>

namespace {

// "err_no" as the integer it should be; a reply whose code is not a whole number is treated
// like one without a code.
bool ReadErrorCode(const Json::Value& value, int32_t& code)
{
    if (value.isInt()) {
        code = value.asInt();
        return true;
    }
    if (value.isDouble()) {
        const double number = value.asDouble();
        if (std::isfinite(number) && number == std::floor(number) && number >= -2147483648.0 && number <= 2147483647.0) {
            code = static_cast<int32_t>(number);
            return true;
        }
    }
    return false;
}

// The longest prefix of UTF-8 `text` of at most `limit` bytes that does not end inside a
// character.
size_t CutAtCharacter(const std::string& text, size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

std::string TextOf(const Json::Value& value)
{
    if (value.isString())
        return value.asString();
    if (value.isNull())
        return {};
    return WriteJsonText(value);
}

}  // namespace

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

    const Json::Value reply = client.RecognizePcm(audio, "pcm", 16000, options);
    int32_t code = 0;
    if (reply.isObject() && reply.isMember("err_no") && ReadErrorCode(reply["err_no"], code)) {
        resultCode = code;
        errorMessage = TextOf(reply["err_msg"]);
        if (resultCode == 0) {
            const Json::Value& result = reply["result"];
            text = result.isArray() && !result.empty() && result[0].isString() ? result[0].asString() : std::string();
            if (text.size() > kMaxTextBytes) {
                const size_t received = text.size();
                text.resize(CutAtCharacter(text, kMaxTextBytes));
                WriteLog(Warning, "CAudioTask::Run", "speech text of %zu bytes cut to %zu", received, text.size());
            }
            WriteLog(Info, "CAudioTask::Run", "speech text size: %d", static_cast<int>(text.size()));
        } else {
            WriteLog(Warning, "CAudioTask::Run", "%s",
                     ("speech error. key:" + key.apiKey + ",code:" + std::to_string(resultCode) + ",msg:" + errorMessage).c_str());
        }
        return;
    }
    resultCode = -1;
    text.clear();
    errorMessage = StyledJsonText(reply);
    WriteLog(Warning, "CAudioTask::Run", "%s", ("speech curl error: " + errorMessage).c_str());
}
