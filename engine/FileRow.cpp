#include "engine/FileRow.h"

const char* FileRow::ActionText() const
{
    switch (status) {
    case ItemRecognizing:
        return TALVORA_TEXT("Engine", "识别中");
    case ItemDone:
        return TALVORA_TEXT("Engine", "完成");
    case ItemFailed:
        return TALVORA_TEXT("Engine", "失败");
    default:
        return TALVORA_TEXT("Engine", "开始");
    }
}

std::string FileRow::FileType() const
{
    const size_t dot = filePath.rfind('.');
    return dot == std::string::npos ? filePath : filePath.substr(dot);
}
