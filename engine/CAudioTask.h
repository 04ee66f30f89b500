#pragma once

#include "engine/CloudRecognizer.h"
#include "engine/SimpleThread.h"

#include <cstdint>
#include <memory>
#include <string>

// The recognition worker of one segment attempt: cuts the segment with ffmpeg, reads the raw
// audio, hands it to the recognizer (the cloud service unless another is set), keeps the
// outcome, and calls its completion function once, last thing on its own thread. The completion
// function usually destroys the object; Run touches nothing of it afterwards.
class CAudioTask : public SimpleThread {
public:
    using CallBack = void (*)(CAudioTask* task, void* owner);

    CAudioTask() = default;
    ~CAudioTask() override = default;

    void SetCallBack(CallBack callBack, void* owner);
    // Shared with the other workers of the same job manager; null means the cloud service.
    void SetRecognizer(std::shared_ptr<Recognizer> recognizer);
    // Starts the attempt; false (and nothing started) for an empty command. `waitMs` < 1 waits
    // for ffmpeg without limit.
    bool StartTask(const std::wstring& command, int32_t waitMs);

    const std::wstring& Command() const { return command; }
    int32_t ResultCode() const { return resultCode; }
    const std::string& ErrorMessage() const { return errorMessage; }
    const std::string& Text() const { return text; }

    // The outcome code of an attempt whose cut failed (ffmpeg missing, failing or killed): a
    // failure like any other, tried again, never sent.
    static constexpr int32_t kCutFailedCode = -2;
    static constexpr size_t kMaxTextBytes = CloudRecognizer::kMaxTextBytes;

protected:
    void Run() override;

private:
    // Runs ffmpeg for the segment; false (with the outcome set) when the cut failed.
    bool Cut();
    void Recognize();

    std::shared_ptr<Recognizer> recognizer;
    CallBack callBack = nullptr;
    void* owner = nullptr;
    std::wstring command;
    int32_t waitMs = 0;
    int32_t resultCode = -1;
    std::string errorMessage;
    std::string text;  // UTF-8
};
