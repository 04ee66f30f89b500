#include "engine/RecognitionFailure.h"

#include "base/TextConvert.h"
#include "engine/CAudioSegment.h"
#include "engine/CAudioTask.h"
#include "engine/LocalRecognizer.h"

namespace {

// What a person can do about a failure, in plain words; the file itself is blamed only when
// nothing else is known.
std::wstring Cause(const CAudioSegment& failed)
{
    const std::string& message = failed.errorMessage;
    switch (failed.resultCode) {
    case CAudioTask::kCutFailedCode:
        if (message.rfind("ffmpeg could not be started", 0) == 0)
            return L"无法启动 ffmpeg，请安装 ffmpeg";
        return L"不是音频文件或文件已损坏";
    case LocalRecognizer::kModelFailedCode:
        return L"本地识别模型缺失，请检查 LocalModelDir 设置";
    case RecognitionFailure::kKeysRefusedCode:
        return L"密钥被拒绝，请检查 credentials.json";
    case RecognitionFailure::kRequestLimitCode:
        return L"已达到语音识别服务的用量限制，请稍后再试";
    case -1:
        if (message.find("\"token_refused\"") != std::string::npos)
            return L"密钥被拒绝，请检查 credentials.json";
        if (message.find("\"curl_error_code\"") != std::string::npos)
            return L"无法连接语音识别服务，请检查网络";
        break;
    default:
        break;
    }
    return L"文件无法识别";
}

}  // namespace

bool RecognitionFailure::IsFailed(const std::vector<CAudioSegment*>& records)
{
    if (records.empty() || records.front() == nullptr ||
        records.size() != static_cast<size_t>(records.front()->segmentCount))
        return false;
    bool anyFailed = false;
    for (const CAudioSegment* record : records) {
        if (record == nullptr)
            return false;
        if (record->resultCode == 0 && !record->text.empty())
            return false;
        anyFailed = anyFailed || record->resultCode != 0;
    }
    return anyFailed;
}

std::wstring RecognitionFailure::Describe(const std::vector<CAudioSegment*>& records)
{
    const CAudioSegment* last = nullptr;
    for (const CAudioSegment* record : records) {
        if (record != nullptr && record->resultCode != 0)
            last = record;
    }
    if (last == nullptr)
        return {};
    std::wstring text = AnsiToWide(last->file) + L"," + Cause(*last) + L"。错误码: " + std::to_wstring(last->resultCode);
    std::wstring message = Utf8ToWide(last->errorMessage);
    // One line, whatever the service or the engine put into the message.
    for (wchar_t& c : message) {
        if (c == L'\r' || c == L'\n')
            c = L' ';
    }
    if (!message.empty())
        text += L"，错误信息: " + message;
    return text;
}
