#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>

// Decodes one job's input copy once, with one ffmpeg run, and cuts the stream into the segment
// files by sample count: each segment exactly 120 seconds, the last whatever remains (a remainder
// under two seconds joins the segment before it). Each segment is handed on as soon as it is
// complete, so the first is ready once its two minutes are decoded, whatever the file's length.
// Cutting by count from one pass costs one decode of the file; cutting each segment with an
// ffmpeg run of its own costs a seek and more for every one of them.
//
// Runs on a thread of its own; the callbacks come on that thread, in segment order, and none
// comes once Stop has returned... almost: one already under way may still arrive, so the owner
// also checks that the news is from the decoder it holds.
class SegmentDecoder {
public:
    struct Callbacks {
        // Segment `index` is complete in its file, `bytes` long.
        std::function<void(int32_t index, int64_t bytes)> ready;
        // The audio ended normally: the file has `segmentCount` segments in all and `bytes` of
        // audio from the first segment this run decoded.
        std::function<void(int32_t segmentCount, int64_t bytes)> ended;
        // Segment `index` (and whatever follows) could not be produced, for `reason`. `wholeFile`:
        // no later run can do better (the input is no audio ffmpeg can read, or there is no
        // ffmpeg).
        std::function<void(int32_t index, const std::string& reason, bool wholeFile)> failed;
    };

    // Starts decoding `inputCopy` from the start of segment `fromIndex`, writing the segment
    // files beside it; `showOutput`: ffmpeg's own output on the terminal. Null when no thread
    // could be started (nothing is called then).
    static std::shared_ptr<SegmentDecoder> Start(const std::string& inputCopy, int32_t fromIndex, bool showOutput, Callbacks callbacks);

    // Ends the decoding early: ffmpeg is stopped and nothing more is written. Never waits.
    void Stop();

    SegmentDecoder(const SegmentDecoder&) = delete;
    SegmentDecoder& operator=(const SegmentDecoder&) = delete;
    ~SegmentDecoder();

private:
    class Run;
    SegmentDecoder(std::string inputCopy, int32_t fromIndex, bool showOutput, Callbacks callbacks);
    void Decode();
    bool Stopped() const { return stopped.load(); }

    const std::string inputCopy;
    const int32_t fromIndex;
    const bool showOutput;
    const Callbacks callbacks;
    std::atomic<bool> stopped{false};
    std::mutex lock;  // guards process
    pid_t process = -1;
};
