#include "base/AppPaths.h"
#include "base/TextConvert.h"
#include "base/TextUtils.h"
#include "engine/SegmentRecord.h"
#include "engine/FfmpegCommand.h"
#include "engine/FfmpegProcess.h"
#include "engine/JobFiles.h"
#include "engine/SegmentDecoder.h"
#include "base/LiveThreads.h"
#include "engine/PauseCuts.h"
#include "engine/RecognitionFailure.h"
#include "engine/EstimatedPieces.h"
#include "engine/ResultDocuments.h"
#include "engine/SegmentTexts.h"
#include "engine/SubtitleCues.h"
#include "speech_double/TonePcm.h"
#include "support/AudioFiles.h"
#include "support/TestSupport.h"

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <sys/mount.h>
#include <sys/stat.h>
#include <tuple>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace TestSupport;
namespace fs = std::filesystem;

TEST(Segmenting, ClockTexts)
{
    EXPECT_EQ(FormatClock(0), "00:00:00");
    EXPECT_EQ(FormatClock(240), "00:04:00");
    EXPECT_EQ(FormatClock(3599), "00:59:59");
    EXPECT_EQ(FormatClock(3600), "01:00:00");
    EXPECT_EQ(FormatClock(450000), "125:00:00");
}

TEST(Segmenting, SegmentPlan)
{
    const std::pair<int, int> cases[] = {{360, 3}, {361, 3}, {362, 4}, {120, 1}, {121, 1}, {122, 2},
                                         {119, 1}, {3600, 30}, {1, 1}, {0, 0}, {-5, 0}};
    for (const auto& [duration, count] : cases)
        EXPECT_EQ(PlanSegmentCount(duration), count) << duration;
}

TEST(Segmenting, UntimedSegmentsGiveCuesOfAtMostSevenSecondsWithTheTextMadeSafe)
{
    // 250 seconds: three segments; the second one said nothing, the third ends at 4:10. Two words
    // said over two minutes show for seven seconds; ten letters in ten seconds take two cues.
    std::vector<SegmentRecord> segments(3);
    const char* texts[] = {"first\r\nline", "", "third ---> end"};
    for (int i = 0; i < 3; ++i) {
        segments[i].totalSeconds = 250;
        segments[i].segmentCount = 3;
        segments[i].segmentIndex = i;
        segments[i].text = texts[i];
    }
    std::vector<SegmentRecord*> records;
    for (SegmentRecord& segment : segments)
        records.push_back(&segment);
    EXPECT_EQ(SegmentTexts::Subtitles(records, SegmentTexts::SubtitleFormat::Srt),
              "1\n00:00:00,000 --> 00:00:07,000\nfirst  line\n\n"
              "2\n00:04:00,000 --> 00:04:05,000\nthird\n\n"
              "3\n00:04:05,000 --> 00:04:10,000\n-> end\n\n");
    EXPECT_EQ(SegmentTexts::Subtitles(records, SegmentTexts::SubtitleFormat::Vtt),
              "WEBVTT\n\n00:00:00.000 --> 00:00:07.000\nfirst  line\n\n"
              "00:04:00.000 --> 00:04:05.000\nthird\n\n00:04:05.000 --> 00:04:10.000\n-> end\n\n");
    // A failed segment writes no cue either; the joined text keeps the window's rule.
    segments[0].resultCode = 3301;
    EXPECT_EQ(SegmentTexts::Subtitles(records, SegmentTexts::SubtitleFormat::Srt),
              "1\n00:04:00,000 --> 00:04:05,000\nthird\n\n2\n00:04:05,000 --> 00:04:10,000\n-> end\n\n");
    EXPECT_EQ(SegmentTexts::Joined(records), "third ---> end");

    // Words of a Latin script are not glued across a segment's end; Chinese runs on.
    const char* joined[][2] = {{"john", "as he"}, {"7", "8"}, {"\xC3\xA9t\xC3\xA9", "\xC3\xA0"}, {"\xE4\xBD\xA0", "\xE5\xA5\xBD"},
                               {"word", "\xE5\xA5\xBD"}};
    const char* expected[] = {"john as he", "7 8", "\xC3\xA9t\xC3\xA9 \xC3\xA0", "\xE4\xBD\xA0\xE5\xA5\xBD",
                              "word\xE5\xA5\xBD"};
    for (size_t i = 0; i < std::size(joined); ++i) {
        SegmentRecord a, b;
        a.text = joined[i][0];
        b.text = joined[i][1];
        b.segmentIndex = 1;
        EXPECT_EQ(SegmentTexts::Joined({&a, &b}), expected[i]);
    }
}

