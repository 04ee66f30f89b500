#include "engine/CAudioConvert.h"

#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "base/platform/WindowHandle.h"
#include "base/platform/WindowMessages.h"
#include "engine/CAudioTask.h"
#include "engine/CData.h"
#include "engine/FfmpegCommand.h"
#include "engine/JobFiles.h"
#include "engine/TaskNotice.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <unordered_map>

namespace {

constexpr wchar_t kTaskFailedText[] = L"任务失败，请确保任务文件未被其他程序占用.";
// 16 kHz, 16-bit mono.
constexpr int64_t kBytesPerSecond = 32000;
constexpr int64_t kSegmentBytes = kSegmentSeconds * kBytesPerSecond;
// A last segment whose cut holds this much reached the end of its overrun: the audio goes on.
// A tenth of a second short of it, for the resampler's rounding.
constexpr int64_t kGoesOnBytes = (kSegmentSeconds + kLastSegmentOverrunSeconds) * kBytesPerSecond - kBytesPerSecond / 10;
// A file found to go on past its plan is planned this many segments further at a time.
constexpr int32_t kExtensionSegments = 10;

bool ByIndex(const CAudioSegment* a, const CAudioSegment* b)
{
    return a->segmentIndex < b->segmentIndex;
}

}  // namespace

// What is known of one started file's audio, learned from its cuts: the container's duration
// is only where the plan starts.
struct CAudioConvert::FilePlan {
    std::string copy;
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

// The queue and the records, shared between the manager (which owns them) and its workers
// (which only watch them). The lock is never held across a wait.
struct CAudioConvert::Jobs {
    std::mutex lock;
    std::vector<CAudioSegment*> pendingQueue;
    int32_t runningCount = 0;
    std::map<std::wstring, std::shared_ptr<CAudioSegment>> registry;
    std::unordered_map<uint64_t, CAudioSegment*> byId;  // the same records, by id
    uint64_t lastId = 0;
    std::map<std::string, FilePlan> plans;  // by file, as given to AddTask

