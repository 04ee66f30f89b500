#include "EngineFixture.h"

#include "engine/TranscriptionJobs.h"
#include "base/Config.h"
#include "engine/DecoderPool.h"
#include "engine/LocalRecognizer.h"
#include "engine/SegmentAttempt.h"
#include "engine/WhisperRecognizer.h"
#include "support/AudioFiles.h"

#include <dirent.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;
using SpeechDouble::Endpoint;
using SpeechDouble::Fault;

namespace {

size_t ThreadCount()
{
    size_t count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(dir))
            count += entry->d_name[0] != '.';
        closedir(dir);
    }
    return count;
}

class TranscriptionJobsTest : public EngineTest {
protected:
    // Dispatches as fast as workers free up until `messages` segments were announced.
    bool RunUntil(size_t messages, std::chrono::seconds timeout = std::chrono::seconds(120))
    {
        return WaitUntil(
            [&] {
                convert_->Dispatch();
                return window_->Count() >= messages;
            },
            timeout);
    }
    // Dispatches as fast as workers free up until every planned segment of `file` finished and
    // no worker runs.
    bool RunToEnd(const std::string& file, std::chrono::seconds timeout = std::chrono::seconds(240))
    {
        return WaitUntil(
            [&] {
                convert_->Dispatch();
                const auto finished = convert_->GetFinishedSegments(file);
                return !finished.empty() && finished.size() == static_cast<size_t>(finished[0]->segmentCount) &&
                       convert_->RunningCount() == 0;
            },
            timeout);
    }
    // Dispatches until `workers` attempts run at once: segments go out once they are decoded.
    bool DispatchUntilRunning(int32_t workers)
    {
        return WaitUntil([&] {
            convert_->Dispatch();
            return convert_->RunningCount() >= workers;
        });
    }
    std::vector<std::string> Texts(const std::string& file)
    {
        std::vector<std::string> texts;
        for (const SegmentRecord* segment : convert_->GetFinishedSegments(file))
            texts.push_back(segment->text);
        return texts;
    }
    // A manager made while config.ini chooses `recognizer` and `modelDir` (empty: the default).
    // The settings are put back at once: a manager reads them only when it is made.
    void UseManagerWith(const std::string& recognizer, const std::string& modelDir = "")
    {
        WriteConfigString("Recognizer", recognizer);
        WriteConfigString("LocalModelDir", modelDir);
        recognizer_ = MakeRecognizer(ReadRecognizerSetting());
        convert_ = std::make_unique<TranscriptionJobs>(recognizer_, window_);
        WriteConfigString("Recognizer", "");
        WriteConfigString("LocalModelDir", "");
    }
    // A manager with a Whisper-compatible server at `url`, `language` chosen and `key` in the
    // key file (none when empty).
    void UseWhisperServer(const std::string& url, const std::string& language = "", const std::string& key = "")
    {
        const std::string keyFile = AppPaths::GetAppDataDir() + "/whisper-api-key";
        if (!key.empty()) {
            WriteFile(keyFile, key + "\n");
            chmod(keyFile.c_str(), 0600);
        }
        WriteConfigString("WhisperApiUrl", url);
        WriteConfigString("Language", language);
        UseManagerWith("whisper-api");
        WriteConfigString("WhisperApiUrl", "");
        WriteConfigString("Language", "");
        unlink(keyFile.c_str());
    }
    std::shared_ptr<Recognizer> recognizer_ = TestCloud();
    std::unique_ptr<TranscriptionJobs> convert_ = std::make_unique<TranscriptionJobs>(recognizer_, window_);
};

const std::string kSpeechData = TALVORA_SPEECH_TESTDATA;

}  // namespace

TEST_F(TranscriptionJobsTest, WholeFileComesBackInSegmentOrder)
{
    const std::string file = dir_ / "a talk \xE9\x9F\xB3.mp3";  // a blank and non-ASCII characters
    ASSERT_TRUE(MakeToneFile(file, 362, {440, 550, 660, 770}, 120));
    ASSERT_TRUE(convert_->AddTask(file, 362));
    ASSERT_TRUE(RunUntil(4));
    EXPECT_EQ(Texts(file), (std::vector<std::string>{"tone 440", "tone 550", "tone 660", "tone 770"}));
    for (const SegmentDone& news : window_->News()) {
        EXPECT_EQ(news.file, file);
        const SegmentRecord* segment = convert_->FindSegment(news.id);
        ASSERT_NE(segment, nullptr);
        EXPECT_EQ(segment->file, file);
        EXPECT_EQ(segment->segmentCount, 4);
        EXPECT_EQ(segment->attempts, 1);
    }
    EXPECT_EQ(convert_->RunningCount(), 0);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 4);
}

