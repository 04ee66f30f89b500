#include "engine/RecognitionFailure.h"

#include "base/TextConvert.h"
#include "engine/CAudioSegment.h"

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
    std::wstring text = AnsiToWide(last->file) + L",文件无法识别。错误码: " + std::to_wstring(last->resultCode);
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
