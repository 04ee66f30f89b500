#include "engine/TranscriptionJobs.h"

#include "base/BackgroundThread.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/LiveThreads.h"
#include "base/platform/BackgroundPriority.h"
#include "engine/FfmpegCommand.h"
#include "engine/JobFiles.h"
#include "engine/JobListener.h"
#include "engine/MediaInfoProbe.h"
#include "engine/SegmentAttempt.h"
#include "engine/SegmentDecoder.h"
#include "engine/ShownText.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {

constexpr char kTaskFailedText[] = TALVORA_TEXT("Engine", "任务失败，请确保任务文件未被其他程序占用.");
// 16 kHz, 16-bit mono.
constexpr int64_t kBytesPerSecond = 32000;
// A file found to go on past its plan is planned this many segments further at a time.
constexpr int32_t kExtensionSegments = 10;

// Decoding is pure computation: one decoder per core at most; the files beyond wait their turn.
int32_t MostDecoders()
{
    return static_cast<int32_t>(std::max(2u, std::thread::hardware_concurrency()));
}

bool ByIndex(const SegmentRecord* a, const SegmentRecord* b)
{
    return a->segmentIndex < b->segmentIndex;
}

}  // namespace

// What is known of one started file's audio: the container's duration is only where the plan
// starts, its decoder tells the rest.
struct TranscriptionJobs::FilePlan {
    std::string copy;
    // What the file's segments go to, as when it started; let go of once every segment has its
    // outcome, so a recognizer the settings replaced (a local one holds its decoders' memory)
    // does not outlive its last file.
    std::shared_ptr<Recognizer> recognizer;
    RecognizerKind kind = RecognizerKind::Cloud;
    std::string language;
    bool showFfmpegOutput = false;
    int32_t count = 0;
    int32_t totalSeconds = 0;
    // The decoder run under way (none between runs) and its number: news from any other run is
    // stale.
    std::shared_ptr<SegmentDecoder> decoder;
    uint64_t run = 0;
    int32_t runFrom = 0;
    // The segment a decoder run is due to start from, when one is free or after a failed run
    // (-1: none due).
    int32_t decodeFrom = -1;
    // The furthest segment decoded; past the plan, the plan goes on.
    int32_t furthestReady = -1;
    // The audio ended: the file has this many segments (-1: not known yet), lasting this long.
    int32_t decodedCount = -1;
    int32_t decodedSeconds = 0;
    bool endApplied = false;
    bool extended = false;
    // Whether a segment of the file was handed to a worker yet: the first goes at once.
    bool begun = false;
    // ffmpeg cannot decode the input at all: the whole file fails at once, with this reason.
    bool inputUnreadable = false;
    std::string inputProblem;
    bool failedWhole = false;
};

// A start on its way to a plan: the copy may take long, and the file may be removed or started
// again meanwhile.
struct TranscriptionJobs::Preparation {
    std::atomic<bool> cancelled{false};
};

// The queue and the records, shared between the manager (which owns them) and its helper
// threads (which only watch them). The lock is never held across a wait.
struct TranscriptionJobs::Jobs : std::enable_shared_from_this<Jobs> {
    explicit Jobs(std::shared_ptr<JobListener> told) : listener(std::move(told)) {}

    const std::shared_ptr<JobListener> listener;
    mutable std::mutex lock;
    std::vector<SegmentRecord*> pendingQueue;
    int32_t runningCount = 0;
    std::map<uint64_t, std::shared_ptr<SegmentRecord>> records;  // by id
    uint64_t lastId = 0;
    uint64_t lastRun = 0;
    std::map<std::string, FilePlan> plans;  // by file, as given to AddTask
    std::map<std::string, std::shared_ptr<Preparation>> preparing;
    int32_t decodersRunning = 0;
    // What files started from now on go to.
    std::shared_ptr<Recognizer> recognizer;
    JobOptions options;

