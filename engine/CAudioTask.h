#pragma once

#include "engine/CloudRecognizer.h"
#include "engine/SimpleThread.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The recognition worker of one segment attempt: cuts the segment with ffmpeg, reads the raw
// audio, hands it to the recognizer (the cloud service unless another is set), keeps the
// outcome, and calls its completion function once, last thing on its own thread. The completion
// function usually destroys the object; Run touches nothing of it afterwards.
class CAudioTask : public SimpleThread {
public:
    using CallBack = void (*)(CAudioTask* task, void* owner);

    // What becomes of a segment's audio once it is cut; decided by whoever planned the segment,
    // who alone knows where the recording ends.
    struct CutVerdict {
        bool recognize = true;  // false: the segment lies past the end of the recording
        int64_t keepBytes = -1; // 0 or more: only that many bytes of the cut belong to the segment
    };
    using CutCheck = std::function<CutVerdict(int64_t audioBytes)>;

    CAudioTask() = default;
    ~CAudioTask() override = default;

    void SetCallBack(CallBack callBack, void* owner);
    // Asked on the worker's thread once the cut succeeded; without one every cut is recognised.
    void SetCutCheck(CutCheck check);
    // Shared with the other workers of the same job manager; null means the cloud service.
    void SetRecognizer(std::shared_ptr<Recognizer> recognizer);
    // Starts the attempt with ffmpeg's arguments (the segment file last); false (and nothing
    // started) without arguments. `waitMs` < 1 waits for ffmpeg without limit.
    bool StartTask(std::vector<std::string> arguments, int32_t waitMs);

    int32_t ResultCode() const { return resultCode; }
    const std::string& ErrorMessage() const { return errorMessage; }
    const std::string& Text() const { return text; }
    // The cut found no audio because the recording ended before the segment: nothing was sent,
    // and the segment is no part of the file's outcome.
    bool PastTheEnd() const { return pastTheEnd; }
    // The cut failed because ffmpeg cannot decode the input at all (not audio, or damaged from
    // its start): the whole file has failed, and the message says ffmpeg's reason.
    bool InputUnreadable() const { return inputUnreadable; }

    // The outcome code of an attempt whose cut failed (ffmpeg missing, failing or killed): a
    // failure like any other, tried again, never sent.
    static constexpr int32_t kCutFailedCode = -2;
    static constexpr size_t kMaxTextBytes = CloudRecognizer::kMaxTextBytes;
    // A recognizer's message (a server's, possibly hostile) is cut to this many bytes: it goes
    // into the log, message boxes and terminal lines.
    static constexpr size_t kMaxMessageBytes = 4096;

protected:
    void Run() override;

private:
    // Runs ffmpeg for the segment; false (with the outcome set) when the cut failed.
    bool Cut();
    // Applies the planner's verdict to the cut; false when the segment is not to be recognised.
    bool Judge();
    void Recognize();

    std::shared_ptr<Recognizer> recognizer;
    CallBack callBack = nullptr;
    void* owner = nullptr;
    CutCheck cutCheck;
    std::vector<std::string> arguments;
    std::string pcmFile;
    int32_t waitMs = 0;
    int32_t resultCode = -1;
    std::string errorMessage;
    std::string text;  // UTF-8
    bool pastTheEnd = false;
    bool inputUnreadable = false;
};
