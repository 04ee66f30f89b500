// The program without a window (talvora --transcribe) as a process of its own, against the
// speech service double: texts and subtitles under the window's naming rules, exit codes, the
// arguments it refuses, and an orderly end on Ctrl+C.
#include "base/AppVersion.h"
#include "ProgramProcess.h"
#include "speech_double/LoopbackPort.h"
#include "speech_double/SpeechDouble.h"
#include "support/AudioFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

class TranscribeTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        speech_ = SpeechDouble::Server::Start({}, &error);
        ASSERT_TRUE(speech_) << error;
        fs::create_directories(dir_ / "data/Talvora");
        WriteFile(dir_ / "data/Talvora/config.ini", "[Talvora]\nUpdateUrl=http://127.0.0.1:" +
                                                        std::to_string(SpeechDouble::UnusedLoopbackPort()) + "\n");
    }

    // Runs the program with `arguments` to its end; its exit code (-1: did not end in time).
    int Transcribe(const std::vector<std::string>& arguments, AppTest::ProgramProcess* keep = nullptr)
    {
        AppTest::ProgramProcess own;
        AppTest::ProgramProcess& program = keep != nullptr ? *keep : own;
        std::vector<std::string> argv{TALVORA_APP};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        if (!program.Start(argv, Environment(), dir_ / "output.txt"))
            return -1;
        return keep != nullptr ? 0 : program.Wait(std::chrono::seconds(90));
    }
    std::map<std::string, std::string> Environment() const
    {
        std::map<std::string, std::string> env = speech_->Environment();
        // No display at all: the transcriber needs none.
        env["DISPLAY"] = "";
        env["WAYLAND_DISPLAY"] = "";
        env["QT_QPA_PLATFORM"] = "";
        env["XDG_DATA_HOME"] = dir_ / dataFolder_;
        env["TMPDIR"] = dir_.Path();
        env["TALVORA_DEBUG_OUTPUT"] = "";
        // Under AddressSanitizer, what Debian's libraries keep until their own exit is theirs.
        const char* lsan = std::getenv("LSAN_OPTIONS");
        env["LSAN_OPTIONS"] = std::string(lsan != nullptr ? lsan : "") + " suppressions=" TALVORA_LSAN_SUPPRESSIONS;
        return env;
    }
    std::string Output() const { return ReadFile(dir_ / "output.txt"); }
    std::string MovedTemp() const { return dir_ / ("talvora-" + std::to_string(getuid()) + "/Temp"); }

    // ffmpeg processes working on this test's files.
    size_t FfmpegRunning() const
    {
        size_t count = 0;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/proc", error)) {
            const std::string line = ReadFile(entry.path().string() + "/cmdline");
            if (line.rfind("ffmpeg", line.find('\0')) != std::string::npos && line.find(dir_.Path()) != std::string::npos)
                ++count;
        }
        return count;
    }

    TempDir dir_;
    std::string dataFolder_ = "data";
    std::unique_ptr<SpeechDouble::Server> speech_;
};

TEST_F(TranscribeTest, TextsAndSubtitlesOfEachFileWithAFailedOneAndTheWindowsNamingRules)
{
    const std::string talk = dir_ / "talk.wav";
    const std::string memo = dir_ / "会议 memo.mp3";
    ASSERT_TRUE(MakeToneFile(talk, 130, {440}, 130));
    ASSERT_TRUE(MakeToneFile(memo, 20, {660}, 20));

    EXPECT_EQ(Transcribe({"--transcribe", talk, memo, dir_ / "missing.wav", "--output", dir_ / "out", "--format", "srt"}),
              1) << Output();
    // Two words said over two minutes show for seven seconds; over ten seconds, one after the other.
    // The MP3 encoder's delay is dropped in decoding: the memo's speech is where it was recorded.
    EXPECT_EQ(ReadFile(dir_ / "out/talk.srt"), "1\n00:00:00,000 --> 00:00:07,000\ntone 440\n\n"
                                               "2\n00:02:00,000 --> 00:02:05,714\ntone\n\n"
                                               "3\n00:02:05,714 --> 00:02:10,000\n440\n\n");
    EXPECT_EQ(ReadFile(dir_ / "out/会议 memo.srt"), "1\n00:00:00,000 --> 00:00:07,000\ntone 660\n\n");
    EXPECT_NE(Output().find(dir_ / "missing.wav: failed: no such file\n"), std::string::npos) << Output();
    EXPECT_NE(Output().find("talk.wav: segment 2/2 done\n"), std::string::npos) << Output();
    // As at the window's end: the temporary folder moved away.
    EXPECT_TRUE(fs::is_directory(MovedTemp()));

    // A text already in the folder is kept; the new one takes the next free name.
    WriteFile(dir_ / "out/TALK.txt", "edited by hand");
    EXPECT_EQ(Transcribe({"--transcribe", talk, "--output", dir_ / "out"}), 0) << Output();
    EXPECT_EQ(ReadFile(dir_ / "out/TALK.txt"), "edited by hand");
    EXPECT_EQ(ReadFile(dir_ / "out/talk (2).txt"), "tone 440 tone 440\n");
    // The same text again is there already: no copy.
    EXPECT_EQ(Transcribe({"--transcribe", talk, "--output", dir_ / "out"}), 0) << Output();
    EXPECT_NE(Output().find("out/talk (2).txt (already there)"), std::string::npos) << Output();
    EXPECT_FALSE(fs::exists(dir_ / "out/talk (3).txt"));
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Recognition), 7);
}