TEST(Segmenting, TimedPiecesGiveACueEachInOrderNeverOverlapping)
{
    // Two segments of a 250-second file: the first timed by its recognizer, the second not.
    std::vector<SegmentRecord> segments(2);
    for (int i = 0; i < 2; ++i) {
        segments[i].totalSeconds = 250;
        segments[i].segmentCount = 2;
        segments[i].segmentIndex = i;
    }
    segments[0].text = "one two three";
    // A server's times: the second piece runs into the third, the fourth says it at no time.
    segments[0].pieces = {{1.25, 4.5, "one"}, {4.5, 9.0, "two"}, {8.75, 10.0, "three"}, {119.5, 119.5, "four"}};
    segments[1].text = "untimed";
    std::vector<SegmentRecord*> records{&segments[0], &segments[1]};
    EXPECT_TRUE(SegmentTexts::HasHeardTimes(records));
    EXPECT_EQ(SegmentTexts::Subtitles(records, SegmentTexts::SubtitleFormat::Srt),
              "1\n00:00:01,250 --> 00:00:04,500\none\n\n"
              "2\n00:00:04,500 --> 00:00:08,750\ntwo\n\n"
              "3\n00:00:08,750 --> 00:00:10,000\nthree\n\n"
              "4\n00:01:59,500 --> 00:02:00,000\nfour\n\n"
              "5\n00:02:00,000 --> 00:02:07,000\nuntimed\n\n");
    EXPECT_EQ(SegmentTexts::Subtitles({&segments[0]}, SegmentTexts::SubtitleFormat::Vtt).rfind("WEBVTT\n\n00:00:01.250 --> 00:00:04.500\none\n\n", 0), 0u);
    // The pane reads each piece after its start; the text file stays the joined text.
    EXPECT_EQ(SegmentTexts::Timed(records), "[00:00:01] one\r\n[00:00:04] two\r\n[00:00:08] three\r\n[00:01:59] four\r\n"
                                            "[00:02:00] untimed");
    EXPECT_EQ(SegmentTexts::Joined(records), "one two three untimed");
    // As data: the untimed segment is one piece over the whole of it, its times estimated.
    segments[1].text = "un\ttimed\r\n";
    EXPECT_EQ(ResultDocuments::Tsv(records), "start\tend\ttext\n1250\t4500\tone\n4500\t9000\ttwo\n8750\t10000\tthree\n"
                                             "119500\t119500\tfour\n120000\t240000\tun timed  \n");
    const std::string json = ResultDocuments::Json(records, {"/a/talk.wav", "cloud", ""});
    EXPECT_NE(json.find("\"language\" : null"), std::string::npos) << json;
    EXPECT_NE(json.find("\"duration\" : 250"), std::string::npos) << json;
    EXPECT_NE(json.find("\"end\" : 240.0,\n      \"estimated\" : true,\n      \"start\" : 120.0,"), std::string::npos) << json;
    EXPECT_EQ(CountOccurrences(json, "\"estimated\" : false"), 4u) << json;
    segments[0].resultCode = 429;
    EXPECT_FALSE(SegmentTexts::HasHeardTimes(records));
}

namespace {

std::vector<std::string> CueTexts(const std::vector<SubtitleCue>& cues)
{
    std::vector<std::string> texts;
    for (const SubtitleCue& cue : cues)
        texts.push_back(cue.text);
    return texts;
}

}  // namespace