    void Enqueue(CAudioSegment* segment)
    {
        pendingQueue.push_back(segment);
        std::stable_sort(pendingQueue.begin(), pendingQueue.end(), ByIndex);
    }
    // Takes a record out of the queue and the id index; the caller erases it from the registry.
    void Drop(CAudioSegment* segment)
    {
        pendingQueue.erase(std::remove(pendingQueue.begin(), pendingQueue.end(), segment), pendingQueue.end());
        byId.erase(segment->id);
    }
    void Complete(const CAudioTask& task, const std::weak_ptr<CAudioSegment>& watched);
    CAudioTask::CutVerdict JudgeCut(const std::weak_ptr<CAudioSegment>& watched, int64_t audioBytes);
    // Makes (or replaces) the record of one segment of a planned file and queues it.
    void Plan(const std::string& file, const FilePlan& plan, int32_t index);
    // Applies what the cuts found out about where files end; on the dispatching thread only,
    // since it frees and changes records that thread reads.
    void Replan();
    void Truncate(const std::string& file, FilePlan& plan);
    void FailWholeFile(const std::string& file, FilePlan& plan);
    void Extend(const std::string& file, FilePlan& plan);
    void RestatePlan(const std::string& file, const FilePlan& plan, bool tellWindow);
};

// What a worker carries back to its completion: weak views of the manager's state and of its
// own record, and nothing else.
struct CAudioConvert::Ticket {
    std::weak_ptr<Jobs> jobs;
    std::weak_ptr<CAudioSegment> segment;
};

CAudioConvert::CAudioConvert() : CAudioConvert(ReadRecognizerSetting())
{
}

CAudioConvert::CAudioConvert(RecognizerKind kind)
    : jobs(std::make_shared<Jobs>()), recognizerKind(kind), recognizer(MakeRecognizer(recognizerKind))
{
}

CAudioConvert::~CAudioConvert()
{
    // Workers that complete from now on find no record; once the last of them lets go of the
    // state, it goes too.
    std::lock_guard<std::mutex> guard(jobs->lock);
    jobs->pendingQueue.clear();
    jobs->byId.clear();
    jobs->registry.clear();
}

void CAudioConvert::SetTaskNotice(std::shared_ptr<TaskNotice> taskNotice)
{
    notice = std::move(taskNotice);
}

bool CAudioConvert::AddTask(const std::string& file, int32_t durationSeconds)
{
    if (durationSeconds < 1) {
        durationSeconds = kSubstituteSeconds;
        WriteLog(Warning, "CAudioConvert::AddTask", "audio %s time is 0, set %d", file.c_str(), kSubstituteSeconds);
    }
    if (durationSeconds > kMaxPlannedSeconds) {
        WriteLog(Warning, "CAudioConvert::AddTask", "audio %s time %d is above %d, refused", file.c_str(), durationSeconds,
                 kMaxPlannedSeconds);
        ShowTaskFailed(file);
        return false;
    }
    const std::string copy = PubUtils::GetCopyByFile(file);
    if (copy.empty()) {
        ShowTaskFailed(file);
        return false;
    }
    PubUtils::RemoveSegmentFiles(copy.substr(0, copy.rfind('/')));

    FilePlan plan;
    plan.copy = copy;
    plan.count = PlanSegmentCount(durationSeconds);
    plan.totalSeconds = durationSeconds;
    std::lock_guard<std::mutex> guard(jobs->lock);
    jobs->plans[file] = plan;
    for (int32_t i = 0; i < plan.count; ++i)
        jobs->Plan(file, plan, i);
    std::stable_sort(jobs->pendingQueue.begin(), jobs->pendingQueue.end(), ByIndex);
    DispatchLocked();
    return true;
}

void CAudioConvert::Jobs::Plan(const std::string& file, const FilePlan& plan, int32_t index)
{
    auto segment = std::make_shared<CAudioSegment>();
    segment->file = file;
    segment->totalSeconds = plan.totalSeconds;
    segment->segmentCount = plan.count;
    segment->segmentIndex = index;
    segment->arguments = BuildSegmentArguments(plan.copy, index, index == plan.count - 1);
    segment->command = ArgumentLine(segment->arguments);
    segment->pcmFile = segment->arguments.back();
    // A record with the same command line is replaced; its running worker, if any, finds it
    // gone when it completes.
    const auto existing = registry.find(segment->command);
    if (existing != registry.end())
        Drop(existing->second.get());
    segment->id = ++lastId;
    byId[segment->id] = segment.get();
    pendingQueue.push_back(segment.get());
    registry[segment->command] = std::move(segment);
}

void CAudioConvert::ShowTaskFailed(const std::string& file)
{
    if (notice != nullptr)
        notice->ShowTaskFailed(kTaskFailedText);
    else
        WriteLog(Warning, "CAudioConvert::AddTask", "%s: %s", WideToAnsi(kTaskFailedText).c_str(), file.c_str());
}

void CAudioConvert::RemoveTask(const std::string& file)
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    jobs->plans.erase(file);
    for (auto it = jobs->registry.begin(); it != jobs->registry.end();) {
        if (it->second->file == file) {
            jobs->Drop(it->second.get());
            it = jobs->registry.erase(it);
        } else {
            ++it;
        }
    }
}

std::vector<CAudioSegment*> CAudioConvert::GetFinishedSegments(const std::string& file)
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    std::vector<CAudioSegment*> finished;
    for (const auto& [command, segment] : jobs->registry) {
        if (segment->file == file && segment->finished)
            finished.push_back(segment.get());
    }
    std::stable_sort(finished.begin(), finished.end(), ByIndex);
    return finished;
}

CAudioSegment* CAudioConvert::FindSegment(uint64_t id)
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    const auto found = jobs->byId.find(id);
    return found != jobs->byId.end() ? found->second : nullptr;
}

void CAudioConvert::Dispatch()
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    DispatchLocked();
}