TEST_F(TranscribeTest, ARecordingWithoutADurationEndsAtItsRealEndWhereverTheDataFolderIs)
{
    // A double quote in the data folder's path reaches ffmpeg as part of a path, nothing more.
    dataFolder_ = "my \"data\"";
    fs::create_directories(dir_ / (dataFolder_ + "/Talvora"));
    fs::copy_file(dir_ / "data/Talvora/config.ini", dir_ / (dataFolder_ + "/Talvora/config.ini"));
    // ADTS has no duration to read: planned as an hour, it is 30 seconds long.
    const std::string adts = dir_ / "memo.aac";
    ASSERT_TRUE(MakeToneFile(adts, 30, {660}, 30, "adts"));
    EXPECT_EQ(Transcribe({"--transcribe", adts, "--output", dir_ / "out"}), 0) << Output();
    EXPECT_EQ(ReadFile(dir_ / "out/memo.txt"), "tone 660\n");
    // Said once, although the window's message about it came again when the plan shrank.
    EXPECT_EQ(CountOccurrences(Output(), "memo.aac: segment 1/"), 1u) << Output();
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Recognition), 1);
}

TEST_F(TranscribeTest, OfflineEnglishNeedsNoServiceAtAll)
{
    const std::string forward = dir_ / "goforward.wav";
    ASSERT_TRUE(MakeWavFromRaw(std::string(TALVORA_SPEECH_TESTDATA) + "/goforward.raw", forward));
    EXPECT_EQ(Transcribe({"--transcribe", forward, "--recognizer", "local-en", "--output", dir_ / "out"}), 0) << Output();
    EXPECT_EQ(ReadFile(dir_ / "out/goforward.txt"), "go forward ten meters\n");
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Token), 0);
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Recognition), 0);
}

TEST_F(TranscribeTest, AWhisperServerGivesSubtitlesAtTheSpokenTimesThatAPlayerReads)
{
    const std::string talk = dir_ / "talk.wav";
    ASSERT_TRUE(MakeToneRunsFile(talk, 150, {{0.5, 6.25, 440}, {6.25, 20.0, 550}, {31.4, 140.0, 660}}));
    WriteFile(dir_ / "data/Talvora/config.ini",
              ReadFile(dir_ / "data/Talvora/config.ini") + "WhisperApiUrl=" + speech_->TranscriptionUrl() + "\n");
    EXPECT_EQ(Transcribe({"--transcribe", talk, "--recognizer", "whisper-api", "--output", dir_ / "out", "--format", "srt"}), 0)
        << Output();
    const std::string srt = dir_ / "out/talk.srt";
    // Where each tone sounds, in cues of at most seven seconds: the 13.75-second run is two words
    // shown one after the other; a run too long for even one word a cue shows its two for seven
    // seconds from its start, and the one across 2:00 does so once from each segment.
    const std::vector<std::pair<double, double>> cues{{0.5, 6.25}, {6.25, 13.25}, {13.25, 20.0}, {31.4, 38.4}, {120.0, 127.0}};
    const ChildResult probe =
        RunChild({"ffprobe", "-v", "error", "-show_entries", "packet=pts_time,duration_time", "-of", "csv=p=0", srt});
    ASSERT_EQ(probe.exitCode, 0);
    std::istringstream lines(probe.output);
    std::vector<std::pair<double, double>> events;
    for (std::string line; std::getline(lines, line);) {
        if (const size_t comma = line.find(','); comma != std::string::npos)
            events.emplace_back(std::stod(line.substr(0, comma)), std::stod(line.substr(comma + 1)));
    }
    ASSERT_EQ(events.size(), cues.size()) << ReadFile(srt) << probe.output;
    for (size_t i = 0; i < cues.size(); ++i) {
        EXPECT_NEAR(events[i].first, cues[i].first, 0.1) << ReadFile(srt);
        EXPECT_NEAR(events[i].first + events[i].second, cues[i].second, 0.1) << ReadFile(srt);
        EXPECT_LE(events[i].second, 7.0005) << ReadFile(srt);
    }
    // The two cues of one run follow each other without a gap.
    EXPECT_NEAR(events[1].first + events[1].second, events[2].first, 0.0005) << ReadFile(srt);
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Transcription), 2);
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Recognition), 0);

    // The pieces as data on standard output, for a script; nothing is written into a folder.
    const ChildResult json = RunChild({TALVORA_APP, "--transcribe", talk, "--recognizer", "whisper-api", "--language", "en",
                                       "--format", "json", "--output", "-"},
                                      Environment(), std::chrono::seconds(90));
    ASSERT_EQ(json.exitCode, 0) << json.output;
    for (const std::string& member : {"\"file\" : \"" + talk + "\"", std::string("\"recognizer\" : \"whisper-api\""),
                                     std::string("\"language\" : \"en\""), std::string("\"duration\" : 150"),
                                     std::string("\"text\" : \"tone 440 tone 550 tone 660 tone 660\"")})
        EXPECT_NE(json.output.find(member), std::string::npos) << member << "\n" << json.output;
    EXPECT_EQ(CountOccurrences(json.output, "\"estimated\" : false"), 4u) << json.output;
    EXPECT_FALSE(fs::exists(dir_ / "talk.json"));
    const auto requests = speech_->Requests(SpeechDouble::Endpoint::Transcription);
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests.back()->form.find("language")->second, "en");
}

