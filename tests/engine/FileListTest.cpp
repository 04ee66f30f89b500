// The file list's rules without a window: which rows start, progress and completion from the job
// manager's records, the failure and poor-audio verdicts told once, the elapsed time, stopping,
// retrying and deleting.
#include "base/AppPaths.h"
#include "engine/TranscriptionJobs.h"
#include "engine/SegmentRecord.h"
#include "engine/FileList.h"
#include "engine/JobListener.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using TestSupport::TempDir;

namespace {

// Finished records of one file, as the job manager hands them out.
class Records {
public:
    Records(std::string file, int count) : file_(std::move(file)), count_(count) {}
    SegmentRecord& Finish(int index, int attempts = 1)
    {
        auto record = std::make_unique<SegmentRecord>();
        record->file = file_;
        record->segmentCount = count_;
        record->segmentIndex = index;
        record->attempts = attempts;
        record->finished = true;
        record->text = "tone 440";
        owned_.push_back(std::move(record));
        return *owned_.back();
    }
    std::vector<SegmentRecord*> All() const
    {
        std::vector<SegmentRecord*> all;
        for (const auto& record : owned_)
            all.push_back(record.get());
        return all;
    }

private:
    std::string file_;
    int count_;
    std::vector<std::unique_ptr<SegmentRecord>> owned_;
};

class Warnings : public FileList::Events {
public:
    void OnWarning(const ShownText& text) override { told.push_back(text.Plain()); }
    std::vector<std::string> told;
};

// Never recognises: a manager that takes files but starts no attempt.
class Unused : public Recognizer {
public:
    RecognitionOutcome Recognize(const std::string&) override { return {}; }
    RecognizerKind Kind() const override { return RecognizerKind::Cloud; }
};

class FileListTest : public testing::Test {
protected:
    void SetUp() override
    {
        files_.SetJobs(&jobs_);
        files_.SetEvents(&warnings_);
    }
    void TearDown() override { files_.SetJobs(nullptr); }

    void AddNamed(const std::vector<std::string>& names)
    {
        for (const std::string& name : names) {
            TestSupport::WriteFile(dir_ / name, "x");
            ASSERT_TRUE(files_.Add(dir_ / name, 100));
        }
    }
    const FileRow& Row(int row) const { return *files_.Row(row); }

    TempDir dir_;
    TranscriptionJobs jobs_{std::make_shared<Unused>(), nullptr, JobOptions{.maxWorkers = 0}};
    Warnings warnings_;
    FileList files_;
};

}  // namespace

TEST_F(FileListTest, OnlyAnIdleOrFailedRowStartsRecognising)
{
    AddNamed({"a.wav", "b.wav"});
    EXPECT_FALSE(files_.Add(dir_ / "a.wav", 5)) << "the path is the row's identity";
    EXPECT_TRUE(files_.Start(1));
    EXPECT_EQ(Row(1).status, ItemRecognizing);
    EXPECT_STREQ(Row(1).ActionText(), "识别中");
    EXPECT_EQ(Row(1).progressText, "0");
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return jobs_.QueuedCount() == 1u; }));
    EXPECT_FALSE(files_.Start(1));
    EXPECT_FALSE(files_.Start(2));
    EXPECT_FALSE(files_.Start(-1));
    EXPECT_EQ(Row(0).status, ItemIdle);
    EXPECT_STREQ(Row(0).ActionText(), "开始");

    // A file the manager cannot prepare goes back to idle once it says so; news of a start
    // that another start replaced is stale.
    ASSERT_TRUE(files_.Add(dir_ / "missing.wav", 5));
    EXPECT_TRUE(files_.Start(2));
    EXPECT_EQ(Row(2).status, ItemRecognizing);
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return !jobs_.Holds(dir_ / "missing.wav"); }));
    EXPECT_EQ(files_.StartFailed(dir_ / "missing.wav"), 2);
    EXPECT_EQ(Row(2).status, ItemIdle);
    EXPECT_EQ(files_.StartFailed(dir_ / "missing.wav"), -1);
    EXPECT_EQ(files_.StartFailed(Row(1).filePath), -1);
    EXPECT_EQ(Row(1).status, ItemRecognizing);
}

