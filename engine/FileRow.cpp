#include "engine/FileRow.h"

const char* FileRow::ActionText() const
{
    switch (status) {
    case ItemRecognizing:
        return "识别中";
    case ItemDone:
        return "完成";
    case ItemFailed:
        return "失败";
    default:
        return "开始";
    }
}

std::string FileRow::FileType() const
{
    const size_t dot = filePath.rfind('.');
    return dot == std::string::npos ? filePath : filePath.substr(dot);
}
