#pragma once

#include <cstdint>
#include <string>

// Which record a finished segment left, as the job manager tells it. The record itself stays the
// manager's: a listener asks the manager for it (FindSegment) on its own thread, and finds it
// gone when the file was removed meanwhile.
struct SegmentDone {
    uint64_t id = 0;
    std::string file;  // as given to AddTask
};

// Whoever waits for a job manager's results: the window, or the program without one.
class JobListener {
public:
    virtual ~JobListener() = default;
    // A segment's outcome is final, or the file's plan changed and the named record is the last
    // finished one. Called on a worker's thread or the dispatching one, with the manager's lock
    // held: hand the call on to your own thread, never call back into the manager from here.
    virtual void OnSegmentDone(const SegmentDone& done) = 0;
    // The file could not be started (its copy failed, or its duration is out of bounds), with the
    // text the user is told. Called on the thread that asked for the start, without the lock.
    virtual void OnFileFailed(const std::string& file, const std::string& reason) = 0;
};