TEST_F(TranscriptionJobsTest, TwoFilesInterleaveBySegmentIndex)
{
    const std::string a = dir_ / "a.wav";
    const std::string b = dir_ / "b.wav";
    ASSERT_TRUE(MakeToneFile(a, 360, {440, 550, 660}, 120));
    ASSERT_TRUE(MakeToneFile(b, 360, {880, 990, 1100}, 120));
    ASSERT_TRUE(convert_->AddTask(a, 360));
    ASSERT_TRUE(speech_->WaitForArrivals(Endpoint::Recognition, 1));
    ASSERT_TRUE(convert_->AddTask(b, 360));
    // One worker at a time, each waited for, so the arrival order is the dispatch order. A
    // segment still being decoded is not due yet: the dispatch is tried again until one starts.
    for (int started = 2; started <= 5; ++started) {
        ASSERT_TRUE(speech_->WaitForArrivals(Endpoint::Recognition, started));
        const size_t before = static_cast<size_t>(convert_->RunningCount()) + window_->Count();
        ASSERT_TRUE(WaitUntil([&] {
            convert_->Dispatch();
            return static_cast<size_t>(convert_->RunningCount()) + window_->Count() > before;
        }));
    }
    ASSERT_TRUE(RunUntil(6));
    auto requests = speech_->Requests(Endpoint::Recognition);
    std::sort(requests.begin(), requests.end(), [](const auto& x, const auto& y) { return x->number < y->number; });
    std::vector<std::string> order;
    for (const auto& request : requests)
        order.push_back(request->text);
    EXPECT_EQ(order, (std::vector<std::string>{"tone 440", "tone 880", "tone 550", "tone 990", "tone 660", "tone 1100"}));
    EXPECT_EQ(Texts(b), (std::vector<std::string>{"tone 880", "tone 990", "tone 1100"}));
}

TEST_F(TranscriptionJobsTest, FailedSegmentsAreTriedAgainUpToTenTimes)
{
    const std::string file = dir_ / "c.wav";
    ASSERT_TRUE(MakeToneFile(file, 240, {440, 550}, 120));
    speech_->AddFault({.text = "tone 440", .times = 3, .fault = Fault::ErrNo(3303)});
    speech_->AddFault({.text = "tone 550", .times = -1, .fault = Fault::ErrNo(3301)});
    ASSERT_TRUE(convert_->AddTask(file, 240));
    ASSERT_TRUE(RunUntil(2));
    const auto finished = convert_->GetFinishedSegments(file);
    ASSERT_EQ(finished.size(), 2u);
    EXPECT_EQ(finished[0]->attempts, 4);
    EXPECT_EQ(finished[0]->resultCode, 0);
    EXPECT_EQ(finished[0]->text, "tone 440");
    EXPECT_EQ(finished[1]->attempts, 10);
    EXPECT_EQ(finished[1]->resultCode, 3301);
    EXPECT_EQ(finished[1]->errorMessage, "speech quality error.");
    EXPECT_EQ(finished[1]->text, "");
    EXPECT_EQ(window_->Count(), 2u);

    int toneB = 0;
    for (const auto& request : speech_->Requests(Endpoint::Recognition))
        toneB += request->text == "tone 550";
    EXPECT_EQ(toneB, 10);
    const std::string log = Log();
    const std::string retry = "speech task failed. " + finished[1]->pcmFile + ", code:3301, err:speech quality error., retry:";
    EXPECT_EQ(Occurrences(log, retry), 9u);
    EXPECT_NE(log.find(retry + "9\r\n"), std::string::npos);
    EXPECT_EQ(log.find(retry + "10\r\n"), std::string::npos);
}

TEST_F(TranscriptionJobsTest, SuccessWithAnEmptyMessageStillFinishes)
{
    const std::string file = dir_ / "d.wav";
    ASSERT_TRUE(MakeToneFile(file, 60, {440}, 60));
    speech_->AddFault({.fault = Fault::Raw(200, "application/json", R"({"err_no":0,"err_msg":"","result":["quiet"]})")});
    ASSERT_TRUE(convert_->AddTask(file, 60));
    ASSERT_TRUE(RunUntil(1));
    const auto finished = convert_->GetFinishedSegments(file);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0]->errorMessage, "");
    EXPECT_EQ(finished[0]->text, "quiet");
}

