#pragma once

#include "engine/FileRow.h"
#include "engine/ResultFolder.h"
#include "engine/ShownText.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TranscriptionJobs;
struct SegmentRecord;

// The files the user works on, in list order, and their rules: no file twice, the row limit,
// start / stop / retry / remove, progress and completion as the job manager's results come in,
// the failure and poor-audio verdicts, a row's text, and saving finished texts. The window shows
// it, and the program without a window runs its files through it. One thread (the one that
// owns the job manager).
class FileList {
public:
    // What the user is to be told: a file failed as a whole, or its text is incomplete.
    class Events {
    public:
        virtual ~Events() = default;
        virtual void OnWarning(const ShownText& text) = 0;
    };

    // Files are added while the list has fewer rows than this (the open-file dialog, drops, the
    // command line, another start of the program).
    static constexpr int kMaxRows = 100;

    // The job manager the rows start on (none: they cannot start), and who hears the warnings
    // (none: nobody is told).
    void SetJobs(TranscriptionJobs* jobs);
    void SetEvents(Events* events);

    int Count() const { return static_cast<int>(rows.size()); }
    // Null for a bad index.
    const FileRow* Row(int row) const;
    // The row of a file, or -1.
    int Find(const std::string& file) const;

    // Who probes added files' durations off this thread (none: Add probes them itself). It is
    // asked with the path; the answer goes to SetDuration, and meanwhile the row's duration is
    // FileRow::kDurationUnknown.
    void SetDurationProbe(std::function<void(const std::string& path)> probe);
    // Adds one idle row unless the exact path is listed already; the duration is probed (or
    // given). Ignores kMaxRows: the callers decide about the limit.
    bool Add(const std::string& path);
    bool Add(const std::string& path, int32_t durationSeconds);
    // A probe's answer: the row of the file (-1: none, or its duration was known already).
    int SetDuration(const std::string& path, int32_t durationSeconds);
    // Adds each path: empty paths skipped, nothing added once the list holds kMaxRows rows.
    // Returns the number of rows added (at the end).
    int AddPaths(const std::vector<std::string>& paths);

    // An idle or failed row starts (a failed one from progress "0", its old records gone): the
    // job manager prepares the file, and the row is recognising meanwhile. False when the row is
    // in another state or the job manager could not take the file (it told why).
    bool Start(int row);
    // The job manager told that the file could not be started: its row (if it still waits for
    // that start) goes back to idle. The row, or -1 when the news was stale.
    int StartFailed(const std::string& file);
    // A recognising row goes back to idle; its queued segments go, running ones end unseen.
    bool Stop(int row);
    // A done or failed row is recognised again from scratch.
    bool Retry(int row);
    // Whether the user may delete the row: not while it is being recognised.
    bool CanDelete(int row) const;
    // Removes a row and its records (a recognising one too); false for a bad index.
    bool Remove(int row);
    void Clear();
    // Any row back to its state when it was added. False for a bad index.
    bool Reset(int row);
    void MarkSaved(int row);

    // What a finished segment changed: the row of its file (-1: none, the news was stale) and
    // whether every segment of the file's plan has finished.
    struct Progress {
        int row = -1;
        bool complete = false;
    };
    // Takes the job manager's news of a finished segment (SegmentDone::id): progress, and once
    // the file is complete, done or failed, with one warning when it failed or its audio was
    // poor.
    Progress OnSegmentDone(uint64_t id);
    // The same for the finished records of one file, in ascending segment order, as
    // TranscriptionJobs::GetFinishedSegments gives them.
    Progress Update(const std::vector<SegmentRecord*>& finished);
    // One second more for every recognising row.
    void Tick();

    // A row's text: a failed file's failure line, else the finished segments joined; `timed`:
    // each piece after its start time when the file has more than one segment or its recognizer
    // heard the times.
    std::string Text(int row, bool timed) const;
    // A failed row's failure line in its pieces, for the window; an empty source for any other row.
    ShownText FailureText(int row) const;
    bool IsRecognizing() const;
    // Rows recognising, or done and never saved since.
    bool HasUnsavedWork() const;
    // The done files, in path order.
    std::vector<std::string> DoneFiles() const;
    // Saves the texts of these files (those still done) into the folder, in the folder's form,
    // and marks the saved rows.
    std::vector<SavedResult> Save(ResultFolder& folder, const std::vector<std::string>& files);
    // The bytes a done row's result has in that form, as Save writes them (empty for a row
    // that is not done).
    std::string ResultBytes(int row, ResultForm form) const;

private:
    void Warn(const ShownText& text);

    TranscriptionJobs* jobs = nullptr;
    Events* events = nullptr;
    std::function<void(const std::string&)> durationProbe;
    std::vector<FileRow> rows;
};
