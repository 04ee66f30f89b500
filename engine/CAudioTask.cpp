#include "engine/CAudioTask.h"

#include "base/Config.h"
#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "engine/CData.h"
#include "engine/CSpeechClient.h"
#include "engine/FfmpegCommand.h"
#include "engine/FfmpegProcess.h"
#include "engine/JobFiles.h"
#include "engine/JsonText.h"

#include <cmath>
#include <map>

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
    const bool showOutput = ReadConfigInt(L"Debug", 0) != 0;
    const pid_t process = PubUtils::StartFfmpeg(command, showOutput);
    if (!WaitForProcess(process, waitMs))
        WriteLog(Info, "CAudioTask::Run", "wait CAudioTask exit time out: %d, %s", waitMs, WideToAnsi(command).c_str());
    Recognize();

    // Nobody joins a worker: its thread goes when Run returns, and the completion below may
    // destroy this object, so nothing of it is touched afterwards.
    DetachSelf();
    const CallBack done = callBack;
    void* const doneOwner = owner;
    if (done != nullptr)
        done(this, doneOwner);
}

void CAudioTask::Recognize()
{
    const std::string pcmFile = SegmentFileOfCommand(command);
    const CredentialPair key = CData::Instance().GetKey();
    CSpeechClient client(key.apiKey, key.secretKey);
    client.SetConnectTimeout(kConnectTimeoutMs);
    client.SetRequestTimeout(kRequestTimeoutMs);
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