TEST(Segmenting, LongPiecesAreCutIntoCuesOfTwoShortLinesAndSevenSecondsTimedByTheirLetters)
{
    // Twenty seconds of 85 letters: three cues of a line each, their times by letters alone.
    const std::vector<SubtitleCue> latin = SubtitleCues::FromPieces(
        {{10, 30, "The quick brown fox jumps over the lazy dog while the farmer watches from his old wooden porch and sighs"}});
    EXPECT_EQ(CueTexts(latin), (std::vector<std::string>{"The quick brown fox jumps over the", "lazy dog while the farmer watches",
                                                         "from his old wooden porch and sighs"}));
    ASSERT_EQ(latin.size(), 3u);
    EXPECT_EQ(latin[0].start, 10000);
    EXPECT_EQ(latin[0].end, 10000 + 20000 * 28 / 85);
    EXPECT_EQ(latin[1].start, latin[0].end);
    EXPECT_EQ(latin[2].end, 30000);

    // Chinese lines of twenty: the most even break, yet no line starts with a comma.
    const std::vector<SubtitleCue> chinese = SubtitleCues::FromPieces({{0, 6, "我们今天讨论一个重要问题，就是明天去哪里吃饭呢？"}});
    EXPECT_EQ(CueTexts(chinese), (std::vector<std::string>{"我们今天讨论一个重要问\n题，就是明天去哪里吃饭呢？"}));
    const std::vector<SubtitleCue> halves = SubtitleCues::FromPieces(
        {{0, 10.5, "我们今天讨论的问题非常重要，需要每个人都认真思考一下然后给出自己的答案以及理由和依据，谢谢大家。"}});
    ASSERT_EQ(halves.size(), 2u);
    EXPECT_EQ(halves[0].text, "我们今天讨论的问题非常重\n要，需要每个人都认真思考");
    EXPECT_EQ(halves[0].end, 5250);
    // A word that does not fit a line is the only thing cut inside.
    EXPECT_EQ(CueTexts(SubtitleCues::FromPieces({{0, 5, "see https://example.com/a/very/long/address/that/goes/on ok"}})),
              (std::vector<std::string>{"see\nhttps://example.com/a/very/long/address/th", "at/goes/on ok"}));

    // A part gets a second at least, and seven at most, while the piece's time lets every part have that...
    const std::vector<SubtitleCue> bounded = SubtitleCues::FromPieces({{0, 8, "Incomprehensibilities ok"}});
    ASSERT_EQ(bounded.size(), 2u);
    EXPECT_EQ(bounded[0].end, 7000);
    EXPECT_EQ(bounded[1].end, 8000);
    // ...but then the text wins: 127 letters in one second.
    const std::vector<SubtitleCue> hurried = SubtitleCues::FromPieces(
        {{0, 1, "one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen sixteen "
                "seventeen eighteen nineteen twenty"}});
    EXPECT_EQ(CueTexts(hurried), (std::vector<std::string>{"one two three four five six seven\neight nine ten eleven twelve thirteen",
                                                          "fourteen fifteen sixteen\nseventeen eighteen nineteen twenty"}));
    ASSERT_EQ(hurried.size(), 2u);
    EXPECT_EQ(hurried[0].end, 527);
    EXPECT_EQ(hurried[1].end, 1000);
    // Words said so slowly that even alone they would show too long stay together for seven seconds.
    const std::vector<SubtitleCue> slow = SubtitleCues::FromPieces({{31.4, 120, "tone 660"}, {120, 133.5, "tone 550"}});
    EXPECT_EQ(CueTexts(slow), (std::vector<std::string>{"tone 660", "tone", "550"}));
    ASSERT_EQ(slow.size(), 3u);
    EXPECT_EQ(slow[0].end, 38400);
    EXPECT_EQ(slow[1].end, 127000);
    EXPECT_EQ(slow[2].end, 133500);
}

TEST(Segmenting, ShortOverlappingAndTimelessPiecesGiveCuesThatNeverOverlap)
{
    // Lengthened to a second as far as the next leaves room; clipped where the next begins;
    // joined to the next when it begins at the same time (with a blank only between Latin words).
    const std::vector<SubtitleCue> cues = SubtitleCues::FromPieces({{20.0, 20.2, "end"},
                                                                    {0, 0.3, "a"},
                                                                    {0.6, 2, "b"},
                                                                    {3, 3, "你好"},
                                                                    {3, 4, "世界"},
                                                                    {5, 5, "hello"},
                                                                    {5, 6.5, "world"},
                                                                    {7, 9, "over"},
                                                                    {8.5, 8.7, "lap"},
                                                                    {10, 12, " \t "}});
    const std::vector<std::tuple<int64_t, int64_t, std::string>> expected{
        {0, 600, "a"},         {600, 2000, "b"},     {3000, 4000, "你好世界"}, {5000, 6500, "hello world"},
        {7000, 8500, "over"}, {8500, 9500, "lap"}, {20000, 21000, "end"}};
    ASSERT_EQ(cues.size(), expected.size());
    for (size_t i = 0; i < cues.size(); ++i)
        EXPECT_EQ(std::tie(cues[i].start, cues[i].end, cues[i].text), expected[i]) << i;
}

