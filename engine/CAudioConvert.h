#pragma once

#include "engine/CAudioSegment.h"
#include "engine/RecognizerSetting.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CAudioTask;
class TaskNotice;

// The job manager: plans each started file into 120-second segments, queues them by segment
// index (all first segments of all files, then all second ones, ...), hands them to
// recognition workers while fewer than CData::GetMaxTasks() run, tries a failed segment again
// until it has been tried 10 times, keeps every outcome, and posts WM_USER_SEGMENT_DONE to the
// main window once per segment whose outcome is final, naming the record by its id.
//
// Everything but the workers' completions runs on the UI thread. Workers are never waited
// for. One rule keeps their completions safe: the queue and the records live in a state that the
// manager owns and each worker only watches (weakly), together with its own record. A completion
// whose manager is gone does nothing; one whose record was removed (or replaced) only releases
// its worker. Nothing a worker holds can keep a destroyed manager or a freed record in use.
class CAudioConvert {
public:
    // The recognizer is chosen here, once: the setting "Recognizer" as it reads now, or the one
    // named (the command line's choice).
    CAudioConvert();
    explicit CAudioConvert(RecognizerKind kind);
    ~CAudioConvert();

    CAudioConvert(const CAudioConvert&) = delete;
    CAudioConvert& operator=(const CAudioConvert&) = delete;

    // The recognizer every segment of this manager goes to.
    RecognizerKind GetRecognizerKind() const { return recognizerKind; }

    // Where the "task failed" notice goes; the notice is logged while none is set.
    void SetTaskNotice(std::shared_ptr<TaskNotice> notice);

    // Copies the file into its job folder, plans and queues its segments and starts one worker.
    // False, with the notice shown, when the copy failed or the duration is above
    // kMaxPlannedSeconds. `durationSeconds` below 1 counts as an hour. The duration only starts
    // the plan: segments found past the end of the audio are dropped (an empty cut), and a file
    // whose last planned cut runs full is planned further, so every recording is transcribed to
    // its real end whatever its container claims. A record's segmentCount and totalSeconds say
    // the plan as it stands; WM_USER_SEGMENT_DONE is posted again for the file's last finished
    // record when the plan changes.
    bool AddTask(const std::string& file, int32_t durationSeconds);
    // Drops the file's queued segments and frees all its records; its running workers finish
    // without effect.
    void RemoveTask(const std::string& file);
    // The file's finished records, by segment index; valid until the file is removed or the
    // manager is destroyed.
    std::vector<CAudioSegment*> GetFinishedSegments(const std::string& file);
    // The record that WM_USER_SEGMENT_DONE names (its wParam, the record's id), or null when it
    // is no longer held: the file may have been removed while the message waited in the queue.
    CAudioSegment* FindSegment(uint64_t id);
    // Applies what the cuts found out about where files end, then starts at most one queued
    // segment, if fewer than the maximum of workers run.
    void Dispatch();

    // Completion of every worker, on the worker's thread.
    static void AudioTaskDone(CAudioTask* task, void* owner);

    static constexpr int32_t kSubstituteSeconds = 3600;
    // Longer durations are refused: no real recording lasts a week, and a container that claims
    // years would have the plan freeze the window and exhaust the memory.
    static constexpr int32_t kMaxPlannedSeconds = 7 * 24 * 3600;
    static constexpr int32_t kMaxAttempts = 10;

    // For tests and diagnostics.
    int32_t RunningCount();
    size_t QueuedCount();

private:
    struct FilePlan;
    struct Jobs;
    struct Ticket;

    void DispatchLocked();
    void ShowTaskFailed(const std::string& file);

    const std::shared_ptr<Jobs> jobs;
    const RecognizerKind recognizerKind;
    const std::shared_ptr<Recognizer> recognizer;
    std::shared_ptr<TaskNotice> notice;  // UI thread only
};
