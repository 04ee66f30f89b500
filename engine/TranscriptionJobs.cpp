#include "engine/TranscriptionJobs.h"

#include "base/BackgroundThread.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "engine/FfmpegCommand.h"
#include "engine/JobFiles.h"
#include "engine/JobListener.h"
#include "engine/SegmentAttempt.h"
#include "engine/ShownText.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <map>
#include <mutex>
#include <set>

namespace {

constexpr char kTaskFailedText[] = TALVORA_TEXT("Engine", "任务失败，请确保任务文件未被其他程序占用.");
// 16 kHz, 16-bit mono.
constexpr int64_t kBytesPerSecond = 32000;
constexpr int64_t kSegmentBytes = kSegmentSeconds * kBytesPerSecond;
// A last segment whose cut holds this much reached the end of its overrun: the audio goes on.
// A tenth of a second short of it, for the resampler's rounding.
constexpr int64_t kGoesOnBytes = (kSegmentSeconds + kLastSegmentOverrunSeconds) * kBytesPerSecond - kBytesPerSecond / 10;
// A file found to go on past its plan is planned this many segments further at a time.
constexpr int32_t kExtensionSegments = 10;

bool ByIndex(const SegmentRecord* a, const SegmentRecord* b)
{
    return a->segmentIndex < b->segmentIndex;
}

}  // namespace

// What is known of one started file's audio, learned from its cuts: the container's duration
// is only where the plan starts.
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
    // The first segment known to lie past the end of the audio (its cut came out empty).
    int32_t end = std::numeric_limits<int32_t>::max();
    // The last planned segment's cut reached past its planned end: the audio goes on.
    bool extend = false;
    // A cut shorter than a whole segment: where the audio ends, if nothing follows it.
    int32_t shortIndex = -1;
    int32_t shortEndSeconds = 0;
    // ffmpeg cannot decode the input at all: the whole file fails at once, with this reason.
    bool inputUnreadable = false;
    std::string inputProblem;
    bool failedWhole = false;
};

// The queue and the records, shared between the manager (which owns them) and its attempts
// (which only watch them). The lock is never held across a wait.
struct TranscriptionJobs::Jobs {
    explicit Jobs(std::shared_ptr<JobListener> told) : listener(std::move(told)) {}

    const std::shared_ptr<JobListener> listener;
    std::mutex lock;
    std::vector<SegmentRecord*> pendingQueue;
    int32_t runningCount = 0;
    std::map<uint64_t, std::shared_ptr<SegmentRecord>> records;  // by id
    uint64_t lastId = 0;
    std::map<std::string, FilePlan> plans;  // by file, as given to AddTask

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
    void Tell(const SegmentRecord& segment)
    {
        if (listener != nullptr)
            listener->OnSegmentDone(SegmentDone{segment.id, segment.file});
    }
    void Complete(const SegmentAttemptOutcome& outcome, const std::weak_ptr<SegmentRecord>& watched);
    CutVerdict JudgeCut(const std::weak_ptr<SegmentRecord>& watched, int64_t audioBytes);
    // Makes the record of one segment of a planned file and queues it.
    void Plan(const std::string& file, const FilePlan& plan, int32_t index);
    // Applies what the cuts found out about where files end; on the dispatching thread only,
    // since it frees and changes records that thread reads.
    void Replan();
    void Truncate(const std::string& file, FilePlan& plan);
    void FailWholeFile(const std::string& file, FilePlan& plan);
    void Extend(const std::string& file, FilePlan& plan);
    void RestatePlan(const std::string& file, const FilePlan& plan, bool tell);
    void ReleaseSettledRecognizers();
    const FilePlan* FindPlan(const std::string& file) const
    {
        const auto found = plans.find(file);
        return found != plans.end() ? &found->second : nullptr;
    }
};

TranscriptionJobs::TranscriptionJobs(std::shared_ptr<Recognizer> chosen, std::shared_ptr<JobListener> listener, JobOptions chosenOptions)
    : jobs(std::make_shared<Jobs>(std::move(listener))), recognizer(std::move(chosen)), options(chosenOptions)
{
}