void CAudioConvert::DispatchLocked()
{
    jobs->Replan();
    if (jobs->runningCount >= CData::Instance().GetMaxTasks() || jobs->pendingQueue.empty())
        return;
    CAudioSegment* segment = jobs->pendingQueue.front();
    jobs->pendingQueue.erase(jobs->pendingQueue.begin());
    ++segment->attempts;
    ++jobs->runningCount;
    auto* ticket = new Ticket{jobs, jobs->registry.at(segment->command)};
    auto* task = new CAudioTask();
    task->SetCallBack(&CAudioConvert::AudioTaskDone, ticket);
    task->SetRecognizer(recognizer);
    task->SetCutCheck([watchedJobs = std::weak_ptr<Jobs>(jobs), watched = ticket->segment](int64_t audioBytes) {
        const std::shared_ptr<Jobs> state = watchedJobs.lock();
        return state != nullptr ? state->JudgeCut(watched, audioBytes) : CAudioTask::CutVerdict{};
    });
    // The worker's completion waits for the lock held here, so it cannot run before the
    // bookkeeping above is complete.
    if (!task->StartTask(segment->arguments, 0)) {
        WriteLog(Error, "CAudioConvert::Dispatch", "cannot start a worker for %s", segment->pcmFile.c_str());
        delete task;
        delete ticket;
        --jobs->runningCount;
        --segment->attempts;
        jobs->Enqueue(segment);
    }
}

void CAudioConvert::AudioTaskDone(CAudioTask* task, void* owner)
{
    const std::unique_ptr<CAudioTask> done(task);
    const std::unique_ptr<Ticket> ticket(static_cast<Ticket*>(owner));
    // The manager is gone: the worker only has to go too.
    if (const std::shared_ptr<Jobs> state = ticket->jobs.lock())
        state->Complete(*task, ticket->segment);
}

void CAudioConvert::Jobs::Complete(const CAudioTask& task, const std::weak_ptr<CAudioSegment>& watched)
{
    std::lock_guard<std::mutex> guard(lock);
    --runningCount;
    const std::shared_ptr<CAudioSegment> segment = watched.lock();
    if (task.PastTheEnd()) {
        // No part of the file: the next dispatch drops the record, if it is still there.
    } else if (segment != nullptr && segment->finished) {
        // The file's outcome was settled without this attempt (its input cannot be decoded).
    } else if (segment != nullptr && task.InputUnreadable()) {
        // Settled on the next dispatch, which alone may drop the file's other records.
        const auto plan = plans.find(segment->file);
        if (plan != plans.end() && !plan->second.inputUnreadable) {
            plan->second.inputUnreadable = true;
            plan->second.inputProblem = task.ErrorMessage();
            WriteLog(Warning, "CAudioConvert::OnAudioCallBack", "%s",
                     ("the input of " + segment->file + " cannot be decoded, the file has failed: " + task.ErrorMessage()).c_str());
        }
    } else if (segment == nullptr) {
        WriteLog(Warning, "CAudioConvert::OnAudioCallBack", "app exit. OnAudioCallBack no  PostMessage");
    } else if (task.ResultCode() != 0 && segment->attempts < kMaxAttempts) {
        WriteLog(Warning, "CAudioConvert::OnAudioCallBack", "speech task failed. %s, code:%d, err:%s, retry:%d",
                 segment->pcmFile.c_str(), task.ResultCode(), task.ErrorMessage().c_str(), segment->attempts);
        Enqueue(segment.get());
    } else {
        segment->resultCode = task.ResultCode();
        segment->errorMessage = task.ErrorMessage();
        segment->text = task.Text();
        segment->finished = true;
        if (const std::shared_ptr<WindowHandle> window = CData::Instance().GetMainWnd())
            window->PostMessage(WM_USER_SEGMENT_DONE, static_cast<uintptr_t>(segment->id), 0);
    }
}

