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
#include <set>

namespace {

// Managers that still take completions. A completion checks and uses its manager under this
// lock, and a manager leaves the set under it before it goes away, so no completion can reach
// a destroyed manager. Both live until the very end of the process (never destroyed), as
// workers may still complete while it exits.
std::mutex& CompletionLock()
{
    static auto* lock = new std::mutex;
    return *lock;
}

std::set<const void*>& LiveManagers()
{
    static auto* managers = new std::set<const void*>;
    return *managers;
}

constexpr wchar_t kTaskFailedText[] = L"任务失败，请确保任务文件未被其他程序占用.";

bool ByIndex(const CAudioSegment* a, const CAudioSegment* b)
{
    return a->segmentIndex < b->segmentIndex;
}

}  // namespace

CAudioConvert::CAudioConvert()
{
    std::lock_guard<std::mutex> guard(CompletionLock());
    LiveManagers().insert(this);
}

CAudioConvert::~CAudioConvert()
{
    {
        std::lock_guard<std::mutex> guard(CompletionLock());
        LiveManagers().erase(this);
    }
    std::lock_guard<std::recursive_mutex> guard(lock);
    pendingQueue.clear();
    running.clear();
    registry.clear();
}

void CAudioConvert::SetTaskNotice(std::shared_ptr<TaskNotice> taskNotice)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
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
    std::lock_guard<std::recursive_mutex> guard(lock);
    for (int32_t i = 0; i < count; ++i) {
        auto segment = std::make_unique<CAudioSegment>();
        segment->file = file;
        segment->totalSeconds = durationSeconds;
        segment->segmentCount = count;
        segment->segmentIndex = i;
        segment->command = BuildSegmentCommand(copy, i, i == count - 1);
        segment->pcmFile = SegmentFileOfCommand(segment->command);
        const auto existing = registry.find(segment->command);
        if (existing != registry.end())
            Forget(existing->second.get());
        CAudioSegment* raw = segment.get();
        registry[raw->command] = std::move(segment);
        pendingQueue.push_back(raw);
    }
    std::stable_sort(pendingQueue.begin(), pendingQueue.end(), ByIndex);
    Dispatch();
    return true;
}

void CAudioConvert::ShowTaskFailed(const std::string& file)
{
    std::shared_ptr<TaskNotice> target;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        target = notice;
    }
    if (target != nullptr)
        target->ShowTaskFailed(kTaskFailedText);
    else
        WriteLog(Warning, "CAudioConvert::AddTask", "%s: %s", WideToAnsi(kTaskFailedText).c_str(), file.c_str());
}

void CAudioConvert::Forget(CAudioSegment* segment)
{
    pendingQueue.erase(std::remove(pendingQueue.begin(), pendingQueue.end(), segment), pendingQueue.end());
    for (auto& [task, record] : running) {
        if (record == segment)
            record = nullptr;
    }
}

void CAudioConvert::RemoveTask(const std::string& file)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    for (auto it = registry.begin(); it != registry.end();) {
        if (it->second->file == file) {
            Forget(it->second.get());
            it = registry.erase(it);
        } else {
            ++it;
        }
    }
}

std::vector<CAudioSegment*> CAudioConvert::GetFinishedSegments(const std::string& file)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    std::vector<CAudioSegment*> finished;
    for (const auto& [command, segment] : registry) {
        if (segment->file == file && segment->finished)
            finished.push_back(segment.get());
    }
    std::stable_sort(finished.begin(), finished.end(), ByIndex);
    return finished;
}

bool CAudioConvert::IsRegistered(const CAudioSegment* segment)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    return std::any_of(registry.begin(), registry.end(), [segment](const auto& entry) { return entry.second.get() == segment; });
}

void CAudioConvert::Dispatch()
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (runningCount >= CData::Instance().GetMaxTasks() || pendingQueue.empty())
        return;
    CAudioSegment* segment = pendingQueue.front();
    pendingQueue.erase(pendingQueue.begin());
    ++segment->attempts;
    ++runningCount;
    auto* task = new CAudioTask();
    task->SetCallBack(&CAudioConvert::AudioTaskDone, this);
    running[task] = segment;
    // The worker's completion waits for this lock, so it cannot run before the bookkeeping
    // above is complete.
    if (!task->StartTask(segment->command, 0)) {
        WriteLog(Error, "CAudioConvert::Dispatch", "cannot start a worker for %s", segment->pcmFile.c_str());
        running.erase(task);
        delete task;
        --runningCount;
        --segment->attempts;
        Enqueue(segment);
    }
}

void CAudioConvert::Enqueue(CAudioSegment* segment)
{
    pendingQueue.push_back(segment);
    std::stable_sort(pendingQueue.begin(), pendingQueue.end(), ByIndex);
}

void CAudioConvert::AudioTaskDone(CAudioTask* task, void* owner)
{
    std::lock_guard<std::mutex> guard(CompletionLock());
    if (LiveManagers().count(owner) == 0) {
        // The manager is gone: the worker only has to go too.
        delete task;
        return;
    }
    static_cast<CAudioConvert*>(owner)->OnAudioCallBack(task);
}

void CAudioConvert::OnAudioCallBack(CAudioTask* task)
{
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        const auto entry = running.find(task);
        CAudioSegment* segment = entry != running.end() ? entry->second : nullptr;
        if (entry != running.end()) {
            running.erase(entry);
            --runningCount;
        }
        if (segment == nullptr) {
            WriteLog(Warning, "CAudioConvert::OnAudioCallBack", "app exit. OnAudioCallBack no  PostMessage");
        } else if (task->ResultCode() != 0 && segment->attempts < kMaxAttempts) {
            WriteLog(Warning, "CAudioConvert::OnAudioCallBack", "speech task failed. %s, code:%d, err:%s, retry:%d",
                     segment->pcmFile.c_str(), task->ResultCode(), task->ErrorMessage().c_str(), segment->attempts);
            Enqueue(segment);
        } else {
            segment->resultCode = task->ResultCode();
            segment->errorMessage = task->ErrorMessage();
            segment->text = task->Text();
            segment->finished = true;
            if (const std::shared_ptr<WindowHandle> window = CData::Instance().GetMainWnd())
                window->PostMessage(WM_USER_SEGMENT_DONE, reinterpret_cast<uintptr_t>(segment), 0);
        }
    }
    delete task;
}

int32_t CAudioConvert::RunningCount()
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    return runningCount;
}

size_t CAudioConvert::QueuedCount()
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    return pendingQueue.size();
}