TEST_F(TranscribeTest, BadArgumentsHelpAndVersion)
{
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--transcribe"}, {"--transcribe", "a.wav", "--format", "doc"}, {"--format", "srt", "a.wav"},
             {"--transcribe", "a.wav", "--nope"}, {"--transcribe", "a.wav", "-style", "fusion"},
             {"--transcribe", "a.wav", "--output"}, {"--transcribe", "a.wav", "--recognizer", "local-fr"},
             {"--transcribe", "a.wav", "--language", "chinese"}, {"--language", "en", "a.wav"},
             {"--transcribe", "a.wav", "b.wav", "--format", "srt", "--output", "-"}}) {
        EXPECT_EQ(Transcribe(arguments), 2) << arguments.back();
        EXPECT_NE(Output().find("Usage: talvora"), std::string::npos);
    }
    // The window ignores what it does not know (here it finds no display and says so).
    EXPECT_EQ(Transcribe({"--nope", "-style", "fusion"}), 0);
    EXPECT_NE(ReadFile(dir_ / "data/Talvora/Talvora.log").find("unknown option --nope ignored"), std::string::npos);
    EXPECT_EQ(ReadFile(dir_ / "data/Talvora/Talvora.log").find("unknown option -style"), std::string::npos);
    EXPECT_EQ(Transcribe({"--help"}), 0);
    EXPECT_NE(Output().find("--transcribe FILE..."), std::string::npos);
    EXPECT_EQ(Transcribe({"--version"}), 0);
    EXPECT_NE(Output().find(std::string("talvora ") + kAppVersionText + "\n"), std::string::npos) << Output();
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Token), 0);
}

TEST_F(TranscribeTest, CtrlCEndsItInOrderWithNoFfmpegLeft)
{
    const std::string talk = dir_ / "long talk.wav";
    ASSERT_TRUE(MakeToneFile(talk, 1200, {440}, 1200));
    // The second request gets no answer: at the signal a worker waits in it, for up to its
    // minute-long stall limit unless the end stops it. Which segment it carries is up to the
    // workers' race to the server.
    speech_->AddFault({.endpoint = SpeechDouble::Endpoint::Recognition, .requestNumber = 2,
                       .fault = SpeechDouble::Fault::Stall()});
    AppTest::ProgramProcess program;
    ASSERT_EQ(Transcribe({"--transcribe", talk, "--output", dir_ / "out"}, &program), 0);
    ASSERT_TRUE(WaitUntil([&] { return Output().find("/10 done") != std::string::npos; }, std::chrono::seconds(60)))
        << Output();
    ASSERT_TRUE(speech_->WaitForArrivals(SpeechDouble::Endpoint::Recognition, 2));
    EXPECT_TRUE(program.Signal(SIGINT));
    EXPECT_EQ(program.Wait(std::chrono::seconds(30)), 130) << Output();
    EXPECT_NE(Output().find("talvora: stopped by signal 2"), std::string::npos) << Output();
    EXPECT_TRUE(WaitUntil([&] { return FfmpegRunning() == 0; }, std::chrono::seconds(10)));
    EXPECT_TRUE(fs::is_directory(MovedTemp()));
    EXPECT_FALSE(fs::exists(dir_ / "out/long talk.txt"));
    // Every worker ended before the process tidied up, and the log closed as at any end.
    const std::string log = ReadFile(dir_ / "data/Talvora/Talvora.log");
    EXPECT_EQ(log.find("still running"), std::string::npos) << log;
    const size_t endBanner = log.rfind(std::string(20, '*') + "\xC8\xD5\xD6\xBE\xBD\xE1\xCA\xF8");
    ASSERT_NE(endBanner, std::string::npos) << log;
    EXPECT_LT(log.find("app exit"), endBanner) << log;
}

