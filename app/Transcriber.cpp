#include "app/Transcriber.h"

#include "app/ProcessEnd.h"
#include "app/QueuedWindowHandle.h"
#include "app/TerminationSignals.h"
#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "base/TextUtils.h"
#include "base/net/CHttpRequest.h"
#include "base/platform/SaveNewFile.h"
#include "base/platform/WindowMessages.h"
#include "engine/CAudioConvert.h"
#include "engine/CAudioSegment.h"
#include "engine/CData.h"
#include "engine/CredentialsFile.h"
#include "engine/FfmpegCommand.h"
#include "engine/MediaInfoProbe.h"
#include "engine/RecognitionFailure.h"
#include "engine/SegmentTexts.h"
#include "engine/TaskNotice.h"
#include "ui/ResultFileNames.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kTag[] = "Transcriber::Run";
// The window's tick: one queued segment may start per second.
constexpr auto kTick = std::chrono::seconds(1);
// How often a termination signal is looked for while nothing else happens.
constexpr auto kSignalPoll = std::chrono::milliseconds(200);

// The engine's "could not start" notice, kept for the file's one-line reason.
class RecordedNotice : public TaskNotice {
public:
    void ShowTaskFailed(const std::wstring& message) override { last = message; }
    std::wstring last;
};

struct Job {
    std::string file;
    int32_t segments = 0;
    int32_t finished = 0;
    bool ended = false;
};

class Session {
public:
    explicit Session(const CommandLine& line) : line_(line), live_(isatty(STDERR_FILENO) == 1) {}

    int Go();

private:
    void Start();
    void OnSegment(const CAudioSegment& segment);
    void Finish(Job& job);
    void Fail(const std::string& file, const std::string& reason);
    void Say(const std::string& line);
    void DrawLive();
    int StopOnSignal(int signalNumber);

    const CommandLine& line_;
    const bool live_;
    const Clock::time_point started_ = Clock::now();
    std::shared_ptr<QueuedWindowHandle> window_ = std::make_shared<QueuedWindowHandle>();
    std::shared_ptr<RecordedNotice> notice_ = std::make_shared<RecordedNotice>();
    std::unique_ptr<CAudioConvert> convert_;
    std::unique_ptr<ResultFileNames> names_;
    std::vector<Job> jobs_;
    std::map<std::string, size_t> byFile_;
    size_t open_ = 0;
    int failed_ = 0;
};

int Session::Go()
{
    std::error_code error;
    fs::create_directories(line_.outputFolder, error);
    if (!fs::is_directory(line_.outputFolder, error)) {
        std::fprintf(stderr, "talvora: the output folder %s cannot be made: %s\n", line_.outputFolder.c_str(),
                     error ? error.message().c_str() : "not a folder");
        return 2;
    }
    WriteLog(Info, kTag, "transcribe %zu files into %s", line_.files.size(), line_.outputFolder.c_str());
    CredentialsFile::Apply(CData::Instance(), CredentialsFile::DefaultPath());
    CData::Instance().SetMainWnd(window_);
    CHttpRequest::SetUpLibrary();  // before the first worker can make a request
    convert_ = line_.recognizer.empty() ? std::make_unique<CAudioConvert>()
                                        : std::make_unique<CAudioConvert>(line_.recognizer == "local-en"
                                                                              ? RecognizerKind::LocalEnglish
                                                                              : RecognizerKind::Cloud);
    convert_->SetTaskNotice(notice_);
    names_ = std::make_unique<ResultFileNames>(AnsiToWide(line_.outputFolder),
                                               AnsiToWide(CommandLine::Extension(line_.format)));
    Start();

    Clock::time_point nextTick = Clock::now() + kTick;
    int signalNumber = 0;
    while (open_ > 0 && (signalNumber = TakeTerminationSignal()) == 0) {
        const auto message = window_->Take(std::min(nextTick, Clock::now() + kSignalPoll));
        if (message && message->message == WM_USER_SEGMENT_DONE) {
            if (const CAudioSegment* segment = convert_->FindSegment(message->wParam))
                OnSegment(*segment);
        }
        if (Clock::now() >= nextTick) {
            convert_->Dispatch();
            nextTick += kTick;
            DrawLive();
        }
    }
    if (signalNumber != 0)
        return StopOnSignal(signalNumber);
    if (live_)
        std::fputs("\r\x1b[K", stderr);
    // The normal end, as the window's: the temporary folder moved away, the crash handler off.
    convert_.reset();
    CData::Instance().PostAppExit();
    return failed_ > 0 ? 1 : 0;
}