TEST_F(TranscriptionJobsTest, ShortMissingAndUnreadableFiles)
{
    // One second of audio still makes one segment.
    const std::string tiny = dir_ / "tiny.wav";
    ASSERT_TRUE(MakeToneFile(tiny, 1, {440}, 1));
    ASSERT_TRUE(convert_->AddTask(tiny, 1));
    ASSERT_TRUE(RunUntil(1));
    EXPECT_EQ(Texts(tiny), (std::vector<std::string>{"tone 440"}));

    // The probe rounds down and the plan drops a remainder of a second: the cut still reaches
    // the end of the recording.
    const std::string tail = dir_ / "tail.ogg";
    ASSERT_TRUE(MakeToneFile(tail, 120.9, {440}, 120.9));
    ASSERT_TRUE(convert_->AddTask(tail, 120));
    ASSERT_TRUE(RunUntil(2));
    ASSERT_EQ(speech_->Requests(Endpoint::Recognition).size(), 2u);
    EXPECT_EQ(speech_->Requests(Endpoint::Recognition)[1]->audioBytes, 120u * 32000u + 28800u);

    // Not audio, planned as an hour: ffmpeg cannot decode the input at all, so the whole file
    // fails at once with its reason, and no other segment is tried.
    WriteFile(dir_ / "notes.wav", "not audio at all");
    ASSERT_TRUE(convert_->AddTask(dir_ / "notes.wav", 0));
    ASSERT_TRUE(RunToEnd(dir_ / "notes.wav", std::chrono::seconds(30)));
    const auto failed = convert_->GetFinishedSegments(dir_ / "notes.wav");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0]->segmentCount, 1);
    EXPECT_EQ(failed[0]->resultCode, kCutFailedCode);
    EXPECT_EQ(failed[0]->errorMessage, "Invalid data found when processing input");
    EXPECT_EQ(convert_->QueuedCount(), 0u);
    EXPECT_LE(Occurrences(Log(), "cut failed. "), static_cast<size_t>(JobOptions{}.maxWorkers));
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 2);

    // What cannot be copied, or must not be: the listener told, nothing queued, and never a hang
    // on a FIFO or an endless copy of a device.
    ASSERT_EQ(mkfifo((dir_ / "x.wav").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (dir_ / "z.wav").c_str()), 0);
    for (const std::string name : {"missing.wav", "x.wav", "z.wav"}) {
        ASSERT_TRUE(convert_->AddTask(dir_ / name, 100)) << name;
        ASSERT_TRUE(WaitUntil([&] { return !convert_->Holds(dir_ / name); })) << name;
    }
    // A container that claims years is refused before anything is planned.
    ASSERT_TRUE(convert_->AddTask(tiny, 2147483647));
    ASSERT_TRUE(WaitUntil([&] { return window_->Failures().size() == 4; }));
    EXPECT_FALSE(convert_->Holds(tiny));
    const std::vector<std::string> failures = window_->Failures();
    EXPECT_EQ(failures[0], dir_ / "missing.wav" + ": 任务失败，请确保任务文件未被其他程序占用.");
    EXPECT_EQ(failures[3], tiny + ": 任务失败，请确保任务文件未被其他程序占用.");
    EXPECT_EQ(convert_->QueuedCount(), 0u);
    const std::string log = Log();
    EXPECT_NE(log.find("not a regular file: " + dir_ / "x.wav"), std::string::npos);
    EXPECT_NE(log.find("audio " + tiny + " time 2147483647 is above 604800, refused\r\n"), std::string::npos);

    // No duration: planned as an hour.
    WriteFile(dir_ / "unknown.wav", "x");
    ASSERT_TRUE(convert_->AddTask(dir_ / "unknown.wav", 0));
    EXPECT_TRUE(WaitUntil([&] { return convert_->QueuedCount() + static_cast<size_t>(convert_->RunningCount()) == 30u; }));
    EXPECT_NE(Log().find(TestSupport::LogEntry("CAudioConvert::AddTask", "audio " + dir_ / "unknown.wav" + " time is 0, set 3600")), std::string::npos);
    convert_->RemoveTask(dir_ / "unknown.wav");
    EXPECT_TRUE(WaitUntil([&] { return convert_->RunningCount() == 0; }));
}

