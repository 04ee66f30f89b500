#pragma once

#include <cstdint>
#include <string>

// One planned 120-second segment of one file and its outcome. Owned by the job manager until
// the file is removed or the manager is destroyed; readers never free it.
struct CAudioSegment {
    // Unique among all records of one job manager, never reused: what WM_USER_SEGMENT_DONE
    // carries. An address could be taken again by a new record after a file was removed.
    uint64_t id = 0;
    std::string file;        // the source path exactly as given to AddTask
    int32_t totalSeconds = 0;
    int32_t segmentCount = 0;
    int32_t segmentIndex = 0;
    std::wstring command;    // the ffmpeg argument line; unique per segment
    std::string pcmFile;
    // The outcome, written once when it is final (guarded by the manager's lock).
    int32_t resultCode = 0;
    std::string errorMessage;
    std::string text;        // UTF-8
    int32_t attempts = 0;
    // Set with the final outcome. A service may answer success with an empty message, so the
    // message alone cannot tell a finished segment.
    bool finished = false;
};