    void Enqueue(SegmentRecord* segment)
    {
        pendingQueue.push_back(segment);
        std::stable_sort(pendingQueue.begin(), pendingQueue.end(), ByIndex);
    }
    // Takes a record out of the queue; the caller erases it from the records.
    void Unqueue(SegmentRecord* segment)
    {
        pendingQueue.erase(std::remove(pendingQueue.begin(), pendingQueue.end(), segment), pendingQueue.end());
    }
    // Frees every record of the file for which `drop` holds.
    template <class Predicate>
    void DropRecords(const std::string& file, Predicate drop)
    {
        for (auto it = records.begin(); it != records.end();) {
            if (it->second->file == file && drop(*it->second)) {
                Unqueue(it->second.get());
                it = records.erase(it);
            } else {
                ++it;
            }
        }
    }
    SegmentRecord* FindRecord(const std::string& file, int32_t index)
    {
        for (auto& [id, segment] : records) {
            if (segment->segmentIndex == index && segment->file == file)
                return segment.get();
        }
        return nullptr;
    }
    void Tell(const SegmentRecord& segment)
    {
        if (listener != nullptr)
            listener->OnSegmentDone(SegmentDone{segment.id, segment.file});
    }
    void TellStartFailed(const std::string& file)
    {
        if (listener != nullptr)
            listener->OnFileFailed(file, kTaskFailedText);
        else
            WriteLog(Warning, LogTag::kTranscriptionJobsAddTask, "%s: %s", kTaskFailedText, file.c_str());
    }
    void Forget(const std::string& file);
    void Prepare(const std::string& file, int32_t durationSeconds, const std::shared_ptr<Preparation>& preparation,
                 const std::shared_ptr<Recognizer>& recognizer, const JobOptions& options);
    // Starts the file's decoder from that segment, or has it wait for a free one.
    void StartDecoder(const std::string& file, FilePlan& plan, int32_t fromIndex);
    void StartWaitingDecoders();
    void DecoderEnded(FilePlan& plan);
    // The decoder's news, on its thread.
    void OnSegmentReady(const std::string& file, uint64_t run, int32_t index);
    void OnDecoded(const std::string& file, uint64_t run, int32_t segmentCount, int64_t bytes);
    void OnDecodeFailed(const std::string& file, uint64_t run, int32_t index, const std::string& reason, bool wholeFile);
    void Complete(const SegmentAttemptOutcome& outcome, const std::weak_ptr<SegmentRecord>& watched);
    // Whether a queued segment may go to a worker now.
    bool Due(const SegmentRecord& segment, std::chrono::steady_clock::time_point now) const;
    // Starts at most one queued segment that is due, if fewer than the maximum of attempts run.
    void StartOne();
    // Makes the record of one segment of a planned file and queues it.
    void Plan(const std::string& file, const FilePlan& plan, int32_t index);
    // Applies what the decoders found out about where files end, and starts the runs due; on the
    // calling thread only, since it frees and changes records that thread reads.
    void Replan();
    void Truncate(const std::string& file, FilePlan& plan, int32_t count);
    void FailWholeFile(const std::string& file, FilePlan& plan);
    void Extend(const std::string& file, FilePlan& plan);
    void RestatePlan(const std::string& file, const FilePlan& plan, bool tell);
    void ReleaseSettledRecognizers();
    FilePlan* FindPlan(const std::string& file, uint64_t run)
    {
        const auto found = plans.find(file);
        return found != plans.end() && found->second.run == run ? &found->second : nullptr;
    }
    const FilePlan* FindPlan(const std::string& file) const
    {
        const auto found = plans.find(file);
        return found != plans.end() ? &found->second : nullptr;
    }
};

TranscriptionJobs::TranscriptionJobs(std::shared_ptr<Recognizer> chosen, std::shared_ptr<JobListener> listener, JobOptions chosenOptions)
    : jobs(std::make_shared<Jobs>(std::move(listener)))
{
    jobs->recognizer = std::move(chosen);
    jobs->options = chosenOptions;
}

TranscriptionJobs::~TranscriptionJobs()
{
    // Helper threads that report from now on find nothing; once the last of them lets go of the
    // state, it goes too.
    std::lock_guard<std::mutex> guard(jobs->lock);
    for (auto& [file, preparation] : jobs->preparing)
        preparation->cancelled = true;
    jobs->preparing.clear();
    for (auto& [file, plan] : jobs->plans) {
        if (plan.decoder != nullptr)
            plan.decoder->Stop();
    }
    jobs->plans.clear();
    jobs->pendingQueue.clear();
    jobs->records.clear();
}

RecognizerKind TranscriptionJobs::GetRecognizerKind() const
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    return jobs->recognizer->Kind();
}