TranscriptionJobs::~TranscriptionJobs()
{
    // Attempts that complete from now on find no record; once the last of them lets go of the
    // state, it goes too.
    std::lock_guard<std::mutex> guard(jobs->lock);
    jobs->pendingQueue.clear();
    jobs->records.clear();
}

RecognizerKind TranscriptionJobs::GetRecognizerKind() const
{
    return recognizer->Kind();
}

std::string TranscriptionJobs::GetRecognizerLanguage() const
{
    return recognizer->Language();
}

RecognizerKind TranscriptionJobs::GetRecognizerKind(const std::string& file) const
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    const FilePlan* plan = jobs->FindPlan(file);
    return plan != nullptr ? plan->kind : recognizer->Kind();
}

std::string TranscriptionJobs::GetRecognizerLanguage(const std::string& file) const
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    const FilePlan* plan = jobs->FindPlan(file);
    return plan != nullptr ? plan->language : recognizer->Language();
}

void TranscriptionJobs::SetRecognizer(std::shared_ptr<Recognizer> chosen, JobOptions chosenOptions)
{
    // Attempts under way hold their own reference; queued segments find theirs in their plan.
    std::lock_guard<std::mutex> guard(jobs->lock);
    recognizer = std::move(chosen);
    options = chosenOptions;
}

bool TranscriptionJobs::AddTask(const std::string& file, int32_t durationSeconds)
{
    if (durationSeconds < 1) {
        durationSeconds = kSubstituteSeconds;
        WriteLog(Warning, LogTag::kTranscriptionJobsAddTask, "audio %s time is 0, set %d", file.c_str(), kSubstituteSeconds);
    }
    if (durationSeconds > kMaxPlannedSeconds) {
        WriteLog(Warning, LogTag::kTranscriptionJobsAddTask, "audio %s time %d is above %d, refused", file.c_str(), durationSeconds,
                 kMaxPlannedSeconds);
        TellStartFailed(file);
        return false;
    }
    const std::string copy = JobFiles::GetCopyByFile(file);
    if (copy.empty()) {
        TellStartFailed(file);
        return false;
    }
    JobFiles::RemoveSegmentFiles(copy.substr(0, copy.rfind('/')));

    FilePlan plan;
    plan.copy = copy;
    plan.count = PlanSegmentCount(durationSeconds);
    plan.totalSeconds = durationSeconds;
    plan.recognizer = recognizer;
    plan.kind = recognizer->Kind();
    plan.language = recognizer->Language();
    plan.showFfmpegOutput = options.showFfmpegOutput;
    std::lock_guard<std::mutex> guard(jobs->lock);
    jobs->DropRecords(file, [](const SegmentRecord&) { return true; });
    jobs->plans[file] = plan;
    for (int32_t i = 0; i < plan.count; ++i)
        jobs->Plan(file, plan, i);
    std::stable_sort(jobs->pendingQueue.begin(), jobs->pendingQueue.end(), ByIndex);
    DispatchLocked();
    return true;
}

void TranscriptionJobs::Jobs::Plan(const std::string& file, const FilePlan& plan, int32_t index)
{
    auto segment = std::make_shared<SegmentRecord>();
    segment->id = ++lastId;
    segment->file = file;
    segment->totalSeconds = plan.totalSeconds;
    segment->segmentCount = plan.count;
    segment->segmentIndex = index;
    segment->arguments = BuildSegmentArguments(plan.copy, index, index == plan.count - 1);
    segment->pcmFile = segment->arguments.back();
    pendingQueue.push_back(segment.get());
    records[segment->id] = std::move(segment);
}

void TranscriptionJobs::TellStartFailed(const std::string& file)
{
    if (jobs->listener != nullptr)
        jobs->listener->OnFileFailed(file, kTaskFailedText);
    else
        WriteLog(Warning, LogTag::kTranscriptionJobsAddTask, "%s: %s", kTaskFailedText, file.c_str());
}

