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
#include <mutex>
#include <unordered_map>

namespace {

constexpr wchar_t kTaskFailedText[] = L"任务失败，请确保任务文件未被其他程序占用.";

bool ByIndex(const CAudioSegment* a, const CAudioSegment* b)
{
    return a->segmentIndex < b->segmentIndex;
}

}  // namespace

// The queue and the records, shared between the manager (which owns them) and its workers
// (which only watch them). The lock is never held across a wait.
struct CAudioConvert::Jobs {
    std::mutex lock;
    std::vector<CAudioSegment*> pendingQueue;
    int32_t runningCount = 0;
    std::map<std::wstring, std::shared_ptr<CAudioSegment>> registry;
    std::unordered_map<uint64_t, CAudioSegment*> byId;  // the same records, by id
    uint64_t lastId = 0;

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

    const int32_t count = PlanSegmentCount(durationSeconds);
    std::lock_guard<std::mutex> guard(jobs->lock);
    for (int32_t i = 0; i < count; ++i) {
        auto segment = std::make_shared<CAudioSegment>();
        segment->file = file;
        segment->totalSeconds = durationSeconds;
        segment->segmentCount = count;
        segment->segmentIndex = i;
        segment->command = BuildSegmentCommand(copy, i, i == count - 1);
        segment->pcmFile = SegmentFileOfCommand(segment->command);
        // A record with the same command line is replaced; its running worker, if any, finds it
        // gone when it completes.
        const auto existing = jobs->registry.find(segment->command);
        if (existing != jobs->registry.end())
            jobs->Drop(existing->second.get());
        segment->id = ++jobs->lastId;
        jobs->byId[segment->id] = segment.get();
        jobs->pendingQueue.push_back(segment.get());
        jobs->registry[segment->command] = std::move(segment);
    }
    std::stable_sort(jobs->pendingQueue.begin(), jobs->pendingQueue.end(), ByIndex);
    DispatchLocked();
    return true;
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
    // The worker's completion waits for the lock held here, so it cannot run before the
    // bookkeeping above is complete.
    if (!task->StartTask(segment->command, 0)) {
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
    if (segment == nullptr) {
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
