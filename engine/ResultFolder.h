#pragma once

#include "base/platform/SaveNewFile.h"
#include "engine/ResultFileNames.h"
#include "engine/ShownText.h"

#include <string>
#include <vector>

// The forms a file's text is saved in.
enum class ResultForm {
    Text,       // the joined text
    TimedText,  // each segment's text after its start time, for files of more than one segment
    Srt,
    Vtt,
    Json,       // the file, its recognizer and language, and every timed piece
    Tsv,        // start and end in milliseconds, and the text, per piece
};

// ".txt", ".srt", ".vtt", ".json" or ".tsv".
const char* ResultExtension(ResultForm form);

// What became of one file's text.
struct SavedResult {
    std::string file;       // the audio file, as listed
    bool saved = false;     // in the folder now, under `name` (written now or found there already)
    bool alreadyThere = false;
    std::string name;       // the file name in the folder, with its extension
    std::string failure;    // "<folder>: <reason>" when not saved
};

// One save into one folder: every text takes the next name of the naming rules still free at
// the moment it is written (another run, or anyone, may be writing there too), never replaces a
// file, and a text the folder already holds word for word is not written again. A failure is
// logged under `logTag` (when given) with the step and the system's reason.
class ResultFolder {
public:
    ResultFolder(std::string folder, ResultForm form, const char* logTag = nullptr);

    SavedResult Save(const std::string& audioFile, const std::string& bytes);

    const std::string& Folder() const { return folder; }
    ResultForm Form() const { return form; }

private:
    const std::string folder;
    const ResultForm form;
    const char* const logTag;
    ResultFileNames names;
};

// "成功保存 N 个结果", and what could not be saved ("K 个结果保存失败: <folder>: <reason>", the last
// failure's): a text the user believes on the disk would be lost.
ShownText SaveSummary(const std::vector<SavedResult>& results);
