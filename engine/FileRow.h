#pragma once

#include "engine/ShownText.h"

#include <cstdint>
#include <string>

// The states of a row of the file list: idle, then recognising once the job manager has accepted
// its file, then done when every segment has finished, or failed when no segment produced text
// and at least one ended with an error. A row starts only when idle or failed; it can also be put
// back to idle (stopped, or to be recognised again) as a whole.
enum ItemStatus : int32_t {
    ItemIdle = 0,
    ItemRecognizing = 1,
    ItemDone = 2,
    ItemFailed = 3,
};

// One row of the file list: the file and what the list shows for it. UTF-8.
struct FileRow {
    std::string filePath;      // full path as chosen; the row's identity
    std::string progressText;  // "0" until the first result, then "NN%"
    int32_t elapsedSeconds = 0;
    int32_t durationSeconds = 0;  // 0 when it cannot be read, kDurationUnknown while probed
    int32_t status = ItemIdle;
    bool saved = false;  // its finished text went into a file since it last started

    // "开始", "识别中", "完成" or "失败" (marked texts, see ShownText.h).
    const char* ActionText() const;
    // From the path's last "." to its end; the whole path without ".".
    std::string FileType() const;
    static constexpr int32_t kDurationUnknown = -1;
    static constexpr char kDeleteText[] = TALVORA_TEXT("Engine", "删除");
};