TEST_F(FileListTest, ProgressCountsFinishedSegmentsAndCompletesTheRow)
{
    AddNamed({"three.wav", "four.wav"});
    ASSERT_TRUE(files_.Start(0));
    ASSERT_TRUE(files_.Start(1));

    Records three(Row(0).filePath, 3);
    three.Finish(1);
    EXPECT_EQ(files_.Update(three.All()).row, 0);
    EXPECT_EQ(Row(0).progressText, "33%");
    EXPECT_EQ(Row(0).status, ItemRecognizing);

    Records four(Row(1).filePath, 4);
    four.Finish(1);
    four.Finish(2);
    four.Finish(4);
    EXPECT_FALSE(files_.Update(four.All()).complete);
    EXPECT_EQ(Row(1).progressText, "75%");
    four.Finish(3);
    EXPECT_TRUE(files_.Update(four.All()).complete);
    EXPECT_EQ(Row(1).progressText, "100%");
    EXPECT_STREQ(Row(1).ActionText(), "完成");
    EXPECT_EQ(Row(1).status, ItemDone);
    EXPECT_TRUE(files_.HasUnsavedWork());

    // A done row stays done.
    EXPECT_FALSE(files_.Start(1));
    files_.Update(four.All());
    EXPECT_EQ(Row(1).status, ItemDone);
    EXPECT_EQ(Row(0).progressText, "33%");
    EXPECT_TRUE(warnings_.told.empty());
}

TEST_F(FileListTest, ResultsThatMatchNoRowChangeNothing)
{
    AddNamed({"a.wav"});
    const size_t logStart = TestSupport::ReadFile(AppPaths::GetAppDataDir() + "/Talvora.log").size();
    EXPECT_EQ(files_.Update({}).row, -1);
    Records gone(dir_ / "removed.wav", 1);
    gone.Finish(1);
    EXPECT_EQ(files_.Update(gone.All()).row, -1);
    // A record without a plan cannot divide by zero.
    Records unplanned(Row(0).filePath, 0);
    unplanned.Finish(1);
    EXPECT_EQ(files_.Update(unplanned.All()).row, -1);
    EXPECT_EQ(files_.Update({nullptr}).row, -1);
    // News of a record the manager no longer holds.
    EXPECT_EQ(files_.OnSegmentDone(987654).row, -1);

    EXPECT_EQ(Row(0).progressText, "0");
    EXPECT_EQ(Row(0).status, ItemIdle);
    const std::string log = TestSupport::ReadFile(AppPaths::GetAppDataDir() + "/Talvora.log").substr(logStart);
    EXPECT_NE(log.find(TestSupport::LogEntryStart("CPlayListCtrl::UpdateItemStatus", "UpdateItemStatus vctInfo is empty")), std::string::npos);
    EXPECT_NE(log.find(TestSupport::LogEntryStart("CPlayListCtrl::UpdateItemStatus", "UpdateItemStatus no found. " + dir_ / "removed.wav")),
              std::string::npos);
}

TEST_F(FileListTest, PoorAudioIsToldOnceWhenTheFileCompletes)
{
    AddNamed({"noisy.wav", "clean.wav"});
    ASSERT_TRUE(files_.Start(0));
    ASSERT_TRUE(files_.Start(1));

    Records clean(Row(1).filePath, 2);
    clean.Finish(1, 9);
    clean.Finish(2, 1);
    files_.Update(clean.All());
    EXPECT_EQ(Row(1).status, ItemDone);
    EXPECT_TRUE(warnings_.told.empty());

    Records noisy(Row(0).filePath, 3);
    noisy.Finish(1, 1);
    noisy.Finish(2, 10);  // needed every dispatch
    files_.Update(noisy.All());
    EXPECT_TRUE(warnings_.told.empty()) << "not before the file completes";
    noisy.Finish(3, 12);
    files_.Update(noisy.All());
    EXPECT_EQ(Row(0).status, ItemDone);
    EXPECT_EQ(warnings_.told, (std::vector<std::string>{dir_ / "noisy.wav" + ",音频质量太差，部分内容无法识别。"}));
    // Later news of the done file tells nothing again.
    files_.Update(noisy.All());
    EXPECT_EQ(warnings_.told.size(), 1u);
}

