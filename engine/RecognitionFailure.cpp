#include "engine/RecognitionFailure.h"

#include "base/TextConvert.h"
#include "engine/SegmentRecord.h"
#include "engine/SegmentAttempt.h"
#include "engine/LocalRecognizer.h"
#include "engine/ShownText.h"

namespace {

// What a person can do about a failure, in plain words; the file itself is blamed only when
// nothing else is known.
const char* Cause(const SegmentRecord& failed)
{
    const std::string& message = failed.errorMessage;
    switch (failed.resultCode) {
    case kCutFailedCode:
        if (message.rfind("ffmpeg could not be started", 0) == 0)
            return TALVORA_TEXT("Engine", "无法启动 ffmpeg，请安装 ffmpeg");
        return TALVORA_TEXT("Engine", "不是音频文件或文件已损坏");
    case LocalRecognizer::kModelFailedCode:
        return TALVORA_TEXT("Engine", "本地识别模型缺失，请检查 LocalModelDir 设置");
    case RecognitionFailure::kKeysRefusedCode:
        return TALVORA_TEXT("Engine", "密钥被拒绝，请检查 credentials.json");
    case RecognitionFailure::kRequestLimitCode:
        return TALVORA_TEXT("Engine", "已达到语音识别服务的用量限制，请稍后再试");
    case -1:
        if (message.find("\"token_refused\"") != std::string::npos)
            return TALVORA_TEXT("Engine", "密钥被拒绝，请检查 credentials.json");
        if (message.find("\"curl_error_code\"") != std::string::npos)
            return TALVORA_TEXT("Engine", "无法连接语音识别服务，请检查网络");
        break;
    default:
        break;
    }
    return TALVORA_TEXT("Engine", "文件无法识别");
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

ShownText RecognitionFailure::Explain(const std::vector<SegmentRecord*>& records)
{
    const SegmentRecord* last = nullptr;
    for (const SegmentRecord* record : records) {
        if (record != nullptr && record->resultCode != 0)
            last = record;
    }
    if (last == nullptr)
        return {};
    std::string message = ValidUtf8(last->errorMessage);
    // One line, whatever the service or the engine put into the message.
    for (char& c : message) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    ShownText text;
    text.source = message.empty() ? TALVORA_TEXT("Engine", "%1,%2。错误码: %3")
                                  : TALVORA_TEXT("Engine", "%1,%2。错误码: %3，错误信息: %4");
    text.values = {{ValidUtf8(last->file)}, {Cause(*last), true}, {std::to_string(last->resultCode)}, {message}};
    return text;
}

std::string RecognitionFailure::Describe(const std::vector<SegmentRecord*>& records)
{
    return Explain(records).Plain();
}
