#include "app/Transcriber.h"

#include "app/ApplicationExit.h"
#include "app/ProcessEnd.h"
#include "app/TerminationSignals.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/TextUtils.h"
#include "base/net/HttpRequest.h"
#include "engine/TranscriptionJobs.h"
#include "engine/SegmentRecord.h"
#include "engine/FfmpegCommand.h"
#include "engine/FileList.h"
#include "engine/JobListener.h"
#include "engine/ResultFolder.h"

#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The window's tick: one queued segment may start per second.
constexpr auto kTick = std::chrono::seconds(1);
// How often a termination signal is looked for while nothing else happens.
constexpr auto kSignalPoll = std::chrono::milliseconds(200);

// What the job manager tells, kept until the loop of the thread that runs the program takes it.
class NewsQueue : public JobListener {
public:
    void OnSegmentDone(const SegmentDone& done) override
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            news.push_back(done.id);
        }
        posted.notify_one();
    }
    // From the thread that prepared the file.
    void OnFileFailed(const std::string& file, const std::string& reason) override
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            failures.emplace_back(file, reason);
        }
        posted.notify_one();
    }

    // The oldest news: a finished segment's id, or a file that could not be started (with its
    // reason); waiting for one until `deadline`.
    struct News {
        std::optional<uint64_t> segment;
        std::string failedFile;
        std::string reason;
    };
    std::optional<News> Take(Clock::time_point deadline)
    {
        std::unique_lock<std::mutex> guard(lock);
        if (!posted.wait_until(guard, deadline, [this] { return !news.empty() || !failures.empty(); }))
            return std::nullopt;
        News taken;
        if (!failures.empty()) {
            std::tie(taken.failedFile, taken.reason) = failures.front();
            failures.pop_front();
        } else {
            taken.segment = news.front();
            news.pop_front();
        }
        return taken;
    }

private:
    std::mutex lock;
    std::condition_variable posted;
    std::deque<uint64_t> news;
    std::deque<std::pair<std::string, std::string>> failures;
};

struct Job {
    std::string file;
    int32_t segments = 0;
    int32_t finished = 0;
    bool ended = false;
};

ResultForm FormOf(CommandLine::Format format)
{
    switch (format) {
    case CommandLine::Format::Srt:
        return ResultForm::Srt;
    case CommandLine::Format::Vtt:
        return ResultForm::Vtt;
    case CommandLine::Format::Json:
        return ResultForm::Json;
    case CommandLine::Format::Tsv:
        return ResultForm::Tsv;
    case CommandLine::Format::Txt:
        break;
    }
    return ResultForm::Text;
}

class Session {
public:
    explicit Session(const CommandLine& line) : line_(line), live_(isatty(STDERR_FILENO) == 1) {}

    int Go();

private:
    void Start();
    void OnSegment(const SegmentRecord& segment);
    void OnStartFailed(const std::string& file, const std::string& reason);
    void Finish(Job& job);
    void Fail(const std::string& file, const std::string& reason);
    void WriteOut(const std::string& file, const std::string& bytes);
    void Say(const std::string& line);
    void DrawLive();
    int StopOnSignal(int signalNumber);

    const CommandLine& line_;
    const bool live_;
    const Clock::time_point started_ = Clock::now();
    std::shared_ptr<NewsQueue> news_ = std::make_shared<NewsQueue>();
    std::unique_ptr<TranscriptionJobs> convert_;
    FileList files_;
    std::unique_ptr<ResultFolder> output_;
    std::vector<Job> jobs_;
    std::map<std::string, size_t> byFile_;
    size_t open_ = 0;
    int failed_ = 0;
};