std::string TranscriptionJobs::GetRecognizerLanguage() const
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    return jobs->recognizer->Language();
}

RecognizerKind TranscriptionJobs::GetRecognizerKind(const std::string& file) const
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    const FilePlan* plan = jobs->FindPlan(file);
    return plan != nullptr ? plan->kind : jobs->recognizer->Kind();
}

std::string TranscriptionJobs::GetRecognizerLanguage(const std::string& file) const
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    const FilePlan* plan = jobs->FindPlan(file);
    return plan != nullptr ? plan->language : jobs->recognizer->Language();
}

void TranscriptionJobs::SetRecognizer(std::shared_ptr<Recognizer> chosen, JobOptions chosenOptions)
{
    // Attempts under way hold their own reference; queued segments find theirs in their plan.
    std::lock_guard<std::mutex> guard(jobs->lock);
    jobs->recognizer = std::move(chosen);
    jobs->options = chosenOptions;
}

bool TranscriptionJobs::AddTask(const std::string& file, int32_t durationSeconds)
{
    auto preparation = std::make_shared<Preparation>();
    std::shared_ptr<Recognizer> chosen;
    JobOptions chosenOptions;
    {
        std::lock_guard<std::mutex> guard(jobs->lock);
        // Whatever the file had goes now, on this thread: the caller may still read its records.
        jobs->Forget(file);
        jobs->preparing[file] = preparation;
        chosen = jobs->recognizer;
        chosenOptions = jobs->options;
    }
    const std::weak_ptr<Jobs> watched = jobs;
    const bool started = StartBackgroundThread("prepare", [watched, file, durationSeconds, preparation, chosen, chosenOptions] {
        if (const std::shared_ptr<Jobs> state = watched.lock())
            state->Prepare(file, durationSeconds, preparation, chosen, chosenOptions);
    });
    if (!started) {
        {
            std::lock_guard<std::mutex> guard(jobs->lock);
            jobs->preparing.erase(file);
        }
        WriteLog(Error, LogTag::kTranscriptionJobsAddTask, "cannot start a thread to prepare %s", file.c_str());
        jobs->TellStartFailed(file);
    }
    return started;
}

void TranscriptionJobs::Jobs::Prepare(const std::string& file, int32_t durationSeconds, const std::shared_ptr<Preparation>& preparation,
                                      const std::shared_ptr<Recognizer>& chosen, const JobOptions& chosenOptions)
{
    // A copy of gigabytes must not hold up the window or the requests under way.
    Platform::LowerThisThreadsPriority();
    const auto cancelled = [&preparation] { return preparation->cancelled.load() || LiveThreads::Ending(); };
    // Still the file's own start: not removed, not started again, the manager not gone.
    const auto current = [this, &file, &preparation] {
        const auto found = preparing.find(file);
        return found != preparing.end() && found->second == preparation;
    };
    if (durationSeconds == kProbeDuration)
        durationSeconds = ProbeAudioDuration(file);
    if (cancelled())
        return;
    if (durationSeconds < 1) {
        durationSeconds = kSubstituteSeconds;
        WriteLog(Warning, LogTag::kTranscriptionJobsAddTask, "audio %s time is 0, set %d", file.c_str(), kSubstituteSeconds);
    }
    std::string copy;
    if (durationSeconds > kMaxPlannedSeconds) {
        WriteLog(Warning, LogTag::kTranscriptionJobsAddTask, "audio %s time %d is above %d, refused", file.c_str(), durationSeconds,
                 kMaxPlannedSeconds);
    } else {
        copy = JobFiles::GetCopyByFile(file, cancelled);
    }
    std::unique_lock<std::mutex> guard(lock);
    if (!current())
        return;
    preparing.erase(file);
    if (copy.empty()) {
        guard.unlock();
        TellStartFailed(file);
        return;
    }
    // Segment files an earlier job at this path left must never pass for this one's.
    JobFiles::RemoveSegmentFiles(copy.substr(0, copy.rfind('/')));
    FilePlan& plan = plans[file];
    plan = FilePlan{};
    plan.copy = copy;
    plan.count = PlanSegmentCount(durationSeconds);
    plan.totalSeconds = durationSeconds;
    plan.recognizer = chosen;
    plan.kind = chosen->Kind();
    plan.language = chosen->Language();
    plan.showFfmpegOutput = chosenOptions.showFfmpegOutput;
    for (int32_t i = 0; i < plan.count; ++i)
        Plan(file, plan, i);
    std::stable_sort(pendingQueue.begin(), pendingQueue.end(), ByIndex);
    StartDecoder(file, plan, 0);
}

