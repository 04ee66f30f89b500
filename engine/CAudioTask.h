#pragma once

#include "engine/SimpleThread.h"
#include "engine/SpeechReplies.h"

#include <cstdint>
#include <string>

// The recognition worker of one segment attempt: cuts the segment with ffmpeg, reads the raw
// audio, sends it to the speech service with the next credential pair, keeps the outcome, and
// calls its completion function once, last thing on its own thread. The completion function
// usually destroys the object; Run touches nothing of it afterwards.
class CAudioTask : public SimpleThread {
public:
    using CallBack = void (*)(CAudioTask* task, void* owner);

    CAudioTask() = default;
    ~CAudioTask() override = default;

    void SetCallBack(CallBack callBack, void* owner);
    // Starts the attempt; false (and nothing started) for an empty command. `waitMs` < 1 waits
    // for ffmpeg without limit.
    bool StartTask(const std::wstring& command, int32_t waitMs);

    const std::wstring& Command() const { return command; }
    int32_t ResultCode() const { return resultCode; }
    const std::string& ErrorMessage() const { return errorMessage; }
    const std::string& Text() const { return text; }

    static constexpr int32_t kConnectTimeoutMs = 60000;
    static constexpr int32_t kRequestTimeoutMs = 600000;
    // A transfer in which not one byte moves for this long is given up long before the
    // request time-out: a server that accepts and then says nothing must not hold a segment.
    static constexpr int32_t kStallTimeoutMs = 60000;
    // The outcome code of an attempt whose cut failed (ffmpeg missing, failing or killed): a
    // failure like any other, tried again, never sent.
    static constexpr int32_t kCutFailedCode = -2;
    // The longest text kept of one reply (see SpeechReplies.h).
    static constexpr size_t kMaxTextBytes = kMaxRecognitionTextBytes;

protected:
    void Run() override;

private:
    // Runs ffmpeg for the segment; false (with the outcome set) when the cut failed.
    bool Cut();
    void Recognize();

    CallBack callBack = nullptr;
    void* owner = nullptr;
    std::wstring command;
    int32_t waitMs = 0;
    int32_t resultCode = -1;
    std::string errorMessage;
    std::string text;  // UTF-8
};
