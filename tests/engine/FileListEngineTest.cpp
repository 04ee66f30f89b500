// The file list on a real job manager, as the window and the program without one use it: the
// manager's news of finished segments become progress, completion and warnings; news of a row
// removed meanwhile is not read.
#include "EngineFixture.h"

#include "engine/TranscriptionJobs.h"
#include "engine/SegmentRecord.h"
#include "engine/FileList.h"
#include "support/AudioFiles.h"

using namespace TestSupport;
using SpeechDouble::Endpoint;
using SpeechDouble::Fault;

namespace {

class Warnings : public FileList::Events {
public:
    void OnWarning(const ShownText& text) override { told.push_back(text.Plain()); }
    std::vector<std::string> told;
};

class FileListEngineTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        convert_ = std::make_unique<TranscriptionJobs>(TestCloud(), window_);
        files_.SetJobs(convert_.get());
        files_.SetEvents(&warnings_);
    }
    void TearDown() override
    {
        files_.SetJobs(nullptr);
        convert_.reset();
    }

    // The window's loop, faster: start queued segments, and take the news on this thread in the
    // order it came, until `done` holds.
    template <class Done>
    bool RunUntil(Done done, std::chrono::seconds limit = std::chrono::seconds(90))
    {
        size_t taken = 0;
        return WaitUntil(
            [&] {
                convert_->Dispatch();
                const std::vector<SegmentDone> news = window_->News();
                for (; taken < news.size(); ++taken) {
                    const FileList::Progress progress = files_.OnSegmentDone(news[taken].id);
                    if (progress.row >= 0)
                        progress_.push_back(files_.Row(progress.row)->progressText);
                    else
                        ++stale_;
                }
                return done();
            },
            limit);
    }

    std::unique_ptr<TranscriptionJobs> convert_;
    Warnings warnings_;
    FileList files_;
    std::vector<std::string> progress_;
    int stale_ = 0;
};

}  // namespace

TEST_F(FileListEngineTest, SegmentsBecomeProgressAndAPoorSegmentWarnsOnceAtTheEnd)
{
    // 130 seconds: two segments, 120 seconds of 440 Hz and 10 of 550 Hz; the service refuses
    // the short one on every one of its ten tries.
    const std::string path = dir_ / "两段 talk.wav";
    ASSERT_TRUE(MakeToneFile(path, 130, {440, 550}, 120));
    speech_->AddFault({.text = "tone 550", .times = -1, .fault = Fault::ServerError(3303)});
    ASSERT_TRUE(files_.Add(path));
    ASSERT_EQ(files_.Row(0)->durationSeconds, 130);
    ASSERT_TRUE(files_.Start(0));
    EXPECT_EQ(files_.Row(0)->progressText, "0");

    ASSERT_TRUE(RunUntil([&] { return files_.Row(0)->status == ItemDone; }));
    EXPECT_EQ(progress_, (std::vector<std::string>{"50%", "100%"}));
    EXPECT_STREQ(files_.Row(0)->ActionText(), "完成");
    EXPECT_EQ(warnings_.told, std::vector<std::string>{path + ",音频质量太差，部分内容无法识别。"});
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 11);
    EXPECT_EQ(files_.Text(0, false), "tone 440");
}

TEST_F(FileListEngineTest, AFileThatIsNotAudioFailsWithFfmpegsReason)
{
    const std::string path = dir_ / "notes.wav";
    WriteFile(path, "not audio at all");
    // Planned as an hour (no duration), it fails as a whole at its first cut, not after ten
    // tries of each of thirty segments.
    ASSERT_TRUE(files_.Add(path, 0));
    ASSERT_TRUE(files_.Start(0));
    ASSERT_TRUE(RunUntil([&] { return files_.Row(0)->status == ItemFailed; }, std::chrono::seconds(20)));
    ASSERT_EQ(warnings_.told.size(), 1u);
    EXPECT_NE(warnings_.told[0].find("错误码: -2，错误信息: Invalid data found when processing input"), std::string::npos)
        << warnings_.told[0];
    EXPECT_EQ(files_.Text(0, false), warnings_.told[0]);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 0);
}

TEST_F(FileListEngineTest, ResultsOfARemovedRowAreNotRead)
{
    const std::string path = dir_ / "gone.wav";
    ASSERT_TRUE(MakeToneFile(path, 5, {440}, 5));
    // The service holds the answer until the row is gone.
    speech_->SetLatency(std::chrono::milliseconds(300));
    ASSERT_TRUE(files_.Add(path));
    ASSERT_TRUE(files_.Add(dir_ / "stays.wav"));
    ASSERT_TRUE(files_.Start(0));
    ASSERT_TRUE(speech_->WaitForRequests(Endpoint::Token, 1));
    ASSERT_TRUE(files_.Remove(0));
    speech_->SetLatency(std::chrono::milliseconds(0));

    ASSERT_TRUE(RunUntil([&] { return convert_->RunningCount() == 0; }, std::chrono::seconds(30)));
    EXPECT_TRUE(progress_.empty());
    EXPECT_EQ(files_.Count(), 1);
    EXPECT_EQ(files_.Row(0)->status, ItemIdle);
    EXPECT_EQ(files_.Row(0)->progressText, "0");
}