TEST_F(TranscriptionJobsTest, ThePlanFollowsTheRealAudioWhateverTheContainerClaims)
{
    // ADTS carries no duration: planned as an hour, this one goes on for 125 seconds more, all
    // of which must come back, and nothing past its end may be sent.
    const std::string adts = dir_ / "long.aac";
    ASSERT_EQ(RunChild({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=f=440:d=3600:sample_rate=8000",
                        "-f", "lavfi", "-i", "sine=f=550:d=125:sample_rate=8000", "-filter_complex", "concat=n=2:v=0:a=1",
                        "-ac", "1", "-b:a", "12k", "-f", "adts", adts},
                       {}, std::chrono::seconds(120))
                  .exitCode,
              0);
    ASSERT_TRUE(convert_->AddTask(adts, 0));
    ASSERT_TRUE(RunToEnd(adts));
    std::vector<std::string> expected(30, "tone 440");
    expected.insert(expected.end(), 2, "tone 550");
    EXPECT_EQ(Texts(adts), expected);
    for (const SegmentRecord* segment : convert_->GetFinishedSegments(adts)) {
        EXPECT_EQ(segment->segmentCount, 32);
        EXPECT_NEAR(segment->totalSeconds, 3725, 1);  // the encoder's last frame may reach past it
        EXPECT_EQ(segment->resultCode, 0);
    }
    // The segment that was planned last keeps its own two minutes; the next one starts after them.
    for (const auto& request : speech_->Requests(Endpoint::Recognition))
        EXPECT_LE(request->audioBytes, 120u * 32000u);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 32);

    // A container that claims six days for 30 seconds: one segment, sent once, and the window's
    // last word about the file names it, so the window sees the file complete.
    const std::string claimed = dir_ / "claimed.mp3";
    ASSERT_TRUE(MakeToneFile(claimed, 30, {660}, 30));
    ASSERT_TRUE(convert_->AddTask(claimed, 6 * 24 * 3600));
    ASSERT_TRUE(RunToEnd(claimed, std::chrono::seconds(60)));
    const auto finished = convert_->GetFinishedSegments(claimed);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0]->text, "tone 660");
    EXPECT_EQ(finished[0]->totalSeconds, 30);
    EXPECT_EQ(convert_->QueuedCount(), 0u);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 33);
    const auto posts = window_->News();
    ASSERT_FALSE(posts.empty());
    EXPECT_EQ(posts.back().id, finished[0]->id);
    EXPECT_NE(Log().find("audio " + claimed + " ends before segment "), std::string::npos);
}

TEST_F(TranscriptionJobsTest, AFileReplacedAtTheSamePathNeverShowsTheOldText)
{
    const std::string file = dir_ / "\xE4\xBC\x9A\xE8\xAE\xAE\xE5\xBD\x95\xE9\x9F\xB3";  // 会议录音, no extension
    ASSERT_TRUE(MakeToneFile(file, 30, {440}, 30, "wav"));
    ASSERT_TRUE(convert_->AddTask(file, 30));
    ASSERT_TRUE(RunUntil(1));
    EXPECT_EQ(Texts(file), (std::vector<std::string>{"tone 440"}));
    // The name's last four bytes cut a character in two; the copy's name must stay valid.
    const std::string pcm = convert_->GetFinishedSegments(file)[0]->pcmFile;
    EXPECT_TRUE(Exists(pcm.substr(0, pcm.rfind('/')) + "/input____"));
    const uint64_t oldId = convert_->GetFinishedSegments(file)[0]->id;
    convert_->RemoveTask(file);

    WriteFile(file, "no longer audio");
    ASSERT_TRUE(convert_->AddTask(file, 30));
    ASSERT_TRUE(RunUntil(2));
    const auto finished = convert_->GetFinishedSegments(file);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0]->resultCode, kCutFailedCode);
    // A late message about the removed record names nothing, even if the new record took over
    // its address.
    EXPECT_EQ(convert_->FindSegment(oldId), nullptr);
    EXPECT_EQ(convert_->FindSegment(finished[0]->id), finished[0]);
    EXPECT_EQ(finished[0]->text, "");
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 1);
}

