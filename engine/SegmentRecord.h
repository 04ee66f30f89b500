#pragma once

#include "engine/Recognizer.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// One planned 120-second segment of one file and its outcome. Owned by the job manager until
// the file is removed or the manager is destroyed; readers never free it.
struct SegmentRecord {
    // Unique among all records of one job manager, never reused: what the listener is told. An
    // address could be taken again by a new record after a file was removed.
    uint64_t id = 0;
    std::string file;        // the source path exactly as given to AddTask
    // The file's plan as it stands: it follows the real audio, so a file whose container claims
    // more (or less, or nothing) is planned anew as its cuts show where it ends. Changed only on
    // the thread that dispatches.
    int32_t totalSeconds = 0;
    int32_t segmentCount = 0;
    int32_t segmentIndex = 0;
    std::string pcmFile;
    // Its file is complete: the file's decoder wrote it (guarded by the manager's lock). Only a
    // ready segment is handed to a worker; a retry reads the same file again.
    bool ready = false;
    // The outcome, written once when it is final (guarded by the manager's lock).
    int32_t resultCode = 0;
    std::string errorMessage;
    std::string text;        // UTF-8
    // The text in timed pieces, in seconds from the start of the file; empty when the recognizer
    // gave no times.
    std::vector<TimedPiece> pieces;
    int32_t attempts = 0;
    // A queued retry waits until then: the server asked for the pause (guarded by the lock).
    std::chrono::steady_clock::time_point notBefore{};
    // Set with the final outcome. A service may answer success with an empty message, so the
    // message alone cannot tell a finished segment.
    bool finished = false;
};
