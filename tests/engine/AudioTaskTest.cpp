#include "EngineFixture.h"

#include "engine/CAudioTask.h"
#include "engine/FfmpegCommand.h"
#include "support/AudioFiles.h"

#include <condition_variable>

using namespace TestSupport;
using SpeechDouble::Endpoint;
using SpeechDouble::Fault;

namespace {

// Runs one worker to its completion and keeps its outcome.
struct Outcome {
    int32_t code = 0;
    std::string message;
    std::string text;
};

Outcome RunTask(const std::wstring& command)
{
    struct Done {
        std::mutex lock;
        std::condition_variable changed;
        bool finished = false;
        Outcome outcome;
    } done;
    auto* task = new CAudioTask();
    task->SetCallBack(
        [](CAudioTask* finished, void* owner) {
            auto* state = static_cast<Done*>(owner);
            std::lock_guard<std::mutex> guard(state->lock);
            state->outcome = {finished->ResultCode(), finished->ErrorMessage(), finished->Text()};
            state->finished = true;
            delete finished;
            state->changed.notify_all();
        },
        &done);
    EXPECT_TRUE(task->StartTask(command, 0));
    std::unique_lock<std::mutex> guard(done.lock);
    EXPECT_TRUE(done.changed.wait_for(guard, std::chrono::seconds(60), [&] { return done.finished; }));
    return done.outcome;
}

class AudioTaskTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_TRUE(MakeToneFile(dir_ / "input.wav", 30, {440}, 30));
        command_ = BuildSegmentCommand(dir_ / "input.wav", 0);
    }
    std::wstring command_;
};

}  // namespace

TEST_F(AudioTaskTest, RecognisedSegment)
{
    const Outcome outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.message, "success.");
    EXPECT_EQ(outcome.text, "tone 440");
    EXPECT_NE(Log().find("CAudioTask::Run:\t\tspeech text size: 8\r\n"), std::string::npos);
    // The request carried the language option and the whole segment.
    const auto requests = speech_->Requests(Endpoint::Recognition);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]->audioBytes, 30u * 32000u);
    EXPECT_NE(requests[0]->body.find("\"lan\""), std::string::npos);
}

TEST_F(AudioTaskTest, ServiceErrorsAndUnreadableReplies)
{
    speech_->AddFault({.fault = Fault::ErrNo(3301)});
    Outcome outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, 3301);
    EXPECT_EQ(outcome.message, "speech quality error.");
    EXPECT_EQ(outcome.text, "");
    EXPECT_NE(Log().find(std::string("CAudioTask::Run:\t\tspeech error. key:") + SpeechDouble::kTestApiKey +
                         ",code:3301,msg:speech quality error.\r\n"),
              std::string::npos);

    speech_->AddFault({.fault = Fault::HtmlPage()});
    outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, -1);
    EXPECT_EQ(outcome.message, "null\n");
    EXPECT_NE(Log().find("CAudioTask::Run:\t\tspeech curl error: null\n\r\n"), std::string::npos);

    speech_->AddFault({.fault = Fault::Refuse()});
    outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, -1);
    EXPECT_EQ(outcome.message.find("{\n\t\"curl_error_code\" : "), 0u) << outcome.message;

    // A code that is not a whole number is no code at all.
    speech_->AddFault({.fault = Fault::Raw(200, "application/json", R"({"err_no":"0","err_msg":"odd","result":["x"]})")});
    outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, -1);
    speech_->AddFault({.fault = Fault::Raw(200, "application/json", R"({"err_no":0.0,"err_msg":7,"result":[1]})")});
    outcome = RunTask(command_);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.message, "7");
    EXPECT_EQ(outcome.text, "");
}

TEST_F(AudioTaskTest, NoAudioMeansNoFileAndNoRequest)
{
    WriteFile(dir_ / "text.wav", "not audio at all");
    const Outcome outcome = RunTask(BuildSegmentCommand(dir_ / "text.wav", 0));
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.message, "no file");
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 0);
    EXPECT_FALSE(CAudioTask().StartTask(L"", 0));
}
