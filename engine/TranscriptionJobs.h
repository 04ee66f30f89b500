#pragma once

#include "engine/SegmentRecord.h"
#include "engine/RecognizerSetting.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class JobListener;

// How a job manager runs its workers.
struct JobOptions {
    // The most segment attempts that run at once.
    int32_t maxWorkers = 10;
    // ffmpeg's own output on the terminal (the "Debug" setting, read once by whoever makes the
    // manager).
    bool showFfmpegOutput = false;
};

// The job manager: prepares each started file (its private copy, its duration, its plan of
// 120-second segments) on a thread of its own, decodes it once into its segment files
// (SegmentDecoder), queues the segments by segment index (all first segments of all files, then
// all second ones, ...), hands each segment whose file is complete to a segment attempt on a
// thread of its own while fewer than the options' maximum run, tries a failed segment again until
// it has been tried 10 times (not before the pause a server asked for, while other segments go
// on), keeps every outcome, and tells its listener once per segment whose outcome is final,
// naming the record by its id.
//
// Each file is recognised by the recognizer that was current when it started (SetRecognizer
// changes it for later starts only). The calls below come from one thread (the window's, or the
// headless loop's); the preparations, decoders and attempts report from their own. Nothing is
// waited for. One rule keeps their reports safe: the queue, the plans and the records live in a
// state that the manager owns and each helper thread only watches (weakly), checking under the
// lock that what it reports about is still there (and still the same). Only the calling thread
// frees records or changes a plan that records already hold, so a record it was given stays as
// it was given until it removes the file itself.
class TranscriptionJobs {
public:
    TranscriptionJobs(std::shared_ptr<Recognizer> recognizer, std::shared_ptr<JobListener> listener, JobOptions options = {});
    ~TranscriptionJobs();

    TranscriptionJobs(const TranscriptionJobs&) = delete;
    TranscriptionJobs& operator=(const TranscriptionJobs&) = delete;

    // The recognizer the segments of files started from now on go to.
    RecognizerKind GetRecognizerKind() const;
    // The language it was made for; empty: its own default.
    std::string GetRecognizerLanguage() const;
    // The same of the recognizer a started file went to; the current one's for a file the
    // manager does not hold.
    RecognizerKind GetRecognizerKind(const std::string& file) const;
    std::string GetRecognizerLanguage(const std::string& file) const;
    // Files started (or started again) from now on go to `recognizer` with `options`. A file
    // already started keeps the recognizer and options it started with until it is removed or
    // started again, so changing the settings never mixes two recognizers in one file's text.
    void SetRecognizer(std::shared_ptr<Recognizer> recognizer, JobOptions options);

    // Starts the file (replacing whatever it had): on a thread of its own the duration is probed
    // when `durationSeconds` is kProbeDuration, the file copied into its job folder, its segments
    // planned and queued, its decoder started; its first segment goes to a worker as soon as it
    // is decoded. The listener hears (from that thread) when the copy failed or the duration is
    // above kMaxPlannedSeconds. `durationSeconds` below 1 counts as an hour. The duration only
    // starts the plan: the decoder finds where the audio really ends, and the plan is cut short
    // or goes on accordingly, so every recording is transcribed to its real end whatever its
    // container claims. A record's segmentCount and totalSeconds say the plan as it stands; the
    // listener is told again about the file's last finished record when the plan changes.
    // False (the listener told) only when no thread could be started.
    bool AddTask(const std::string& file, int32_t durationSeconds);
    // Drops the file's queued segments and frees all its records, ends its preparation and stops
    // its decoder; its running attempts finish without effect.
    void RemoveTask(const std::string& file);
    // Whether the file is being prepared or has a plan (it was started and not removed since).
    bool Holds(const std::string& file) const;
    // The file's finished records, by segment index; valid until the file is removed or the
    // manager is destroyed.
    std::vector<SegmentRecord*> GetFinishedSegments(const std::string& file);
    // The record a SegmentDone names, or null when it is no longer held: the file may have been
    // removed while the news waited to be taken.
    SegmentRecord* FindSegment(uint64_t id);
    // Applies what the cuts found out about where files end, then starts at most one queued
    // segment that is due, if fewer than the maximum of attempts run.
    void Dispatch();

    static constexpr int32_t kSubstituteSeconds = 3600;
    // A duration not known yet: AddTask probes it itself, off the caller's thread.
    static constexpr int32_t kProbeDuration = -1;
    // Longer durations are refused: no real recording lasts a week, and a container that claims
    // years would have the plan freeze the window and exhaust the memory.
    static constexpr int32_t kMaxPlannedSeconds = 7 * 24 * 3600;
    static constexpr int32_t kMaxAttempts = 10;

    // For tests and diagnostics.
    int32_t RunningCount();
    size_t QueuedCount();

private:
    struct FilePlan;
    struct Preparation;
    struct Jobs;

    const std::shared_ptr<Jobs> jobs;
};