TEST(Segmenting, PlayersReadOneSubtitleEventPerCueAtItsTimes)
{
    SegmentRecord record;
    record.segmentCount = 1;
    record.totalSeconds = 40;
    record.text = "said";
    record.pieces = {{0.2, 0.2, "at once"},
                     {0.2, 1.5, "then --> more"},
                     {2.25, 22.25, "The quick brown fox jumps over the lazy dog while the farmer watches from his old wooden porch"},
                     {23.0, 23.4, "你好。"},
                     {24.0, 36.125, "我们今天讨论的问题非常重要，需要每个人都认真思考一下然后给出自己的答案以及理由和依据，谢谢大家。"}};
    std::vector<SubtitleCue> cues = SubtitleCues::FromPieces(record.pieces);
    ASSERT_EQ(cues.size(), 8u);
    TempDir dir;
    for (const auto format : {SegmentTexts::SubtitleFormat::Srt, SegmentTexts::SubtitleFormat::Vtt}) {
        const std::string file = dir / (format == SegmentTexts::SubtitleFormat::Srt ? "a.srt" : "a.vtt");
        WriteFile(file, SegmentTexts::Subtitles({&record}, format));
        const ChildResult probe =
            RunChild({"ffprobe", "-v", "error", "-show_entries", "packet=pts_time,duration_time", "-of", "csv=p=0", file});
        ASSERT_EQ(probe.exitCode, 0) << file;
        const std::vector<std::string> events = SplitLines(probe.output, "\n");
        ASSERT_EQ(events.size(), cues.size()) << ReadFile(file) << probe.output;
        for (size_t i = 0; i < cues.size(); ++i) {
            const size_t comma = events[i].find(',');
            ASSERT_NE(comma, std::string::npos) << events[i];
            const double start = std::stod(events[i].substr(0, comma)), length = std::stod(events[i].substr(comma + 1));
            EXPECT_NEAR(start, cues[i].start / 1000.0, 0.001) << file << " " << i;
            EXPECT_NEAR(start + length, cues[i].end / 1000.0, 0.001) << file << " " << i;
        }
    }
    EXPECT_EQ(cues.back().end, 36125);
}

TEST(Segmenting, AFailureSaysItsCauseBeforeItsCodeAndMessage)
{
    const struct {
        int32_t code;
        const char* message;
        const char* told;
    } cases[] = {
        {-1, "{\n\t\"curl_error_code\" : 7\n}\n", "无法连接语音识别服务，请检查网络"},
        {-1, "{\n\t\"error\" : \"invalid_client\",\n\t\"token_refused\" : 401\n}\n", "密钥被拒绝，请检查 credentials.json"},
        {3302, "authentication failed.", "密钥被拒绝，请检查 credentials.json"},
        {-2, "Invalid data found when processing input", "不是音频文件或文件已损坏"},
        {3305, "user request limit", "已达到语音识别服务的用量限制，请稍后再试"},
        {-3, "local model not loaded", "本地识别模型缺失，请检查 LocalModelDir 设置"},
        {3301, "speech quality error.", "文件无法识别"},
    };
    for (const auto& [code, message, told] : cases) {
        SegmentRecord failed;
        failed.file = "/a/talk.mp3";
        failed.segmentCount = 1;
        failed.resultCode = code;
        failed.errorMessage = message;
        failed.finished = true;
        ASSERT_TRUE(RecognitionFailure::IsFailed({&failed}));
        const std::string text = RecognitionFailure::Describe({&failed});
        EXPECT_EQ(text.substr(0, text.find("。错误码")), "/a/talk.mp3," + std::string(told)) << code;
        EXPECT_NE(text.find("。错误码: " + std::to_string(code) + "，错误信息: "), std::string::npos);
    }
}