void Session::Start()
{
    for (const std::string& file : line_.files) {
        if (byFile_.count(file) != 0)
            continue;  // the same file twice is one job, as in the window's list
        std::error_code error;
        if (!fs::exists(file, error)) {
            Fail(file, "no such file");
            continue;
        }
        if (!fs::is_regular_file(file, error)) {
            Fail(file, "not a regular file");
            continue;
        }
        const int32_t duration = ProbeAudioDuration(AnsiToWide(file));
        notice_->last.clear();
        if (!convert_->AddTask(file, duration)) {
            Fail(file, WideToAnsi(notice_->last));
            continue;
        }
        Job job;
        job.file = file;
        job.segments = PlanSegmentCount(duration < 1 ? CAudioConvert::kSubstituteSeconds : duration);
        byFile_[file] = jobs_.size();
        jobs_.push_back(job);
        ++open_;
    }
}

void Session::OnSegment(const CAudioSegment& segment)
{
    const auto found = byFile_.find(segment.file);
    if (found == byFile_.end())
        return;
    Job& job = jobs_[found->second];
    if (job.ended)
        return;
    // Counted, not summed up message by message: the plan follows the real audio, and a plan
    // that changed names a segment that finished before.
    const auto finished = static_cast<int32_t>(convert_->GetFinishedSegments(job.file).size());
    const bool more = finished > job.finished;
    job.segments = segment.segmentCount;
    job.finished = finished;
    if (!live_ && more) {
        std::string line = job.file + ": segment " + std::to_string(segment.segmentIndex + 1) + "/" +
                           std::to_string(segment.segmentCount);
        line += segment.resultCode == 0 ? " done" : " failed (code " + std::to_string(segment.resultCode) + ")";
        Say(line);
    }
    if (job.finished >= job.segments)
        Finish(job);
    DrawLive();
}

void Session::Finish(Job& job)
{
    job.ended = true;
    --open_;
    const std::vector<CAudioSegment*> records = convert_->GetFinishedSegments(job.file);
    if (RecognitionFailure::IsFailed(records)) {
        Fail(job.file, WideToAnsi(RecognitionFailure::Describe(records)));
        return;
    }
    std::string content;
    if (line_.format == CommandLine::Format::Txt)
        content = SegmentTexts::AsTextFile(SegmentTexts::Joined(records));
    else
        content = SegmentTexts::Subtitles(records, line_.format == CommandLine::Format::Srt
                                                       ? SegmentTexts::SubtitleFormat::Srt
                                                       : SegmentTexts::SubtitleFormat::Vtt);
    const std::wstring same = names_->HoldingAlready(AnsiToWide(job.file), content);
    if (!same.empty()) {
        Say(job.file + " -> " + line_.outputFolder + "/" + WideToAnsi(same) + CommandLine::Extension(line_.format) +
            " (already there)");
        return;
    }
    // Another run, or anyone else, may be writing into the same folder right now: the text
    // takes the next name still free at the moment it is written, never one taken meanwhile.
    const SaveNewFileResult saved = SaveNewFile(
        line_.outputFolder,
        [&] { return WideToAnsi(names_->Take(AnsiToWide(job.file))) + CommandLine::Extension(line_.format); }, content);
    if (!saved.saved) {
        Fail(job.file, "cannot save into " + line_.outputFolder + ": " + saved.Reason());
        return;
    }
    const std::string target = line_.outputFolder + "/" + saved.name;
    WriteLog(Info, kTag, "%s", ("written: " + target).c_str());
    Say(job.file + " -> " + target);
}

void Session::Fail(const std::string& file, const std::string& reason)
{
    ++failed_;
    WriteLog(Warning, kTag, "%s", (file + ": " + reason).c_str());
    Say(file + ": failed: " + reason);
}

void Session::Say(const std::string& line)
{
    if (live_)
        std::fputs("\r\x1b[K", stderr);
    // File names and the service's messages are not the terminal's commands.
    std::fprintf(stderr, "%s\n", PubUtils::EscapeControls(line).c_str());
    std::fflush(stderr);
}

void Session::DrawLive()
{
    if (!live_)
        return;
    int32_t finished = 0;
    int32_t segments = 0;
    for (const Job& job : jobs_) {
        finished += job.finished;
        segments += job.segments;
    }
    constexpr int kWidth = 30;
    const int filled = segments > 0 ? static_cast<int>(static_cast<int64_t>(finished) * kWidth / segments) : 0;
    const long seconds = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started_).count());
    std::fprintf(stderr, "\r\x1b[K[%s%s] %d/%d segments, %zu of %zu files left, %ld:%02ld", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), finished, segments, open_, jobs_.size(), seconds / 60,
                 seconds % 60);
    std::fflush(stderr);
}

int Session::StopOnSignal(int signalNumber)
{
    WriteLog(Info, kTag, "signal %d: stopping", signalNumber);
    Say("talvora: stopped by signal " + std::to_string(signalNumber));
    // No queued segment starts any more; the running cuts and requests are ended and their
    // workers waited for, so the temporary folder is tidied after the last one has let go.
    StopBackgroundWork();
    convert_.reset();
    CData::Instance().PostAppExit();
    return 128 + signalNumber;
}

}  // namespace

int Transcriber::Run()
{
    Session session(line_);
    return session.Go();
}