TEST_F(FileListTest, AFileWithoutTextThatHadAnErrorFailsSaysWhyOnceAndCanStartAgain)
{
    AddNamed({"bad.wav", "part.wav", "quiet.wav"});
    for (int row = 0; row < 3; ++row)
        ASSERT_TRUE(files_.Start(row));
    files_.Tick();
    ASSERT_EQ(Row(0).elapsedSeconds, 1);

    // Every segment failed: the last error is the one told.
    Records bad(Row(0).filePath, 2);
    SegmentRecord& first = bad.Finish(0, 10);
    first.resultCode = -1;
    first.errorMessage = "token request failed";
    first.text.clear();
    SegmentRecord& second = bad.Finish(1, 10);
    second.resultCode = 3301;
    second.errorMessage = "speech quality\nerror";
    second.text.clear();
    files_.Update(bad.All());
    EXPECT_EQ(Row(0).status, ItemFailed);
    EXPECT_STREQ(Row(0).ActionText(), "失败");
    EXPECT_EQ(Row(0).progressText, "100%");
    const std::string told = dir_ / "bad.wav" + ",文件无法识别。错误码: 3301，错误信息: speech quality error";
    EXPECT_EQ(warnings_.told, std::vector<std::string>{told});
    files_.Update(bad.All());
    EXPECT_EQ(warnings_.told.size(), 1u) << "told once";
    EXPECT_EQ(Row(0).status, ItemFailed);

    // Some text: done, with the poor-audio warning for the segment that failed for good.
    Records part(Row(1).filePath, 2);
    part.Finish(0, 1);
    SegmentRecord& lost = part.Finish(1, 10);
    lost.resultCode = 3301;
    lost.text.clear();
    files_.Update(part.All());
    EXPECT_EQ(Row(1).status, ItemDone);
    ASSERT_EQ(warnings_.told.size(), 2u);
    EXPECT_EQ(warnings_.told[1], dir_ / "part.wav" + ",音频质量太差，部分内容无法识别。");

    // No text but no error either (the service heard nothing): done, nothing to tell.
    Records quiet(Row(2).filePath, 1);
    quiet.Finish(0, 1).text.clear();
    files_.Update(quiet.All());
    EXPECT_EQ(Row(2).status, ItemDone);
    EXPECT_EQ(warnings_.told.size(), 2u);

    // A failed row starts again from the beginning; a done one does not.
    EXPECT_TRUE(files_.Start(0));
    EXPECT_EQ(Row(0).status, ItemRecognizing);
    EXPECT_EQ(Row(0).progressText, "0");
    EXPECT_EQ(Row(0).elapsedSeconds, 0);
    EXPECT_FALSE(files_.Start(1));
}

TEST_F(FileListTest, ElapsedTimeAdvancesOnlyWhileRecognising)
{
    AddNamed({"idle.wav", "busy.wav", "done.wav"});
    ASSERT_TRUE(files_.Start(1));
    ASSERT_TRUE(files_.Start(2));
    Records done(Row(2).filePath, 1);
    done.Finish(1);
    files_.Tick();
    files_.Update(done.All());
    for (int i = 0; i < 64; ++i)
        files_.Tick();
    EXPECT_EQ(Row(0).elapsedSeconds, 0);
    EXPECT_EQ(Row(1).elapsedSeconds, 65);
    EXPECT_EQ(Row(2).elapsedSeconds, 1);
}

TEST_F(FileListTest, StopRetryAndDeleteFollowTheRowsState)
{
    AddNamed({"a.wav", "b.wav"});
    ASSERT_TRUE(files_.Start(0));
    EXPECT_FALSE(files_.CanDelete(0)) << "not while it is being recognised";
    EXPECT_TRUE(files_.CanDelete(1));
    EXPECT_FALSE(files_.Retry(0));
    EXPECT_FALSE(files_.Stop(1));

    // Stopped: idle again, its queued segments gone.
    files_.Tick();
    EXPECT_TRUE(files_.Stop(0));
    EXPECT_EQ(Row(0).status, ItemIdle);
    EXPECT_EQ(Row(0).elapsedSeconds, 0);
    EXPECT_EQ(jobs_.QueuedCount(), 0u);
    EXPECT_FALSE(files_.HasUnsavedWork());

    // Done, then again from scratch: recognising, its old records gone.
    ASSERT_TRUE(files_.Start(0));
    Records done(Row(0).filePath, 1);
    done.Finish(0);
    files_.Update(done.All());
    files_.MarkSaved(0);
    EXPECT_FALSE(files_.HasUnsavedWork());
    EXPECT_EQ(files_.DoneFiles(), std::vector<std::string>{dir_ / "a.wav"});
    EXPECT_TRUE(files_.Retry(0));
    EXPECT_EQ(Row(0).status, ItemRecognizing);
    EXPECT_FALSE(Row(0).saved);
    EXPECT_TRUE(files_.DoneFiles().empty());

    // Removing a row removes its records too.
    EXPECT_TRUE(files_.Remove(0));
    EXPECT_EQ(files_.Count(), 1);
    EXPECT_EQ(jobs_.QueuedCount(), 0u);
    EXPECT_FALSE(files_.Remove(5));
}