TEST_F(TranscribeTest, AFullDiskIsAFailureSayingWhereAndWhyAndLeavesNoFile)
{
    FullFileSystem full(dir_ / "full");
    if (!full.Mounted())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    const std::string talk = dir_ / "talk.wav";
    ASSERT_TRUE(MakeToneFile(talk, 20, {440}, 20));
    EXPECT_EQ(Transcribe({"--transcribe", talk, "--output", full.Path()}), 1) << Output();
    EXPECT_NE(Output().find(talk + ": failed: cannot save into " + full.Path() + ": No space left on device\n"), std::string::npos)
        << Output();
    EXPECT_EQ(Output().find(" -> "), std::string::npos) << Output();
    EXPECT_EQ(full.Names(), std::vector<std::string>{"filler"});
    EXPECT_NE(ReadFile(dir_ / "data/Talvora/Talvora.log").find("cannot save into " + full.Path() + ": No space left on device"),
              std::string::npos);
}

// A transcriber that ends while another run still cuts its files (the window, or a second
// transcriber) moves only its own job folders away; the other's cuts go on.
TEST_F(TranscribeTest, ARunThatEndsLeavesTheJobFoldersOfAnotherRunInPlace)
{
    const std::string lecture = dir_ / "lecture.wav";
    const std::string memo = dir_ / "memo.wav";
    ASSERT_TRUE(MakeToneFile(lecture, 360, {440}, 360));
    ASSERT_TRUE(MakeToneFile(memo, 20, {660}, 20));
    // The lecture's later segments wait until the memo's run has ended (bounded by the time-out).
    // The gate opens at the latest when the test ends, before the double goes.
    struct Gate {
        std::mutex lock;
        std::condition_variable changed;
        bool open = false;
        void Open()
        {
            {
                std::lock_guard<std::mutex> guard(lock);
                open = true;
            }
            changed.notify_all();
        }
    };
    const auto gate = std::make_shared<Gate>();
    const std::unique_ptr<Gate, void (*)(Gate*)> openAtEnd(gate.get(), [](Gate* g) { g->Open(); });
    speech_->SetFaultSelector([gate](const SpeechDouble::RequestInfo& request) {
        if (request.text == "tone 440" && request.textOccurrence >= 2) {
            std::unique_lock<std::mutex> guard(gate->lock);
            gate->changed.wait_for(guard, std::chrono::seconds(40), [&] { return gate->open; });
        }
        return SpeechDouble::Fault::Normal();
    });

    AppTest::ProgramProcess lectureRun;
    ASSERT_TRUE(lectureRun.Start({TALVORA_APP, "--transcribe", lecture, "--output", dir_ / "out"}, Environment(), dir_ / "lecture.out"));
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(dir_ / "lecture.out").find("segment 1/3 done") != std::string::npos; },
                          std::chrono::seconds(60)))
        << ReadFile(dir_ / "lecture.out");
    // Its job folder, with the copy of the lecture its cuts read.
    std::string copy;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(dir_ / "data/Talvora/Temp", error)) {
        if (entry.path().filename() == "input.wav")
            copy = entry.path().string();
    }
    ASSERT_FALSE(copy.empty());

    EXPECT_EQ(Transcribe({"--transcribe", memo, "--output", dir_ / "out"}), 0) << Output();
    EXPECT_EQ(ReadFile(dir_ / "out/memo.txt"), "tone 660\n");
    EXPECT_TRUE(fs::is_directory(MovedTemp()));
    EXPECT_TRUE(fs::exists(copy));
    gate->Open();
    EXPECT_EQ(lectureRun.Wait(std::chrono::seconds(90)), 0) << ReadFile(dir_ / "lecture.out");
    EXPECT_EQ(ReadFile(dir_ / "out/lecture.txt"), "tone 440 tone 440 tone 440\n");
    // Both moved theirs away: nothing is left in the data folder.
    EXPECT_FALSE(fs::exists(dir_ / "data/Talvora/Temp"));
}