TEST(Segmenting, LongSpeechIsCutForTheDecoderInItsPauses)
{
    // 40 s of loud noise with quiet half-seconds at 12 s and 26 s; pieces of at most 15 s.
    std::vector<int16_t> samples(40 * 16000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>((i * 7919) % 20000) - 10000;
    for (const size_t quiet : {12 * 16000, 26 * 16000})
        std::fill_n(samples.begin() + static_cast<long>(quiet), 8000, int16_t{3});
    const auto pieces = CutAtPauses(samples.data(), samples.size(), 15 * 16000);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].first, 0u);
    EXPECT_EQ(pieces[2].second, samples.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_LE(pieces[i].second - pieces[i].first, 15u * 16000) << i;
        if (i > 0) {
            EXPECT_EQ(pieces[i].first, pieces[i - 1].second);
        }
    }
    EXPECT_GT(pieces[0].second, 12u * 16000);
    EXPECT_LT(pieces[0].second, 12u * 16000 + 8000);
    EXPECT_GT(pieces[1].second, 26u * 16000);
    EXPECT_LT(pieces[1].second, 26u * 16000 + 8000);
    // Short speech stays whole; no speech gives no piece.
    EXPECT_EQ(CutAtPauses(samples.data(), 16000, 15 * 16000), (std::vector<std::pair<size_t, size_t>>{{0, 16000}}));
    EXPECT_TRUE(CutAtPauses(samples.data(), 0, 15 * 16000).empty());
}

TEST(Segmenting, DecodeArgumentsQuotePathsForPeopleAndNameTheSegmentFiles)
{
    const std::string copy = "/home/u/.local/share/Talvora/Temp/0123/input.mp3";
    EXPECT_EQ(ArgumentLine(BuildDecodeArguments(copy)),
              "-y -i \"/home/u/.local/share/Talvora/Temp/0123/input.mp3\" -vn -sn -dn -acodec pcm_s16le -f s16le -ac 1 -ar 16000 pipe:1");
    // A run after a failed one seeks to its first segment.
    EXPECT_EQ(ArgumentLine(BuildDecodeArguments(copy, 2)).substr(0, 36), "-y -ss 00:04:00 -copyts -i \"/home/u/");
    EXPECT_EQ(SegmentFileName(copy, 2), "/home/u/.local/share/Talvora/Temp/0123/3.pcm");
    // ffmpeg gets the arguments as a list, so a path may hold blanks and double quotes.
    const std::string odd = "/tmp/my \"data\"/\xE9\x9F\xB3\xE9\xA2\x91/input.wav";
    EXPECT_EQ(BuildDecodeArguments(odd).at(2), odd);
    EXPECT_EQ(SegmentFileName(odd, 0), "/tmp/my \"data\"/\xE9\x9F\xB3\xE9\xA2\x91/1.pcm");
    EXPECT_EQ(SplitArguments("  -y  -i \"a b\"  c\"d e\"f \"\" "), (std::vector<std::string>{"-y", "-i", "a b", "cd ef", ""}));
}

TEST(Segmenting, JobFolderAndCopyNames)
{
    TempDir dir;
    const std::string source = dir / "talk.flac";
    WriteFile(source, "flac bytes");
    const std::string copy = JobFiles::GetCopyByFile(source);
    EXPECT_EQ(copy, AppPaths::GetTempDir() + "/" + TextUtils::Md5Hex(source) + "/inputflac");
    EXPECT_EQ(ReadFile(copy), "flac bytes");
    WriteFile(source, "changed");
    EXPECT_EQ(JobFiles::GetCopyByFile(source), copy);  // the same folder, the copy overwritten
    EXPECT_EQ(ReadFile(copy), "changed");

    WriteFile(dir / "x.ra", "ra");
    EXPECT_TRUE(JobFiles::GetCopyByFile(dir / "x.ra").ends_with("/inputx.ra"));
    WriteFile(dir / "odd\".a", "q");
    EXPECT_TRUE(JobFiles::GetCopyByFile(dir / "odd\".a").ends_with("/inputd_.a"));
}

TEST(Segmenting, ShortPathsAndMissingFiles)
{
    TempDir dir;
    const std::string cwd = fs::current_path();
    fs::current_path(dir.Path());
    WriteFile("a.wa", "four");
    WriteFile("a.w", "three");
    const std::string four = JobFiles::GetCopyByFile("a.wa");
    const std::string three = JobFiles::GetCopyByFile("a.w");
    fs::current_path(cwd);
    EXPECT_TRUE(four.ends_with("/inputa.wa"));
    EXPECT_EQ(three, "");

    const std::string missing = dir / "gone.mp3";
    EXPECT_EQ(JobFiles::GetCopyByFile(missing), "");
    const std::string log = ReadFile(AppPaths::GetAppDataDir() + "/Talvora.log");
    EXPECT_NE(log.find(TestSupport::LogEntry("PubUtils::GetCopyByFile", "CopyFileA failed. " + missing + " to " + AppPaths::GetTempDir() +
                                                                     "/" + TextUtils::Md5Hex(missing) +
                                                                     "/input.mp3 LastError info: No such file or directory")),
              std::string::npos);
}