void TranscriptionJobs::Jobs::StartDecoder(const std::string& file, FilePlan& plan, int32_t fromIndex)
{
    plan.decodeFrom = fromIndex;
    if (decodersRunning >= MostDecoders())
        return;
    const uint64_t run = ++lastRun;
    plan.run = run;
    plan.runFrom = fromIndex;
    plan.decodeFrom = -1;
    const std::weak_ptr<Jobs> watched = shared_from_this();
    SegmentDecoder::Callbacks told;
    told.ready = [watched, file, run](int32_t index, int64_t) {
        if (const std::shared_ptr<Jobs> state = watched.lock())
            state->OnSegmentReady(file, run, index);
    };
    told.ended = [watched, file, run](int32_t count, int64_t bytes) {
        if (const std::shared_ptr<Jobs> state = watched.lock())
            state->OnDecoded(file, run, count, bytes);
    };
    told.failed = [watched, file, run](int32_t index, const std::string& reason, bool wholeFile) {
        if (const std::shared_ptr<Jobs> state = watched.lock())
            state->OnDecodeFailed(file, run, index, reason, wholeFile);
    };
    plan.decoder = SegmentDecoder::Start(plan.copy, fromIndex, plan.showFfmpegOutput, std::move(told));
    if (plan.decoder == nullptr) {
        WriteLog(Error, LogTag::kTranscriptionJobsDispatch, "cannot start a decoder for %s", file.c_str());
        plan.decodeFrom = fromIndex;
        return;
    }
    ++decodersRunning;
}

void TranscriptionJobs::Jobs::DecoderEnded(FilePlan& plan)
{
    plan.decoder.reset();
    --decodersRunning;
    StartWaitingDecoders();
}

void TranscriptionJobs::Jobs::StartWaitingDecoders()
{
    for (auto& [file, plan] : plans) {
        if (decodersRunning >= MostDecoders())
            return;
        if (plan.decodeFrom >= 0 && plan.decoder == nullptr && !plan.inputUnreadable)
            StartDecoder(file, plan, plan.decodeFrom);
    }
}

void TranscriptionJobs::Jobs::OnSegmentReady(const std::string& file, uint64_t run, int32_t index)
{
    std::lock_guard<std::mutex> guard(lock);
    FilePlan* plan = FindPlan(file, run);
    if (plan == nullptr)
        return;
    plan->furthestReady = std::max(plan->furthestReady, index);
    SegmentRecord* segment = FindRecord(file, index);
    if (segment != nullptr)
        segment->ready = true;
    // A file's first segment goes to a worker at once, as soon as it is due; the rest follow at
    // the dispatching pace.
    if (!plan->begun && segment != nullptr && Due(*segment, std::chrono::steady_clock::now())) {
        plan->begun = true;
        StartOne();
    }
}

void TranscriptionJobs::Jobs::OnDecoded(const std::string& file, uint64_t run, int32_t segmentCount, int64_t bytes)
{
    std::lock_guard<std::mutex> guard(lock);
    FilePlan* plan = FindPlan(file, run);
    if (plan == nullptr)
        return;
    plan->decodedCount = segmentCount;
    // The run began at its first segment's start.
    const int64_t seconds = int64_t{plan->runFrom} * kSegmentSeconds + (bytes + kBytesPerSecond - 1) / kBytesPerSecond;
    plan->decodedSeconds = static_cast<int32_t>(std::min<int64_t>(std::numeric_limits<int32_t>::max(), seconds));
    DecoderEnded(*plan);
    // A file of one segment: it was due only now.
    if (!plan->begun) {
        plan->begun = true;
        StartOne();
    }
}