void TranscriptionJobs::RemoveTask(const std::string& file)
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    jobs->plans.erase(file);
    jobs->DropRecords(file, [](const SegmentRecord&) { return true; });
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
    DispatchLocked();
}

void TranscriptionJobs::DispatchLocked()
{
    jobs->Replan();
    if (jobs->runningCount >= options.maxWorkers)
        return;
    // The first queued segment that is due: one whose server asked for a pause waits, the others
    // go on meanwhile.
    const auto now = std::chrono::steady_clock::now();
    const auto due = std::find_if(jobs->pendingQueue.begin(), jobs->pendingQueue.end(),
                                  [now](const SegmentRecord* queued) { return queued->notBefore <= now; });
    if (due == jobs->pendingQueue.end())
        return;
    SegmentRecord* segment = *due;
    jobs->pendingQueue.erase(due);
    ++segment->attempts;
    ++jobs->runningCount;
    const std::weak_ptr<Jobs> watchedJobs = jobs;
    const std::weak_ptr<SegmentRecord> watched = jobs->records.at(segment->id);
    // A queued segment always has its plan, and the plan its recognizer until every segment of
    // the file has its outcome; the manager's own is only a fallback that keeps this safe.
    const FilePlan* plan = jobs->FindPlan(segment->file);
    std::shared_ptr<Recognizer> chosen = plan != nullptr && plan->recognizer != nullptr ? plan->recognizer : recognizer;
    SegmentAttemptInput input;
    input.arguments = segment->arguments;
    input.pcmFile = segment->pcmFile;
    input.showFfmpegOutput = plan != nullptr ? plan->showFfmpegOutput : options.showFfmpegOutput;
    input.cutCheck = [watchedJobs, watched](int64_t audioBytes) {
        const std::shared_ptr<Jobs> state = watchedJobs.lock();
        return state != nullptr ? state->JudgeCut(watched, audioBytes) : CutVerdict{};
    };
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
        --jobs->runningCount;
        --segment->attempts;
        jobs->Enqueue(segment);
    }
}

