#pragma once

#include "base/AppPaths.h"
#include "engine/CloudRecognizer.h"
#include "engine/CredentialPool.h"
#include "engine/JobListener.h"
#include "speech_double/SpeechDouble.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

// Keeps what a job manager tells.
class RecordingListener : public JobListener {
public:
    void OnSegmentDone(const SegmentDone& done) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        news_.push_back(done);
    }
    void OnFileFailed(const std::string& file, const std::string& reason) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        failures_.push_back(file + ": " + reason);
    }
    std::vector<SegmentDone> News()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return news_;
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return news_.size();
    }
    std::vector<std::string> Failures()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return failures_;
    }

private:
    std::mutex lock_;
    std::vector<SegmentDone> news_;
    std::vector<std::string> failures_;
};

// The cloud recognizer with the speech double's keys.
inline std::shared_ptr<CloudRecognizer> TestCloud(const std::string& language = {})
{
    auto keys = std::make_shared<CredentialPool>();
    keys->Replace({{SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey}});
    return std::make_shared<CloudRecognizer>(keys, language);
}

// The speech double on loopback HTTPS, a recognizer with its keys, and a recording listener.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        speech_ = SpeechDouble::Server::Start({}, &error);
        ASSERT_TRUE(speech_) << error;
        speech_->ExportEnvironment();
        logStart_ = TestSupport::ReadFile(LogPath()).size();
    }

    static std::string LogPath() { return AppPaths::GetAppDataDir() + "/Talvora.log"; }
    // What this test wrote to the log; other tests of the same process wrote the rest.
    std::string Log() const { return TestSupport::ReadFile(LogPath()).substr(logStart_); }
    static size_t Occurrences(const std::string& text, const std::string& part)
    {
        return TestSupport::CountOccurrences(text, part);
    }

    std::unique_ptr<SpeechDouble::Server> speech_;
    std::shared_ptr<RecordingListener> window_ = std::make_shared<RecordingListener>();
    TestSupport::TempDir dir_;
    size_t logStart_ = 0;
};