TEST_F(TranscriptionJobsTest, RemovedFileWhileTwoSegmentsRunPostsNothing)
{
    const std::string file = dir_ / "e.wav";
    ASSERT_TRUE(MakeToneFile(file, 360, {440, 550, 660}, 120));
    speech_->SetLatency(std::chrono::milliseconds(500));
    ASSERT_TRUE(convert_->AddTask(file, 360));
    ASSERT_TRUE(DispatchUntilRunning(2));
    ASSERT_TRUE(speech_->WaitForArrivals(Endpoint::Recognition, 2));
    const auto segments = window_->Count();
    convert_->RemoveTask(file);
    EXPECT_EQ(convert_->QueuedCount(), 0u);
    EXPECT_TRUE(WaitUntil([&] { return convert_->RunningCount() == 0; }, std::chrono::seconds(30)));
    EXPECT_EQ(window_->Count(), segments);
    EXPECT_EQ(Occurrences(Log(), TestSupport::LogEntry("CAudioConvert::OnAudioCallBack", "app exit. OnAudioCallBack no  PostMessage")), 2u);
    EXPECT_TRUE(convert_->GetFinishedSegments(file).empty());
}

TEST_F(TranscriptionJobsTest, DestroyedManagerWithWorkersRunningIsLeftAlone)
{
    const std::string file = dir_ / "f.wav";
    ASSERT_TRUE(MakeToneFile(file, 240, {440, 550}, 120));
    const size_t threadsBefore = ThreadCount();
    speech_->SetLatency(std::chrono::milliseconds(300));
    ASSERT_TRUE(convert_->AddTask(file, 240));
    ASSERT_TRUE(DispatchUntilRunning(2));
    ASSERT_TRUE(speech_->WaitForArrivals(Endpoint::Recognition, 2));
    convert_.reset();
    ASSERT_TRUE(speech_->WaitForRequests(Endpoint::Recognition, 2));
    // The workers end on their own, and their memory goes with them (checked by the sanitizers).
    EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= threadsBefore; }, std::chrono::seconds(30)));
    EXPECT_EQ(window_->Count(), 0u);
}

TEST_F(TranscriptionJobsTest, ALocalEnglishBatchIsRecognisedOnThisMachineAlone)
{
    UseManagerWith("local-en");
    ASSERT_EQ(convert_->GetRecognizerKind(), RecognizerKind::LocalEnglish);
    const std::string forward = dir_ / "goforward.wav";
    ASSERT_TRUE(MakeWavFromRaw(kSpeechData + "/goforward.raw", forward));
    const std::vector<std::string> files = {forward, kSpeechData + "/librivox/sense_and_sensibility_01_austen_64kb-0880.wav",
                                            kSpeechData + "/librivox/sense_and_sensibility_01_austen_64kb-0930.wav"};
    for (const std::string& file : files)
        ASSERT_TRUE(convert_->AddTask(file, 3));
    ASSERT_TRUE(RunUntil(files.size()));
    EXPECT_EQ(Texts(forward), (std::vector<std::string>{"go forward ten meters"}));
    for (const std::string& file : files) {
        const auto finished = convert_->GetFinishedSegments(file);
        ASSERT_EQ(finished.size(), 1u) << file;
        EXPECT_EQ(finished[0]->resultCode, 0) << file;
        EXPECT_EQ(finished[0]->errorMessage, "success.");
        // Its words come in timed sentences that say the text, alternative pronunciations and
        // all: "was(2)" is "was".
        std::string said;
        for (const TimedPiece& piece : finished[0]->pieces) {
            said += (said.empty() ? "" : " ") + piece.text;
            EXPECT_FALSE(piece.estimated) << file;
            EXPECT_LT(piece.start, piece.end) << file;
        }
        EXPECT_EQ(said, finished[0]->text) << file;
    }
    // Read speech comes out as words, not exactly (the decoder misses a word in three).
    EXPECT_NE(Texts(files[1]).at(0).find("young man"), std::string::npos) << Texts(files[1]).at(0);
    EXPECT_NE(Texts(files[2]).at(0).find("amiable"), std::string::npos) << Texts(files[2]).at(0);
    DecoderPool& pool = static_cast<LocalRecognizer&>(*recognizer_).Pool();
    EXPECT_LE(pool.LoadedCount(), pool.Limit());
    EXPECT_EQ(speech_->RequestCount(Endpoint::Token), 0);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 0);
}

