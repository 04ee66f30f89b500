#include "engine/FileList.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "engine/TranscriptionJobs.h"
#include "engine/MediaInfoProbe.h"
#include "engine/RecognitionFailure.h"
#include "engine/RecognizerSetting.h"
#include "engine/ResultDocuments.h"
#include "engine/SegmentTexts.h"

#include <algorithm>

namespace {

constexpr char kPoorAudioText[] = TALVORA_TEXT("Engine", "%1,音频质量太差，部分内容无法识别。");
// A segment that needed this many dispatches makes the file's text incomplete or doubtful.
constexpr int32_t kPoorAudioAttempts = 10;

}  // namespace

void FileList::SetJobs(TranscriptionJobs* manager)
{
    jobs = manager;
}

void FileList::SetEvents(Events* listener)
{
    events = listener;
}

const FileRow* FileList::Row(int row) const
{
    return row >= 0 && row < Count() ? &rows[static_cast<size_t>(row)] : nullptr;
}

int FileList::Find(const std::string& file) const
{
    for (int i = 0; i < Count(); ++i) {
        if (rows[static_cast<size_t>(i)].filePath == file)
            return i;
    }
    return -1;
}

void FileList::SetDurationProbe(std::function<void(const std::string&)> probe)
{
    durationProbe = std::move(probe);
}

bool FileList::Add(const std::string& path)
{
    if (path.empty() || Find(path) >= 0)
        return false;
    if (!durationProbe)
        return Add(path, ProbeAudioDuration(path));
    if (!Add(path, FileRow::kDurationUnknown))
        return false;
    durationProbe(path);
    return true;
}

int FileList::SetDuration(const std::string& path, int32_t durationSeconds)
{
    const int row = Find(path);
    if (row < 0 || rows[static_cast<size_t>(row)].durationSeconds != FileRow::kDurationUnknown)
        return -1;
    rows[static_cast<size_t>(row)].durationSeconds = durationSeconds;
    return row;
}

bool FileList::Add(const std::string& path, int32_t durationSeconds)
{
    if (path.empty() || Find(path) >= 0)
        return false;
    FileRow row;
    row.filePath = path;
    row.durationSeconds = durationSeconds;
    row.progressText = "0";
    rows.push_back(std::move(row));
    return true;
}

int FileList::AddPaths(const std::vector<std::string>& paths)
{
    const int before = Count();
    for (const std::string& path : paths) {
        if (path.empty())
            continue;
        if (Count() >= kMaxRows)
            break;
        Add(path);
    }
    return Count() - before;
}

bool FileList::Start(int row)
{
    if (jobs == nullptr || Row(row) == nullptr)
        return false;
    FileRow& item = rows[static_cast<size_t>(row)];
    if (item.status != ItemIdle && item.status != ItemFailed)
        return false;
    // The job manager replaces whatever the file had: a failed attempt's records go first. A
    // duration still being probed is probed again by the start, off this thread.
    const int32_t duration = item.durationSeconds == FileRow::kDurationUnknown ? TranscriptionJobs::kProbeDuration : item.durationSeconds;
    if (!jobs->AddTask(item.filePath, duration))
        return false;
    if (item.status == ItemFailed) {
        // A new recognition of the file: its progress and time start over.
        item.progressText = "0";
        item.elapsedSeconds = 0;
    }
    item.status = ItemRecognizing;
    return true;
}

int FileList::StartFailed(const std::string& file)
{
    const int row = Find(file);
    // A later start of the file may be under way already: that one's news is still to come.
    if (row < 0 || rows[static_cast<size_t>(row)].status != ItemRecognizing || (jobs != nullptr && jobs->Holds(file)))
        return -1;
    Reset(row);
    return row;
}

bool FileList::Stop(int row)
{
    if (jobs == nullptr || Row(row) == nullptr || rows[static_cast<size_t>(row)].status != ItemRecognizing)
        return false;
    jobs->RemoveTask(rows[static_cast<size_t>(row)].filePath);
    return Reset(row);
}

bool FileList::Retry(int row)
{
    const FileRow* item = Row(row);
    if (jobs == nullptr || item == nullptr || (item->status != ItemDone && item->status != ItemFailed))
        return false;
    jobs->RemoveTask(item->filePath);
    Reset(row);
    return Start(row);
}

bool FileList::CanDelete(int row) const
{
    const FileRow* item = Row(row);
    return item != nullptr && item->status != ItemRecognizing;
}

void FileList::Clear()
{
    while (Count() > 0)
        Remove(Count() - 1);
}

bool FileList::Remove(int row)
{
    const FileRow* item = Row(row);
    if (item == nullptr)
        return false;
    if (jobs != nullptr)
        jobs->RemoveTask(item->filePath);
    rows.erase(rows.begin() + row);
    return true;
}

bool FileList::Reset(int row)
{
    if (Row(row) == nullptr)
        return false;
    FileRow& item = rows[static_cast<size_t>(row)];
    item.progressText = "0";
    item.elapsedSeconds = 0;
    item.status = ItemIdle;
    item.saved = false;
    return true;
}

void FileList::MarkSaved(int row)
{
    if (Row(row) != nullptr)
        rows[static_cast<size_t>(row)].saved = true;
}

FileList::Progress FileList::OnSegmentDone(uint64_t id)
{
    // News that waited while its file was removed (or the manager went) names nothing.
    const SegmentRecord* segment = jobs != nullptr ? jobs->FindSegment(id) : nullptr;
    if (segment == nullptr)
        return {};
    return Update(jobs->GetFinishedSegments(segment->file));
}