TEST(Segmenting, ReadFileContent)
{
    TempDir dir;
    std::string out = "untouched";
    EXPECT_EQ(ReadFileContent(dir / "missing", &out), -1);
    EXPECT_EQ(out, "untouched");
    WriteFile(dir / "empty", "");
    EXPECT_EQ(ReadFileContent(dir / "empty", &out), 0);
    EXPECT_EQ(out, "");
    const std::string bytes("\x00\x01\xFF\r\n\x1A rest", 10);
    WriteFile(dir / "bytes", bytes);
    EXPECT_EQ(ReadFileContent(dir / "bytes", &out), 0);
    EXPECT_EQ(out, bytes);
}

TEST(Segmenting, MissingFfmpegAndWaitLimits)
{
    const std::string path = getenv("PATH");
    setenv("PATH", "/nonexistent", 1);
    const pid_t missing = Ffmpeg::StartFfmpeg(std::string("-version"), false);
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(missing, -1);
    EXPECT_TRUE(WaitForProcess(missing, 0));

    // Ten seconds of audio produced in real time: still running after 50 ms.
    const pid_t slow = Ffmpeg::StartFfmpeg(std::string("-re -f lavfi -i sine=d=10 -f null -"), false);
    ASSERT_GT(slow, 0);
    EXPECT_FALSE(WaitForProcess(slow, 50));
    kill(slow, SIGKILL);
}

namespace {

// What one decoder run told, in order.
struct DecoderNews {
    std::mutex lock;
    std::condition_variable told;
    std::vector<std::pair<int32_t, int64_t>> ready;
    int32_t count = -1;
    int64_t bytes = -1;
    int32_t failedIndex = -1;
    std::string reason;
    bool wholeFile = false;
    bool over = false;

    SegmentDecoder::Callbacks Callbacks()
    {
        SegmentDecoder::Callbacks callbacks;
        callbacks.ready = [this](int32_t index, int64_t size) {
            std::lock_guard<std::mutex> guard(lock);
            ready.emplace_back(index, size);
        };
        callbacks.ended = [this](int32_t segments, int64_t decoded) {
            std::lock_guard<std::mutex> guard(lock);
            count = segments;
            bytes = decoded;
            over = true;
            told.notify_all();
        };
        callbacks.failed = [this](int32_t index, const std::string& why, bool whole) {
            std::lock_guard<std::mutex> guard(lock);
            failedIndex = index;
            reason = why;
            wholeFile = whole;
            over = true;
            told.notify_all();
        };
        return callbacks;
    }
    bool WaitForEnd()
    {
        std::unique_lock<std::mutex> guard(lock);
        return told.wait_for(guard, std::chrono::seconds(120), [this] { return over; });
    }
};

// Decodes `copy` from segment `from` and waits for the run to end.
void Decode(const std::string& copy, int32_t from, DecoderNews& news)
{
    ASSERT_NE(SegmentDecoder::Start(copy, from, false, news.Callbacks()), nullptr);
    ASSERT_TRUE(news.WaitForEnd());
}

void MakeLongFile(const std::string& file, int seconds)
{
    const std::string length = std::to_string(seconds);
    ASSERT_EQ(RunChild({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=f=440:d=" + length, "-f",
                        "lavfi", "-i", "anoisesrc=a=0.1:d=" + length, "-filter_complex", "amix,aformat=channel_layouts=stereo", "-ar",
                        "44100", "-b:a", "128k", file},
                       {}, std::chrono::seconds(120))
                  .exitCode,
              0);
}

}  // namespace