TEST_F(TranscriptionJobsTest, AnUnknownRecognizerIsTheCloudAndAMissingModelFailsPlainly)
{
    UseManagerWith("whisper");
    EXPECT_EQ(convert_->GetRecognizerKind(), RecognizerKind::Cloud);
    EXPECT_NE(Log().find("RecognizerSetting::Read:\t\tunknown Recognizer \"whisper\" in config.ini; the cloud service is used\r\n"),
              std::string::npos);

    const std::string nowhere = dir_ / "no model";
    UseManagerWith("local-en", nowhere);
    const std::string forward = dir_ / "goforward.wav";
    ASSERT_TRUE(MakeWavFromRaw(kSpeechData + "/goforward.raw", forward));
    ASSERT_TRUE(convert_->AddTask(forward, 3));
    ASSERT_TRUE(RunUntil(1));
    const auto finished = convert_->GetFinishedSegments(forward);
    ASSERT_EQ(finished.size(), 1u);
    const std::string message = "local model not loaded: no US-English model in " + nowhere +
                                " (en-us/en-us, en-us/en-us.lm.bin, en-us/cmudict-en-us.dict)";
    EXPECT_EQ(finished[0]->resultCode, LocalRecognizer::kModelFailedCode);
    EXPECT_EQ(finished[0]->errorMessage, message);
    EXPECT_EQ(finished[0]->attempts, TranscriptionJobs::kMaxAttempts);
    EXPECT_EQ(Occurrences(Log(), "LocalRecognizer::Recognize:\t\t" + message + "\r\n"), 10u);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 0);
}

TEST_F(TranscriptionJobsTest, AStartedFileKeepsItsRecognizerUntilItEndsAndThenLetsGoOfIt)
{
    const std::string first = dir_ / "first.wav";
    const std::string second = dir_ / "second.wav";
    ASSERT_TRUE(MakeToneFile(first, 240, {440, 550}, 120));
    ASSERT_TRUE(MakeToneFile(second, 20, {660}, 120));
    ASSERT_TRUE(convert_->AddTask(first, 240));
    ASSERT_TRUE(speech_->WaitForArrivals(Endpoint::Recognition, 1));
    // The first file's second segment is still queued when the recognizer changes.
    ASSERT_EQ(convert_->QueuedCount(), 1u);
    WhisperRecognizer::Settings whisper;
    whisper.url = speech_->TranscriptionUrl();
    whisper.caFile = speech_->CaFile();
    convert_->SetRecognizer(std::make_shared<WhisperRecognizer>(whisper), {});
    const std::weak_ptr<Recognizer> replaced = recognizer_;
    recognizer_.reset();
    EXPECT_EQ(convert_->GetRecognizerKind(), RecognizerKind::WhisperApi);
    ASSERT_TRUE(convert_->AddTask(second, 20));

    ASSERT_TRUE(RunToEnd(first));
    ASSERT_TRUE(RunToEnd(second));
    EXPECT_EQ(Texts(first), (std::vector<std::string>{"tone 440", "tone 550"}));
    EXPECT_EQ(Texts(second), (std::vector<std::string>{"tone 660"}));
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 2);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Transcription), 1);
    EXPECT_EQ(convert_->GetRecognizerKind(first), RecognizerKind::Cloud);
    EXPECT_EQ(convert_->GetRecognizerKind(second), RecognizerKind::WhisperApi);
    // Nothing needs the old recognizer once its file is settled; its results stay.
    EXPECT_TRUE(WaitUntil([&] {
        convert_->Dispatch();
        return replaced.expired();
    }));
    EXPECT_EQ(Texts(first).size(), 2u);
}