FileList::Progress FileList::Update(const std::vector<SegmentRecord*>& records)
{
    Progress progress;
    if (records.empty()) {
        WriteLog(Warning, LogTag::kFileListViewUpdateItemStatus, "%s", "UpdateItemStatus vctInfo is empty");
        return progress;
    }
    if (std::find(records.begin(), records.end(), nullptr) != records.end()) {
        WriteLog(Warning, LogTag::kFileListViewUpdateItemStatus, "%s", "UpdateItemStatus null record");
        return progress;
    }
    const SegmentRecord& first = *records.front();
    const int row = Find(first.file);
    if (row < 0) {
        WriteLog(Warning, LogTag::kFileListViewUpdateItemStatus, "UpdateItemStatus no found. %s", first.file.c_str());
        return progress;
    }
    // A record without a plan would divide by zero; it cannot come from the job manager.
    if (first.segmentCount <= 0) {
        WriteLog(Warning, LogTag::kFileListViewUpdateItemStatus, "UpdateItemStatus bad segment count %d. %s",
                 first.segmentCount, first.file.c_str());
        return progress;
    }
    progress.row = row;
    FileRow& item = rows[static_cast<size_t>(row)];
    const int32_t planned = records.front()->segmentCount;
    item.progressText = std::to_string(records.size() * 100 / static_cast<size_t>(planned)) + "%";
    if (records.size() != static_cast<size_t>(planned))
        return progress;

    progress.complete = true;
    const bool failed = RecognitionFailure::IsFailed(records);
    // Told once, when the file completes; later news only rewrites the same values.
    if (item.status != ItemDone && item.status != ItemFailed) {
        if (failed) {
            Warn(RecognitionFailure::Explain(records));
        } else {
            const auto poor = std::find_if(records.begin(), records.end(),
                                           [](const SegmentRecord* record) { return record->attempts >= kPoorAudioAttempts; });
            if (poor != records.end())
                Warn(ShownText{kPoorAudioText, {{(*poor)->file}}});
        }
    }
    item.progressText = "100%";
    item.status = failed ? ItemFailed : ItemDone;
    return progress;
}

void FileList::Tick()
{
    for (FileRow& item : rows) {
        if (item.status == ItemRecognizing)
            ++item.elapsedSeconds;
    }
}

std::string FileList::Text(int row, bool timed) const
{
    if (jobs == nullptr || Row(row) == nullptr)
        return {};
    const std::vector<SegmentRecord*> records = jobs->GetFinishedSegments(rows[static_cast<size_t>(row)].filePath);
    if (RecognitionFailure::IsFailed(records))
        return RecognitionFailure::Describe(records);
    if (timed && !records.empty() && (records.front()->segmentCount > 1 || SegmentTexts::HasHeardTimes(records)))
        return SegmentTexts::Timed(records);
    return SegmentTexts::Joined(records);
}

ShownText FileList::FailureText(int row) const
{
    if (jobs == nullptr || Row(row) == nullptr)
        return {};
    const std::vector<SegmentRecord*> records = jobs->GetFinishedSegments(rows[static_cast<size_t>(row)].filePath);
    return RecognitionFailure::IsFailed(records) ? RecognitionFailure::Explain(records) : ShownText{};
}

bool FileList::IsRecognizing() const
{
    return std::any_of(rows.begin(), rows.end(), [](const FileRow& item) { return item.status == ItemRecognizing; });
}

bool FileList::HasUnsavedWork() const
{
    return std::any_of(rows.begin(), rows.end(), [](const FileRow& item) {
        return item.status == ItemRecognizing || (item.status == ItemDone && !item.saved);
    });
}

std::vector<std::string> FileList::DoneFiles() const
{
    std::vector<std::string> files;
    for (const FileRow& item : rows) {
        if (item.status == ItemDone)
            files.push_back(item.filePath);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<SavedResult> FileList::Save(ResultFolder& folder, const std::vector<std::string>& files)
{
    std::vector<SavedResult> results;
    for (const std::string& file : files) {
        const int row = Find(file);
        if (jobs == nullptr || row < 0 || rows[static_cast<size_t>(row)].status != ItemDone)
            continue;
        results.push_back(folder.Save(file, ResultBytes(row, folder.Form())));
        // A text that did not reach the disk whole is not marked saved: the close still asks
        // for it.
        if (results.back().saved)
            MarkSaved(row);
    }
    return results;
}

std::string FileList::ResultBytes(int row, ResultForm form) const
{
    const FileRow* item = Row(row);
    if (jobs == nullptr || item == nullptr || item->status != ItemDone)
        return {};
    const std::vector<SegmentRecord*> records = jobs->GetFinishedSegments(item->filePath);
    switch (form) {
    case ResultForm::Text:
    case ResultForm::TimedText:
        break;
    case ResultForm::Srt:
        return SegmentTexts::Subtitles(records, SegmentTexts::SubtitleFormat::Srt);
    case ResultForm::Vtt:
        return SegmentTexts::Subtitles(records, SegmentTexts::SubtitleFormat::Vtt);
    case ResultForm::Json:
        return ResultDocuments::Json(records, {item->filePath, RecognizerSettingName(jobs->GetRecognizerKind(item->filePath)),
                                               jobs->GetRecognizerLanguage(item->filePath)});
    case ResultForm::Tsv:
        return ResultDocuments::Tsv(records);
    }
    return SegmentTexts::AsTextFile(Text(row, form == ResultForm::TimedText));
}

void FileList::Warn(const ShownText& text)
{
    if (events != nullptr)
        events->OnWarning(text);
}