int Session::Go()
{
    std::error_code error;
    if (!line_.toStandardOutput)
        fs::create_directories(line_.outputFolder, error);
    if (!line_.toStandardOutput && !fs::is_directory(line_.outputFolder, error)) {
        std::fprintf(stderr, "talvora: the output folder %s cannot be made: %s\n", line_.outputFolder.c_str(),
                     error ? error.message().c_str() : "not a folder");
        return 2;
    }
    WriteLog(Info, LogTag::kTranscriberRun, "transcribe %zu files into %s", line_.files.size(),
             line_.toStandardOutput ? "standard output" : line_.outputFolder.c_str());
    HttpRequest::SetUpLibrary();  // before the first worker can make a request
    const RecognizerKind kind = line_.recognizer.empty()           ? ReadRecognizerSetting()
                                : line_.recognizer == "local-en"    ? RecognizerKind::LocalEnglish
                                : line_.recognizer == "whisper-api" ? RecognizerKind::WhisperApi
                                                                    : RecognizerKind::Cloud;
    convert_ = std::make_unique<TranscriptionJobs>(MakeRecognizer(kind, line_.language), news_, ReadJobOptions());
    files_.SetJobs(convert_.get());
    // One save sequence for the whole run: names handed out earlier stay taken.
    if (!line_.toStandardOutput)
        output_ = std::make_unique<ResultFolder>(line_.outputFolder, FormOf(line_.format));
    Start();

    Clock::time_point nextTick = Clock::now() + kTick;
    int signalNumber = 0;
    while (open_ > 0 && (signalNumber = TakeTerminationSignal()) == 0) {
        if (const auto taken = news_->Take(std::min(nextTick, Clock::now() + kSignalPoll))) {
            if (taken->segment) {
                files_.OnSegmentDone(*taken->segment);
                if (const SegmentRecord* segment = convert_->FindSegment(*taken->segment))
                    OnSegment(*segment);
            } else {
                OnStartFailed(taken->failedFile, taken->reason);
            }
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
    files_.SetJobs(nullptr);
    convert_.reset();
    LeaveApplication();
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
        files_.Add(file);
        // A file the manager cannot even take is told about as any failed start, later: the
        // job is there to hear it.
        files_.Start(files_.Find(file));
        Job job;
        job.file = file;
        const int32_t duration = files_.Row(files_.Find(file))->durationSeconds;
        job.segments = PlanSegmentCount(duration < 1 ? TranscriptionJobs::kSubstituteSeconds : duration);
        byFile_[file] = jobs_.size();
        jobs_.push_back(job);
        ++open_;
    }
}

void Session::OnStartFailed(const std::string& file, const std::string& reason)
{
    const auto found = byFile_.find(file);
    if (found == byFile_.end() || jobs_[found->second].ended)
        return;
    files_.StartFailed(file);
    jobs_[found->second].ended = true;
    --open_;
    Fail(file, reason);
    DrawLive();
}

void Session::OnSegment(const SegmentRecord& segment)
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
    const int row = files_.Find(job.file);
    const FileRow* item = files_.Row(row);
    if (item == nullptr || item->status != ItemDone) {
        Fail(job.file, files_.Text(row, false));
        return;
    }
    if (line_.toStandardOutput) {
        WriteOut(job.file, files_.ResultBytes(row, FormOf(line_.format)));
        return;
    }
    const std::vector<SavedResult> results = files_.Save(*output_, {job.file});
    if (results.empty() || !results.front().saved) {
        Fail(job.file, "cannot save into " + (results.empty() ? line_.outputFolder : results.front().failure));
        return;
    }
    const SavedResult& saved = results.front();
    const std::string target = line_.outputFolder + "/" + saved.name;
    if (saved.alreadyThere) {
        Say(job.file + " -> " + target + " (already there)");
        return;
    }
    WriteLog(Info, LogTag::kTranscriberRun, "%s", ("written: " + target).c_str());
    Say(job.file + " -> " + target);
}

void Session::WriteOut(const std::string& file, const std::string& bytes)
{
    // Texts of several files come one after another, each after a line that names its file.
    std::string out = line_.files.size() > 1 ? "==> " + file + " <==\n" + bytes : bytes;
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        Fail(file, std::string("cannot write to standard output: ") + std::strerror(errno));
        return;
    }
    WriteLog(Info, LogTag::kTranscriberRun, "%s", ("written to standard output: " + file).c_str());
}

void Session::Fail(const std::string& file, const std::string& reason)
{
    ++failed_;
    WriteLog(Warning, LogTag::kTranscriberRun, "%s", (file + ": " + reason).c_str());
    Say(file + ": failed: " + reason);
}

void Session::Say(const std::string& line)
{
    if (live_)
        std::fputs("\r\x1b[K", stderr);
    // File names and the service's messages are not the terminal's commands.
    std::fprintf(stderr, "%s\n", TextUtils::EscapeControls(line).c_str());
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
    WriteLog(Info, LogTag::kTranscriberRun, "signal %d: stopping", signalNumber);
    Say("talvora: stopped by signal " + std::to_string(signalNumber));
    // No queued segment starts any more; the running cuts and requests are ended and their
    // workers waited for, so the temporary folder is tidied after the last one has let go.
    StopBackgroundWork();
    files_.SetJobs(nullptr);
    convert_.reset();
    LeaveApplication();
    return 128 + signalNumber;
}

}  // namespace

int Transcriber::Run()
{
    Session session(line_);
    return session.Go();
}