// One decode of the whole file, cut by sample count: the segments put together are exactly what
// ffmpeg decodes of the file, whatever the folder's name holds.
TEST(Segmenting, TheDecoderCutsOneDecodeOfTheFileIntoSegmentsSampleForSample)
{
    TempDir dir;
    const std::string folder = dir / "job \"folder\" \xE9\x9F\xB3";
    fs::create_directories(folder);
    for (const std::string name : {"input.mp3", "input.m4a"}) {
        const std::string file = folder + "/" + name;
        MakeLongFile(file, 290);
        ASSERT_EQ(RunChild({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", file, "-f", "s16le", "-ac", "1", "-ar", "16000",
                            dir / "whole.pcm"})
                      .exitCode,
                  0);
        const std::string whole = ReadFile(dir / "whole.pcm");
        DecoderNews news;
        Decode(file, 0, news);
        EXPECT_EQ(news.failedIndex, -1) << news.reason;
        ASSERT_EQ(news.ready.size(), 3u);
        EXPECT_EQ(news.count, 3);
        EXPECT_EQ(news.bytes, static_cast<int64_t>(whole.size()));
        std::string joined;
        for (int32_t i = 0; i < 3; ++i) {
            EXPECT_EQ(news.ready[static_cast<size_t>(i)].first, i);
            const std::string segment = ReadFile(SegmentFileName(file, i));
            EXPECT_EQ(static_cast<int64_t>(segment.size()), news.ready[static_cast<size_t>(i)].second);
            if (i < 2) {
                EXPECT_EQ(segment.size(), 3840000u) << name;
            }
            joined += segment;
        }
        EXPECT_TRUE(joined == whole) << name;

        // A run after a failed one starts at its segment by seeking, with the same samples apart
        // from the decoder's first frame and the last one (64 ms at most each).
        DecoderNews again;
        Decode(file, 2, again);
        EXPECT_EQ(again.count, 3);
        const std::string last = ReadFile(SegmentFileName(file, 2));
        const std::string reference = whole.substr(2 * 3840000);
        ASSERT_EQ(last.size(), reference.size()) << name;
        constexpr size_t kEdge = 1024 * 2;
        EXPECT_EQ(last.compare(kEdge, last.size() - 2 * kEdge, reference, kEdge, last.size() - 2 * kEdge), 0) << name;
        // Past the end: nothing, and the file has as many segments as the run began with.
        DecoderNews past;
        Decode(file, 3, past);
        EXPECT_TRUE(past.ready.empty());
        EXPECT_EQ(past.count, 3);
    }
}

TEST(Segmenting, ARemainderUnderTwoSecondsJoinsTheLastSegmentAndNoAudioStillMakesOne)
{
    TempDir dir;
    ASSERT_TRUE(MakeToneFile(dir / "tail.wav", 121.5, {440}, 121.5));
    DecoderNews news;
    Decode(dir / "tail.wav", 0, news);
    ASSERT_EQ(news.ready.size(), 1u);
    EXPECT_EQ(news.ready[0].second, 3840000 + 48000);
    EXPECT_EQ(news.count, 1);
    EXPECT_FALSE(Exists(dir / "2.pcm"));

    // An audio stream without a single sample: one empty segment, so the file has an outcome.
    ASSERT_EQ(RunChild({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "anullsrc", "-t", "0", dir / "none.wav"}).exitCode, 0);
    fs::remove(dir / "1.pcm");
    DecoderNews none;
    Decode(dir / "none.wav", 0, none);
    EXPECT_EQ(none.failedIndex, -1) << none.reason;
    ASSERT_EQ(none.ready.size(), 1u);
    EXPECT_EQ(none.ready[0].second, 0);
    EXPECT_TRUE(Exists(dir / "1.pcm"));
}

