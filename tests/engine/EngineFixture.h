#pragma once

#include "base/AppPaths.h"
#include "base/platform/WindowHandle.h"
#include "base/platform/WindowMessages.h"
#include "engine/CData.h"
#include "speech_double/SpeechDouble.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

// A main window stand-in that keeps what was posted to it.
class RecordingWindow : public WindowHandle {
public:
    bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        posts_.push_back({message, wParam, lParam});
        return true;
    }
    // Nothing here posts a payload; one would be recorded like a plain message and dropped.
    bool PostOwned(uint32_t message, uintptr_t wParam, std::unique_ptr<WindowPayload>) override
    {
        return PostMessage(message, wParam, 0);
    }
    struct Post {
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
    };
    std::vector<Post> Posts()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return posts_;
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return posts_.size();
    }

private:
    std::mutex lock_;
    std::vector<Post> posts_;
};

// The speech double on loopback HTTPS, the context pointed at it, and a recording main window.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        speech_ = SpeechDouble::Server::Start({}, &error);
        ASSERT_TRUE(speech_) << error;
        speech_->ExportEnvironment();
        CData::Instance().AddKey({{SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey}});
        CData::Instance().SetMainWnd(window_);
        logStart_ = TestSupport::ReadFile(LogPath()).size();
    }
    void TearDown() override { CData::Instance().SetMainWnd(nullptr); }

    static std::string LogPath() { return PubUtils::GetAppDataDir() + "/Talvora.log"; }
    // What this test wrote to the log; other tests of the same process wrote the rest.
    std::string Log() const { return TestSupport::ReadFile(LogPath()).substr(logStart_); }
    static size_t Occurrences(const std::string& text, const std::string& part)
    {
        return TestSupport::CountOccurrences(text, part);
    }

    std::unique_ptr<SpeechDouble::Server> speech_;
    std::shared_ptr<RecordingWindow> window_ = std::make_shared<RecordingWindow>();
    TestSupport::TempDir dir_;
    size_t logStart_ = 0;
};
