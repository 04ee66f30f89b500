#pragma once

#include <cstdint>
#include <string>

// The states of a playlist row: idle, then recognising once the job manager has accepted its
// file, then done when every segment has finished, or failed when no segment produced text and
// at least one ended with an error. The action cell starts only an idle or a failed row; a row
// can also be put back to idle (stopped, or to be recognised again) as a whole.
enum ItemStatus : int32_t {
    ItemIdle = 0,
    ItemRecognizing = 1,
    ItemDone = 2,
    ItemFailed = 3,
};

// One playlist row: the file and what the list shows for it. The list elements hold no row data
// of their own; their cell texts come from these records.
struct PlayItem {
    std::wstring filePath;      // full path as chosen; the row's identity
    std::wstring durationText;  // durationSeconds as "mm:ss" or "hh:mm:ss"
    std::wstring fileType;      // from the path's last "." to its end; the whole path without "."
    std::wstring progressText;  // "0" until the first result, then "NN%"
    int32_t elapsedSeconds = 0;
    std::wstring actionText;    // "开始", "识别中", "完成" or "失败"
    std::wstring deleteText;    // always "删除"
    int32_t durationSeconds = 0;  // 0 when it cannot be read
    int32_t status = ItemIdle;
    bool saved = false;  // its finished text went into a file since it last started
};