TEST_F(TranscriptionJobsTest, AWhisperServerTimesThePiecesAcrossSegmentsFromTheFormAsSent)
{
    const std::string key = "sk-whisper-test-7f3a";
    speech_->SetWhisperApiKey(key);
    UseWhisperServer(speech_->TranscriptionUrl(), "en", key);
    ASSERT_EQ(convert_->GetRecognizerKind(), RecognizerKind::WhisperApi);
    // Five minutes: runs that change tone, fall silent, and cross the first segment's end.
    const std::string file = dir_ / "runs.wav";
    ASSERT_TRUE(MakeToneRunsFile(file, 300, {{0.4, 17.3, 440}, {17.3, 45.8, 550}, {60.2, 131.7, 660}, {150.05, 222.5, 770},
                                             {243.6, 299.0, 880}}));
    ASSERT_TRUE(convert_->AddTask(file, 300));
    ASSERT_TRUE(RunToEnd(file));

    std::vector<TimedPiece> pieces;
    for (const SegmentRecord* segment : convert_->GetFinishedSegments(file)) {
        EXPECT_EQ(segment->resultCode, 0) << segment->errorMessage;
        pieces.insert(pieces.end(), segment->pieces.begin(), segment->pieces.end());
    }
    // The run across 2:00 is two pieces, one in each segment.
    const std::vector<TimedPiece> expected{{0.4, 17.3, "tone 440"},   {17.3, 45.8, "tone 550"},   {60.2, 120.0, "tone 660"},
                                           {120.0, 131.7, "tone 660"}, {150.05, 222.5, "tone 770"}, {243.6, 299.0, "tone 880"}};
    ASSERT_EQ(pieces.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(pieces[i].start, expected[i].start, 0.1) << i;
        EXPECT_NEAR(pieces[i].end, expected[i].end, 0.1) << i;
        EXPECT_EQ(pieces[i].text, expected[i].text) << i;
    }
    EXPECT_EQ(convert_->GetFinishedSegments(file)[0]->text, "tone 440 tone 550 tone 660");

    // The first segment's request, byte for byte where it is ours. The shorter last segment's
    // cut may be done first, so the request is known by what it says.
    const auto requests = speech_->Requests(Endpoint::Transcription);
    ASSERT_EQ(requests.size(), 3u);
    const auto firstSegment = std::find_if(requests.begin(), requests.end(), [](const auto& request) {
        return request->text.rfind("tone 440", 0) == 0;
    });
    ASSERT_NE(firstSegment, requests.end());
    const SpeechDouble::RecordedRequest& first = **firstSegment;
    const std::string part = "\r\nContent-Disposition: form-data; name=";
    std::string wavHeader("RIFF\x24\x98\x3a\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x80\x3e\x00\x00\x00\x7d\x00\x00"
                          "\x02\x00\x10\x00" "data\x00\x98\x3a\x00", 44);
    EXPECT_NE(first.body.find(part + "\"file\"; filename=\"segment.wav\"\r\nContent-Type: audio/wav\r\n\r\n" + wavHeader),
              std::string::npos);
    for (const std::string field : {"\"model\"\r\n\r\nwhisper-1\r\n", "\"language\"\r\n\r\nen\r\n",
                                    "\"response_format\"\r\n\r\nverbose_json\r\n",
                                    "\"timestamp_granularities[]\"\r\n\r\nsegment\r\n"})
        EXPECT_NE(first.body.find(part + field), std::string::npos) << field;
    EXPECT_EQ(first.audioBytes, 3840000u);
    EXPECT_EQ(first.wavSampleRate, 16000);
    const auto authorization = first.headers.find("Authorization");
    ASSERT_NE(authorization, first.headers.end());
    EXPECT_EQ(authorization->second, "Bearer " + key);

    // The cloud service heard nothing; the key is in no log line and no setting.
    EXPECT_EQ(speech_->RequestCount(Endpoint::Token), 0);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 0);
    EXPECT_EQ(Log().find(key), std::string::npos);
    EXPECT_EQ(ReadFile(AppPaths::GetConfigPath(false)).find(key), std::string::npos);
}