void TranscriptionJobs::Jobs::OnDecodeFailed(const std::string& file, uint64_t run, int32_t index, const std::string& reason, bool wholeFile)
{
    std::lock_guard<std::mutex> guard(lock);
    FilePlan* plan = FindPlan(file, run);
    if (plan == nullptr)
        return;
    // What comes next waits for the calling thread; another file's decoder may go meanwhile.
    DecoderEnded(*plan);
    if (wholeFile) {
        plan->inputUnreadable = true;
        plan->inputProblem = reason;
        WriteLog(Warning, LogTag::kTranscriptionJobsOnAudioCallBack, "%s",
                 ("the input of " + file + " cannot be decoded, the file has failed: " + reason).c_str());
        return;
    }
    SegmentRecord* segment = FindRecord(file, index);
    if (segment == nullptr) {
        // Past the plan: where the audio ends is not known, the file ends where its plan does.
        plan->decodedCount = index;
        plan->decodedSeconds = index * kSegmentSeconds;
        return;
    }
    // A segment that cannot be produced is a failed attempt like any other, and tried again
    // by decoding again from its start.
    ++segment->attempts;
    if (segment->attempts < kMaxAttempts) {
        WriteLog(Warning, LogTag::kTranscriptionJobsOnAudioCallBack, "speech task failed. %s, code:%d, err:%s, retry:%d",
                 segment->pcmFile.c_str(), kCutFailedCode, reason.c_str(), segment->attempts);
        plan->decodeFrom = index;
        return;
    }
    Unqueue(segment);
    segment->resultCode = kCutFailedCode;
    segment->errorMessage = reason;
    segment->text.clear();
    segment->finished = true;
    Tell(*segment);
    if (index + 1 < plan->count)
        plan->decodeFrom = index + 1;
}

void TranscriptionJobs::Jobs::Plan(const std::string& file, const FilePlan& plan, int32_t index)
{
    auto segment = std::make_shared<SegmentRecord>();
    segment->id = ++lastId;
    segment->file = file;
    segment->totalSeconds = plan.totalSeconds;
    segment->segmentCount = plan.count;
    segment->segmentIndex = index;
    segment->pcmFile = SegmentFileName(plan.copy, index);
    segment->ready = index <= plan.furthestReady;
    pendingQueue.push_back(segment.get());
    records[segment->id] = std::move(segment);
}

void TranscriptionJobs::Jobs::Forget(const std::string& file)
{
    if (const auto found = preparing.find(file); found != preparing.end()) {
        found->second->cancelled = true;
        preparing.erase(found);
    }
    if (const auto found = plans.find(file); found != plans.end()) {
        if (found->second.decoder != nullptr) {
            found->second.decoder->Stop();
            --decodersRunning;
        }
        plans.erase(found);
        StartWaitingDecoders();
    }
    DropRecords(file, [](const SegmentRecord&) { return true; });
}

void TranscriptionJobs::RemoveTask(const std::string& file)
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    jobs->Forget(file);
}

bool TranscriptionJobs::Holds(const std::string& file) const
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    return jobs->preparing.count(file) != 0 || jobs->plans.count(file) != 0;
}

std::vector<SegmentRecord*> TranscriptionJobs::GetFinishedSegments(const std::string& file)
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    std::vector<SegmentRecord*> finished;
    for (const auto& [id, segment] : jobs->records) {
        if (segment->file == file && segment->finished)
            finished.push_back(segment.get());
    }
    std::stable_sort(finished.begin(), finished.end(), ByIndex);
    return finished;
}

SegmentRecord* TranscriptionJobs::FindSegment(uint64_t id)
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    const auto found = jobs->records.find(id);
    return found != jobs->records.end() ? found->second.get() : nullptr;
}

void TranscriptionJobs::Dispatch()
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    jobs->Replan();
    jobs->StartOne();
}

bool TranscriptionJobs::Jobs::Due(const SegmentRecord& segment, std::chrono::steady_clock::time_point now) const
{
    if (!segment.ready || segment.notBefore > now)
        return false;
    // The last planned segment waits until the decoder knows whether the audio goes on past it:
    // finished before, it would make the file look complete while it is not.
    const FilePlan* plan = FindPlan(segment.file);
    return plan == nullptr || segment.segmentIndex < plan->count - 1 || plan->decodedCount >= 0 ||
           plan->furthestReady > segment.segmentIndex || (plan->decoder == nullptr && plan->decodeFrom < 0);
}