CAudioTask::CutVerdict CAudioConvert::Jobs::JudgeCut(const std::weak_ptr<CAudioSegment>& watched, int64_t audioBytes)
{
    std::lock_guard<std::mutex> guard(lock);
    CAudioTask::CutVerdict verdict;
    const std::shared_ptr<CAudioSegment> segment = watched.lock();
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

void CAudioConvert::Jobs::Replan()
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
}

void CAudioConvert::Jobs::FailWholeFile(const std::string& file, FilePlan& plan)
{
    // One record stays, the first, with the reason; nothing else of the file is sent or tried.
    CAudioSegment* first = nullptr;
    for (auto it = registry.begin(); it != registry.end();) {
        CAudioSegment* segment = it->second.get();
        if (segment->file != file) {
            ++it;
        } else if (segment->segmentIndex == 0) {
            first = segment;
            pendingQueue.erase(std::remove(pendingQueue.begin(), pendingQueue.end(), segment), pendingQueue.end());
            ++it;
        } else {
            Drop(segment);
            it = registry.erase(it);
        }
    }
    plan.failedWhole = true;
    plan.count = first != nullptr ? 1 : 0;
    plan.end = plan.count;
    plan.extend = false;
    if (first == nullptr)
        return;
    first->resultCode = CAudioTask::kCutFailedCode;
    first->errorMessage = plan.inputProblem;
    first->text.clear();
    first->attempts = std::max(first->attempts, 1);
    first->finished = true;
    RestatePlan(file, plan, true);
}

void CAudioConvert::Jobs::Truncate(const std::string& file, FilePlan& plan)
{
    WriteLog(Info, "CAudioConvert::Dispatch", "audio %s ends before segment %d: %d planned segments dropped", file.c_str(),
             plan.end + 1, plan.count - plan.end);
    for (auto it = registry.begin(); it != registry.end();) {
        if (it->second->file == file && it->second->segmentIndex >= plan.end) {
            Drop(it->second.get());
            it = registry.erase(it);
        } else {
            ++it;
        }
    }
    plan.count = plan.end;
    plan.extend = false;
    plan.totalSeconds = std::min(plan.totalSeconds, plan.end * kSegmentSeconds);
    RestatePlan(file, plan, true);
}

void CAudioConvert::Jobs::Extend(const std::string& file, FilePlan& plan)
{
    plan.extend = false;
    WriteLog(Info, "CAudioConvert::Dispatch", "audio %s goes on past %d seconds: %d segments added", file.c_str(),
             plan.count * kSegmentSeconds, kExtensionSegments);
    const int32_t first = plan.count;
    plan.count += kExtensionSegments;
    plan.totalSeconds = plan.count * kSegmentSeconds;
    for (int32_t i = first; i < plan.count; ++i)
        Plan(file, plan, i);
    std::stable_sort(pendingQueue.begin(), pendingQueue.end(), ByIndex);
    RestatePlan(file, plan, true);
}

void CAudioConvert::Jobs::RestatePlan(const std::string& file, const FilePlan& plan, bool tellWindow)
{
    CAudioSegment* lastFinished = nullptr;
    for (auto& [command, segment] : registry) {
        if (segment->file != file)
            continue;
        segment->segmentCount = plan.count;
        segment->totalSeconds = plan.totalSeconds;
        if (segment->finished && (lastFinished == nullptr || segment->segmentIndex > lastFinished->segmentIndex))
            lastFinished = segment.get();
    }
    // The window counts the file's finished segments against the new plan: a file may be
    // complete now without another segment finishing.
    if (tellWindow && lastFinished != nullptr) {
        if (const std::shared_ptr<WindowHandle> window = CData::Instance().GetMainWnd())
            window->PostMessage(WM_USER_SEGMENT_DONE, static_cast<uintptr_t>(lastFinished->id), 0);
    }
}

int32_t CAudioConvert::RunningCount()
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    return jobs->runningCount;
}

size_t CAudioConvert::QueuedCount()
{
    std::lock_guard<std::mutex> guard(jobs->lock);
    return jobs->pendingQueue.size();
}