TEST_F(TranscriptionJobsTest, AWhisperServerRefusesPausesAndFailsEachWithItsReason)
{
    // Two segments: the server wants a pause after the first one's first try, and fails the
    // second one's first try outright.
    const std::string file = dir_ / "two.wav";
    ASSERT_TRUE(MakeToneRunsFile(file, 200, {{1.0, 100.0, 440}, {130.0, 190.0, 550}}));
    speech_->AddFault({.endpoint = Endpoint::Transcription, .text = "tone 440", .fault = Fault::HttpError(429, "Rate limit reached", 2)});
    speech_->AddFault({.endpoint = Endpoint::Transcription, .text = "tone 550", .fault = Fault::ServerError()});
    std::mutex lock;
    std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> answered;
    speech_->SetObserver([&](const SpeechDouble::RecordedRequest& request) {
        std::lock_guard<std::mutex> guard(lock);
        answered.emplace_back(request.text, std::chrono::steady_clock::now());
    });
    UseWhisperServer(speech_->TranscriptionUrl());
    ASSERT_TRUE(convert_->AddTask(file, 200));
    ASSERT_TRUE(RunToEnd(file));
    const auto finished = convert_->GetFinishedSegments(file);
    ASSERT_EQ(finished.size(), 2u);
    EXPECT_EQ(finished[0]->text, "tone 440");
    EXPECT_EQ(finished[0]->attempts, 2);
    EXPECT_EQ(finished[1]->text, "tone 550");
    EXPECT_EQ(finished[1]->attempts, 2);
    {
        // The paused segment was not asked again before its time; the other went on meanwhile.
        std::lock_guard<std::mutex> guard(lock);
        ASSERT_EQ(answered.size(), 4u);
        std::vector<std::chrono::steady_clock::time_point> paused;
        for (const auto& [text, time] : answered) {
            if (text == "tone 440")
                paused.push_back(time);
        }
        ASSERT_EQ(paused.size(), 2u);
        EXPECT_GE(paused[1] - paused[0], std::chrono::seconds(2));
        EXPECT_EQ(answered.back().first, "tone 440");
    }
    const std::string log = Log();
    EXPECT_NE(log.find("code:429, err:HTTP 429: the server is busy (too many requests) (Rate limit reached), retry:1"), std::string::npos)
        << log;
    EXPECT_NE(log.find("the server asked for a pause: " + finished[0]->pcmFile + " is tried again in 2 s"), std::string::npos);
    EXPECT_NE(log.find("code:500, err:HTTP 500: the server refused the request (The server had an error"), std::string::npos) << log;
    speech_->SetObserver(nullptr);

    // A key the server does not know fails every try, saying so.
    speech_->ClearRequests();
    speech_->SetWhisperApiKey("the-right-key");
    UseWhisperServer(speech_->TranscriptionUrl(), "", "a-wrong-key");
    const std::string shortFile = dir_ / "short.wav";
    ASSERT_TRUE(MakeToneRunsFile(shortFile, 20, {{1.0, 10.0, 660}}));
    ASSERT_TRUE(convert_->AddTask(shortFile, 20));
    ASSERT_TRUE(RunToEnd(shortFile));
    const SegmentRecord* refused = convert_->GetFinishedSegments(shortFile).at(0);
    EXPECT_EQ(refused->resultCode, 401);
    EXPECT_EQ(refused->attempts, TranscriptionJobs::kMaxAttempts);
    EXPECT_EQ(refused->errorMessage, "HTTP 401: the server refused the key (whisper-api-key) (Incorrect API key provided.)");
    EXPECT_EQ(Log().find("a-wrong-key"), std::string::npos);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Transcription), 10);

    // Success that is no transcription, or more than any transcription: a failed try each.
    speech_->SetWhisperApiKey("");
    UseWhisperServer(speech_->TranscriptionUrl());
    speech_->AddFault({.endpoint = Endpoint::Transcription, .fault = Fault::Raw(200, "application/json", "<html>busy</html>")});
    speech_->AddFault({.endpoint = Endpoint::Transcription, .fault = Fault::Oversized(9u << 20)});
    ASSERT_TRUE(convert_->AddTask(shortFile, 20));
    ASSERT_TRUE(RunToEnd(shortFile));
    const SegmentRecord* third = convert_->GetFinishedSegments(shortFile).at(0);
    EXPECT_EQ(third->attempts, 3);
    EXPECT_EQ(third->text, "tone 660");
    EXPECT_NE(Log().find("code:-6, err:the server's reply is no transcription (17 bytes), retry:1"), std::string::npos);
    EXPECT_NE(Log().find("code:-6, err:the server's reply is larger than 8 MB, retry:2"), std::string::npos);
    speech_->ClearRequests();

    // No server, or none the program can speak to: every try fails at once, said once.
    for (const std::string url : {"", "ftp://127.0.0.1/v1/audio/transcriptions"}) {
        const size_t before = Log().size();
        UseWhisperServer(url);
        ASSERT_TRUE(convert_->AddTask(shortFile, 20));
        ASSERT_TRUE(RunToEnd(shortFile));
        const SegmentRecord* none = convert_->GetFinishedSegments(shortFile).at(0);
        EXPECT_EQ(none->resultCode, WhisperRecognizer::kNoServerCode);
        EXPECT_EQ(none->attempts, TranscriptionJobs::kMaxAttempts);
        EXPECT_EQ(Occurrences(Log().substr(before), "WhisperRecognizer::Recognize:\t\t" + none->errorMessage + "\r\n"), 1u) << url;
    }
    EXPECT_EQ(speech_->RequestCount(Endpoint::Transcription), 0);
    EXPECT_EQ(speech_->RequestCount(Endpoint::Recognition), 0);
}