TEST(Segmenting, ADecoderThatCannotGoOnSaysWhyAndAStoppedOneEndsAtOnce)
{
    TempDir dir;
    // Not audio, with a segment file of an earlier run lying in the way: the whole file fails
    // with ffmpeg's reason, and the stale audio is gone.
    WriteFile(dir / "text.wav", "not audio at all");
    WriteFile(dir / "1.pcm", std::string(32000, 'x'));
    DecoderNews text;
    Decode(dir / "text.wav", 0, text);
    EXPECT_EQ(text.failedIndex, 0);
    EXPECT_TRUE(text.wholeFile);
    EXPECT_EQ(text.reason, "Invalid data found when processing input");
    EXPECT_TRUE(text.ready.empty());
    EXPECT_FALSE(Exists(dir / "1.pcm"));
    const std::string log = ReadFile(AppPaths::GetAppDataDir() + "/Talvora.log");
    EXPECT_NE(log.find(TestSupport::LogEntry("CAudioTask::Run", "cut failed. " + dir / "1.pcm" + ": Invalid data found when processing input")),
              std::string::npos);

    // No ffmpeg anywhere: the whole file fails, said plainly once however many files try.
    ASSERT_TRUE(MakeToneFile(dir / "input.wav", 30, {440}, 30));
    const std::string path = getenv("PATH");
    setenv("PATH", "/nonexistent", 1);
    DecoderNews missing;
    DecoderNews missingAgain;
    Decode(dir / "input.wav", 0, missing);
    Decode(dir / "input.wav", 0, missingAgain);
    setenv("PATH", path.c_str(), 1);
    EXPECT_TRUE(missing.wholeFile);
    EXPECT_EQ(missing.reason, "ffmpeg could not be started: No such file or directory");
    EXPECT_EQ(CountOccurrences(ReadFile(AppPaths::GetAppDataDir() + "/Talvora.log"), "nor on PATH; no file can be recognised"), 1u);

    // A full disk: the segment under way fails, and a later run may do better.
    const std::string full = dir / "full";
    fs::create_directory(full);
    if (geteuid() == 0 && mount("tmpfs", full.c_str(), "tmpfs", 0, "size=100k") == 0) {
        ASSERT_TRUE(MakeToneFile(full + "/input.ogg", 30, {440}, 30));
        DecoderNews disk;
        Decode(full + "/input.ogg", 0, disk);
        umount2(full.c_str(), MNT_DETACH);
        EXPECT_EQ(disk.failedIndex, 0);
        EXPECT_FALSE(disk.wholeFile);
        EXPECT_EQ(disk.reason, "cannot write " + full + "/1.pcm: No space left on device");
    }

    // Stopped while ffmpeg still waits for its input (a pipe nobody writes): ffmpeg goes, the
    // thread ends, and nothing is told.
    ASSERT_EQ(mkfifo((dir / "waiting.wav").c_str(), 0600), 0);
    DecoderNews stopped;
    const auto decoder = SegmentDecoder::Start(dir / "waiting.wav", 0, false, stopped.Callbacks());
    ASSERT_NE(decoder, nullptr);
    decoder->Stop();
    EXPECT_TRUE(LiveThreads::WaitUntilNone(std::chrono::seconds(30)));
    std::lock_guard<std::mutex> guard(stopped.lock);
    EXPECT_FALSE(stopped.over);
    EXPECT_TRUE(stopped.ready.empty());
}

TEST(Segmenting, TextsWithoutTimesAreSentencesPlacedOnTheSpeech)
{
    // Sentence marks of both scripts; a long Chinese sentence goes at its commas, then by twenties.
    EXPECT_EQ(EstimatedPieces::Sentences("你好。今天天气很好！ Is it 3.5 degrees? Yes.  "),
              (std::vector<std::string>{"你好。", "今天天气很好！", "Is it 3.5 degrees?", "Yes."}));
    EXPECT_EQ(EstimatedPieces::Sentences("我们今天讨论的问题非常重要，需要每个人都认真思考一下然后给出自己的答案以及理由和依据"),
              (std::vector<std::string>{"我们今天讨论的问题非常重要，", "需要每个人都认真思考一下然后给出自己的答", "案以及理由和依据"}));

    // Speech from 1 s to 3 s and from 6 s to 8 s of ten seconds: two sentences of equal length
    // take one run each.
    std::string pcm(10 * 32000, '\0');
    for (const auto& [from, to] : {std::pair{1.0, 3.0}, std::pair{6.0, 8.0}}) {
        const std::string tone = SpeechDouble::SinePcm(300, to - from);
        pcm.replace(static_cast<size_t>(from * 32000), tone.size(), tone);
    }
    const std::vector<TimedPiece> pieces = EstimatedPieces::Place("第一句话。第二句话。", pcm);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_NEAR(pieces[0].start, 1.0, 0.02);
    EXPECT_NEAR(pieces[0].end, 3.0, 0.02);
    EXPECT_NEAR(pieces[1].start, 6.0, 0.02);
    EXPECT_NEAR(pieces[1].end, 8.0, 0.02);
    EXPECT_TRUE(pieces[0].estimated && pieces[1].estimated);
    // Nothing sounds: the whole audio is taken.
    const std::vector<TimedPiece> silent = EstimatedPieces::Place("a. b.", std::string(4 * 32000, '\0'));
    ASSERT_EQ(silent.size(), 2u);
    EXPECT_DOUBLE_EQ(silent[1].start, 2.0);
    EXPECT_DOUBLE_EQ(silent[1].end, 4.0);
}