// A FIFO as config.ini or credentials.json would block the start in open() for good, deaf to
// Ctrl+C. (The transcriber makes no update check, so the unread UpdateUrl sends nothing.)
TEST_F(TranscribeTest, FifosAsSettingsOrCredentialsAreIgnoredWithAWarning)
{
    fs::remove(dir_ / "data/Talvora/config.ini");
    ASSERT_EQ(mkfifo((dir_ / "data/Talvora/config.ini").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir_ / "data/Talvora/credentials.json").c_str(), 0600), 0);
    const std::string talk = dir_ / "talk.wav";
    ASSERT_TRUE(MakeToneFile(talk, 20, {440}, 20));
    AppTest::ProgramProcess program;
    ASSERT_TRUE(program.Start({TALVORA_APP, "--transcribe", talk, "--output", dir_ / "out"}, Environment(), dir_ / "output.txt"));
    EXPECT_EQ(program.Wait(std::chrono::seconds(60)), 0) << Output();
    EXPECT_EQ(ReadFile(dir_ / "out/talk.txt"), "tone 440\n");
    const std::string log = ReadFile(dir_ / "data/Talvora/Talvora.log");
    EXPECT_NE(log.find(dir_ / "data/Talvora/config.ini is not a regular file; it is ignored"), std::string::npos) << log;
    EXPECT_NE(log.find(dir_ / "data/Talvora/credentials.json is not used: it is not a regular file"), std::string::npos) << log;
}

// Five minutes of read English (the decoder's recordings of a novel, half a second apart, over
// and over) as subtitles: a cue for each sentence heard, each one a player finds, none longer
// than seven seconds.
TEST_F(TranscribeTest, OfflineEnglishSubtitlesFollowTheSentencesSpoken)
{
    std::vector<std::string> readings;
    for (const auto& entry : fs::directory_iterator(std::string(TALVORA_SPEECH_TESTDATA) + "/librivox")) {
        if (entry.path().extension() == ".wav")
            readings.push_back(entry.path());
    }
    std::sort(readings.begin(), readings.end());
    ASSERT_EQ(readings.size(), 5u);
    const std::string pause = dir_ / "pause.wav";
    ASSERT_TRUE(MakeToneRunsFile(pause, 0.5, {}));
    const size_t rounds = 11;
    std::string list;
    for (size_t round = 0; round < rounds; ++round) {
        for (const std::string& reading : readings)
            list += "file '" + reading + "'\nfile '" + pause + "'\n";
    }
    WriteFile(dir_ / "readings.txt", list);
    const std::string novel = dir_ / "novel.wav";
    ASSERT_EQ(RunChild({"ffmpeg", "-nostdin", "-loglevel", "error", "-f", "concat", "-safe", "0", "-i", dir_ / "readings.txt",
                        "-c:a", "pcm_s16le", novel})
                  .exitCode,
              0);

    AppTest::ProgramProcess program;
    ASSERT_EQ(Transcribe({"--transcribe", novel, "--recognizer", "local-en", "--format", "srt", "--output", dir_ / "out"}, &program),
              0);
    ASSERT_EQ(program.Wait(std::chrono::seconds(280)), 0) << Output();
    const std::string srt = dir_ / "out/novel.srt";
    const size_t cues = CountOccurrences(ReadFile(srt), "-->");
    // Each reading ends in a pause, so each ends a sentence at least.
    EXPECT_GE(cues, rounds * readings.size()) << ReadFile(srt);
    const ChildResult probe =
        RunChild({"ffprobe", "-v", "error", "-show_entries", "packet=pts_time,duration_time", "-of", "csv=p=0", srt});
    ASSERT_EQ(probe.exitCode, 0);
    std::istringstream lines(probe.output);
    size_t events = 0;
    for (std::string line; std::getline(lines, line);) {
        if (const size_t comma = line.find(','); comma != std::string::npos) {
            ++events;
            EXPECT_LE(std::stod(line.substr(comma + 1)), 7.0) << line;
        }
    }
    EXPECT_EQ(events, cues) << ReadFile(srt) << probe.output;
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Recognition), 0);
}

}  // namespace