void TranscriptionJobs::Jobs::StartOne()
{
    if (runningCount >= options.maxWorkers)
        return;
    // The first queued segment that is decoded and due: one whose server asked for a pause
    // waits, the others go on meanwhile.
    const auto now = std::chrono::steady_clock::now();
    const auto due = std::find_if(pendingQueue.begin(), pendingQueue.end(), [this, now](const SegmentRecord* queued) { return Due(*queued, now); });
    if (due == pendingQueue.end())
        return;
    SegmentRecord* segment = *due;
    pendingQueue.erase(due);
    ++segment->attempts;
    ++runningCount;
    const std::weak_ptr<Jobs> watchedJobs = shared_from_this();
    const std::weak_ptr<SegmentRecord> watched = records.at(segment->id);
    // A queued segment always has its plan, and the plan its recognizer until every segment of
    // the file has its outcome; the current one is only a fallback that keeps this safe.
    const FilePlan* plan = FindPlan(segment->file);
    std::shared_ptr<Recognizer> chosen = plan != nullptr && plan->recognizer != nullptr ? plan->recognizer : recognizer;
    SegmentAttemptInput input;
    input.pcmFile = segment->pcmFile;
    // The completion waits for the lock held here, so it cannot run before the bookkeeping
    // above is complete.
    const bool started = StartBackgroundThread(
        "segment", [watchedJobs, watched, input = std::move(input), shared = std::move(chosen)] {
            const SegmentAttemptOutcome outcome = AttemptSegment(input, *shared);
            // The manager is gone: the attempt only has to end too.
            if (const std::shared_ptr<Jobs> state = watchedJobs.lock())
                state->Complete(outcome, watched);
        });
    if (!started) {
        WriteLog(Error, LogTag::kTranscriptionJobsDispatch, "cannot start a worker for %s", segment->pcmFile.c_str());
        --runningCount;
        --segment->attempts;
        Enqueue(segment);
    }
}

void TranscriptionJobs::Jobs::Complete(const SegmentAttemptOutcome& outcome, const std::weak_ptr<SegmentRecord>& watched)
{
    std::lock_guard<std::mutex> guard(lock);
    --runningCount;
    const std::shared_ptr<SegmentRecord> segment = watched.lock();
    if (segment != nullptr && segment->finished) {
        // The file's outcome was settled without this attempt (its input cannot be decoded).
    } else if (segment == nullptr) {
        WriteLog(Warning, LogTag::kTranscriptionJobsOnAudioCallBack, "app exit. OnAudioCallBack no  PostMessage");
    } else if (outcome.code != 0 && segment->attempts < kMaxAttempts) {
        WriteLog(Warning, LogTag::kTranscriptionJobsOnAudioCallBack, "speech task failed. %s, code:%d, err:%s, retry:%d",
                 segment->pcmFile.c_str(), outcome.code, outcome.message.c_str(), segment->attempts);
        if (outcome.retryAfterSeconds > 0) {
            segment->notBefore = std::chrono::steady_clock::now() + std::chrono::seconds(outcome.retryAfterSeconds);
            WriteLog(Info, LogTag::kTranscriptionJobsOnAudioCallBack, "the server asked for a pause: %s is tried again in %d s",
                     segment->pcmFile.c_str(), outcome.retryAfterSeconds);
        }
        Enqueue(segment.get());
    } else {
        segment->resultCode = outcome.code;
        segment->errorMessage = outcome.message;
        segment->text = outcome.text;
        // The recognizer timed its pieces from the start of the audio it was given.
        const double offset = static_cast<double>(segment->segmentIndex) * kSegmentSeconds;
        segment->pieces = outcome.pieces;
        for (TimedPiece& piece : segment->pieces) {
            piece.start += offset;
            piece.end += offset;
        }
        segment->finished = true;
        Tell(*segment);
    }
}

void TranscriptionJobs::Jobs::Replan()
{
    for (auto& [file, plan] : plans) {
        if (plan.inputUnreadable) {
            if (!plan.failedWhole)
                FailWholeFile(file, plan);
            continue;
        }
        // Decoded past the plan: planned further, ten segments at a time.
        if (plan.furthestReady >= plan.count && plan.decodedCount < 0)
            Extend(file, plan);
        if (plan.decodedCount >= 0 && !plan.endApplied) {
            plan.endApplied = true;
            if (plan.decodedCount < plan.count)
                Truncate(file, plan, plan.decodedCount);
            else if (plan.decodedCount > plan.count || plan.extended)
                Extend(file, plan);
            if (plan.extended && plan.totalSeconds != plan.decodedSeconds) {
                plan.totalSeconds = plan.decodedSeconds;
                RestatePlan(file, plan, false);
            }
        }
    }
    StartWaitingDecoders();
    ReleaseSettledRecognizers();
}

