#include "engine/RecognitionFailure.h"

#include "base/TextConvert.h"
#include "engine/SegmentRecord.h"
#include "engine/SegmentAttempt.h"
#include "engine/LocalRecognizer.h"

namespace {

// What a person can do about a failure, in plain words; the file itself is blamed only when
// nothing else is known.
std::string Cause(const SegmentRecord& failed)
{
    const std::string& message = failed.errorMessage;
    switch (failed.resultCode) {
    case kCutFailedCode:
        if (message.rfind("ffmpeg could not be started", 0) == 0)
            return "无法启动 ffmpeg，请安装 ffmpeg";
        return "不是音频文件或文件已损坏";
    case LocalRecognizer::kModelFailedCode:
        return "本地识别模型缺失，请检查 LocalModelDir 设置";
    case RecognitionFailure::kKeysRefusedCode:
        return "密钥被拒绝，请检查 credentials.json";
    case RecognitionFailure::kRequestLimitCode:
        return "已达到语音识别服务的用量限制，请稍后再试";
    case -1:
        if (message.find("\"token_refused\"") != std::string::npos)
            return "密钥被拒绝，请检查 credentials.json";
        if (message.find("\"curl_error_code\"") != std::string::npos)
            return "无法连接语音识别服务，请检查网络";
        break;
    default:
        break;
    }
    return "文件无法识别";
}

}  // namespace

bool RecognitionFailure::IsFailed(const std::vector<SegmentRecord*>& records)
{
    if (records.empty() || records.front() == nullptr ||
        records.size() != static_cast<size_t>(records.front()->segmentCount))
        return false;
    bool anyFailed = false;
    for (const SegmentRecord* record : records) {
        if (record == nullptr)
            return false;
        if (record->resultCode == 0 && !record->text.empty())
            return false;
        anyFailed = anyFailed || record->resultCode != 0;
    }
    return anyFailed;
}

std::string RecognitionFailure::Describe(const std::vector<SegmentRecord*>& records)
{
    const SegmentRecord* last = nullptr;
    for (const SegmentRecord* record : records) {
        if (record != nullptr && record->resultCode != 0)
            last = record;
    }
    if (last == nullptr)
        return {};
    std::string text = ValidUtf8(last->file) + "," + Cause(*last) + "。错误码: " + std::to_string(last->resultCode);
    std::string message = ValidUtf8(last->errorMessage);
    // One line, whatever the service or the engine put into the message.
    for (char& c : message) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    if (!message.empty())
        text += "，错误信息: " + message;
    return text;
}