void TranscriptionJobs::Jobs::Complete(const SegmentAttemptOutcome& outcome, const std::weak_ptr<SegmentRecord>& watched)
{
    std::lock_guard<std::mutex> guard(lock);
    --runningCount;
    const std::shared_ptr<SegmentRecord> segment = watched.lock();
    if (outcome.pastTheEnd) {
        // No part of the file: the next dispatch drops the record, if it is still there.
    } else if (segment != nullptr && segment->finished) {
        // The file's outcome was settled without this attempt (its input cannot be decoded).
    } else if (segment != nullptr && outcome.inputUnreadable) {
        // Settled on the next dispatch, which alone may drop the file's other records.
        const auto plan = plans.find(segment->file);
        if (plan != plans.end() && !plan->second.inputUnreadable) {
            plan->second.inputUnreadable = true;
            plan->second.inputProblem = outcome.message;
            WriteLog(Warning, LogTag::kTranscriptionJobsOnAudioCallBack, "%s",
                     ("the input of " + segment->file + " cannot be decoded, the file has failed: " + outcome.message).c_str());
        }
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

CutVerdict TranscriptionJobs::Jobs::JudgeCut(const std::weak_ptr<SegmentRecord>& watched, int64_t audioBytes)
{
    std::lock_guard<std::mutex> guard(lock);
    CutVerdict verdict;
    const std::shared_ptr<SegmentRecord> segment = watched.lock();
    if (segment == nullptr)
        return verdict;
    const auto found = plans.find(segment->file);
    if (found == plans.end())
        return verdict;
    FilePlan& plan = found->second;
    const int32_t index = segment->segmentIndex;
    if (audioBytes == 0 && index > 0) {
        // Nothing from here on: the recording ended before this segment. The first segment
        // stays, empty, so that every file has an outcome.
        plan.end = std::min(plan.end, index);
        verdict.recognize = false;
        return verdict;
    }
    if (audioBytes > 0 && audioBytes < kSegmentBytes && index > plan.shortIndex) {
        plan.shortIndex = index;
        plan.shortEndSeconds = static_cast<int32_t>(index * kSegmentSeconds + (audioBytes + kBytesPerSecond - 1) / kBytesPerSecond);
    }
    // Once an empty cut showed the end, nothing is planned past it.
    if (index == plan.count - 1 && audioBytes >= kGoesOnBytes && plan.end == std::numeric_limits<int32_t>::max())
        plan.extend = true;
    // A segment cut as the last one that is the last no more (or a retry of one) keeps only its
    // own 120 seconds; the next segment starts where they end.
    if (index < plan.count - 1 || plan.extend)
        verdict.keepBytes = kSegmentBytes;
    return verdict;
}

void TranscriptionJobs::Jobs::Replan()
{
    for (auto& [file, plan] : plans) {
        if (plan.inputUnreadable) {
            if (!plan.failedWhole)
                FailWholeFile(file, plan);
            continue;
        }
        if (plan.end < plan.count)
            Truncate(file, plan);
        else if (plan.extend)
            Extend(file, plan);
        // The end is known and the last segment's cut fell short of two minutes: the audio ends
        // there. That cut may come in after the one that showed the end.
        if (plan.end == plan.count && plan.shortIndex == plan.count - 1 && plan.totalSeconds != plan.shortEndSeconds) {
            plan.totalSeconds = plan.shortEndSeconds;
            RestatePlan(file, plan, false);
        }
    }
    ReleaseSettledRecognizers();
}

void TranscriptionJobs::Jobs::ReleaseSettledRecognizers()
{
    // After the extensions above: a file that goes on has unfinished records again.
    std::set<std::string> unsettled;
    for (const auto& [id, segment] : records) {
        if (!segment->finished)
            unsettled.insert(segment->file);
    }
    for (auto& [file, plan] : plans) {
        if (plan.recognizer != nullptr && !plan.extend && unsettled.count(file) == 0)
            plan.recognizer.reset();
    }
}

void TranscriptionJobs::Jobs::FailWholeFile(const std::string& file, FilePlan& plan)
{
    // One record stays, the first, with the reason; nothing else of the file is sent or tried.
    DropRecords(file, [](const SegmentRecord& segment) { return segment.segmentIndex != 0; });
    SegmentRecord* first = nullptr;
    for (auto& [id, segment] : records) {
        if (segment->file == file) {
            first = segment.get();
            Unqueue(first);
        }
    }
    plan.failedWhole = true;
    plan.count = first != nullptr ? 1 : 0;
    plan.end = plan.count;
    plan.extend = false;
    if (first == nullptr)
        return;
    first->resultCode = kCutFailedCode;
    first->errorMessage = plan.inputProblem;
    first->text.clear();
    first->attempts = std::max(first->attempts, 1);
    first->finished = true;
    RestatePlan(file, plan, true);
}

void TranscriptionJobs::Jobs::Truncate(const std::string& file, FilePlan& plan)
{
    WriteLog(Info, LogTag::kTranscriptionJobsDispatch, "audio %s ends before segment %d: %d planned segments dropped", file.c_str(),
             plan.end + 1, plan.count - plan.end);
    DropRecords(file, [&plan](const SegmentRecord& segment) { return segment.segmentIndex >= plan.end; });
    plan.count = plan.end;
    plan.extend = false;
    plan.totalSeconds = std::min(plan.totalSeconds, plan.end * kSegmentSeconds);
    RestatePlan(file, plan, true);
}

void TranscriptionJobs::Jobs::Extend(const std::string& file, FilePlan& plan)
{
    plan.extend = false;
    WriteLog(Info, LogTag::kTranscriptionJobsDispatch, "audio %s goes on past %d seconds: %d segments added", file.c_str(),
             plan.count * kSegmentSeconds, kExtensionSegments);
    const int32_t first = plan.count;
    plan.count += kExtensionSegments;
    plan.totalSeconds = plan.count * kSegmentSeconds;
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