void TranscriptionJobs::Jobs::ReleaseSettledRecognizers()
{
    std::set<std::string> unsettled;
    for (const auto& [id, segment] : records) {
        if (!segment->finished)
            unsettled.insert(segment->file);
    }
    for (auto& [file, plan] : plans) {
        // A file still decoding may go on past its plan.
        if (plan.recognizer != nullptr && plan.decoder == nullptr && plan.decodeFrom < 0 && unsettled.count(file) == 0)
            plan.recognizer.reset();
    }
}

void TranscriptionJobs::Jobs::FailWholeFile(const std::string& file, FilePlan& plan)
{
    // One record stays, the first, with the reason; nothing else of the file is sent or tried.
    DropRecords(file, [](const SegmentRecord& segment) { return segment.segmentIndex != 0; });
    SegmentRecord* first = FindRecord(file, 0);
    if (first != nullptr)
        Unqueue(first);
    plan.failedWhole = true;
    plan.count = first != nullptr ? 1 : 0;
    plan.decodeFrom = -1;
    if (first == nullptr)
        return;
    first->resultCode = kCutFailedCode;
    first->errorMessage = plan.inputProblem;
    first->text.clear();
    first->attempts = std::max(first->attempts, 1);
    first->finished = true;
    RestatePlan(file, plan, true);
}

void TranscriptionJobs::Jobs::Truncate(const std::string& file, FilePlan& plan, int32_t count)
{
    WriteLog(Info, LogTag::kTranscriptionJobsDispatch, "audio %s ends before segment %d: %d planned segments dropped", file.c_str(),
             count + 1, plan.count - count);
    DropRecords(file, [count](const SegmentRecord& segment) { return segment.segmentIndex >= count; });
    plan.count = count;
    plan.totalSeconds = std::min(plan.totalSeconds, plan.decodedSeconds);
    RestatePlan(file, plan, true);
}

void TranscriptionJobs::Jobs::Extend(const std::string& file, FilePlan& plan)
{
    // While decoding, ten more at a time; once the end is known, exactly to it.
    const int32_t wanted = plan.decodedCount >= 0 ? plan.decodedCount
                                                  : plan.count + kExtensionSegments * ((plan.furthestReady - plan.count) / kExtensionSegments + 1);
    if (wanted <= plan.count)
        return;
    WriteLog(Info, LogTag::kTranscriptionJobsDispatch, "audio %s goes on past %d seconds: %d segments added", file.c_str(),
             plan.count * kSegmentSeconds, wanted - plan.count);
    const int32_t first = plan.count;
    plan.count = wanted;
    plan.totalSeconds = plan.decodedCount >= 0 ? plan.decodedSeconds : plan.count * kSegmentSeconds;
    plan.extended = true;
    for (int32_t i = first; i < plan.count; ++i)
        Plan(file, plan, i);
    std::stable_sort(pendingQueue.begin(), pendingQueue.end(), ByIndex);
    RestatePlan(file, plan, true);
}

void TranscriptionJobs::Jobs::RestatePlan(const std::string& file, const FilePlan& plan, bool tell)
{
    SegmentRecord* lastFinished = nullptr;
    for (auto& [id, segment] : records) {
        if (segment->file != file)
            continue;
        segment->segmentCount = plan.count;
        segment->totalSeconds = plan.totalSeconds;
        if (segment->finished && (lastFinished == nullptr || segment->segmentIndex > lastFinished->segmentIndex))
            lastFinished = segment.get();
    }
    // The listener counts the file's finished segments against the new plan: a file may be
    // complete now without another segment finishing.
    if (tell && lastFinished != nullptr)
        Tell(*lastFinished);
}

int32_t TranscriptionJobs::RunningCount()
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    return jobs->runningCount;
}

size_t TranscriptionJobs::QueuedCount()
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    return jobs->pendingQueue.size();
}
