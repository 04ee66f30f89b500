#include "engine/ResultFolder.h"

#include "base/LogFile.h"

#include <cerrno>

const char* ResultExtension(ResultForm form)
{
    switch (form) {
    case ResultForm::Srt:
        return ".srt";
    case ResultForm::Vtt:
        return ".vtt";
    case ResultForm::Json:
        return ".json";
    case ResultForm::Tsv:
        return ".tsv";
    case ResultForm::Text:
    case ResultForm::TimedText:
        break;
    }
    return ".txt";
}

ResultFolder::ResultFolder(std::string saveFolder, ResultForm saveForm, const char* tag)
    : folder(std::move(saveFolder)), form(saveForm), logTag(tag), names(folder, ResultExtension(form))
{
}

SavedResult ResultFolder::Save(const std::string& audioFile, const std::string& bytes)
{
    SavedResult result;
    result.file = audioFile;
    const std::string extension = ResultExtension(form);
    const std::string same = names.HoldingAlready(audioFile, bytes);
    if (!same.empty()) {
        result.saved = true;
        result.alreadyThere = true;
        result.name = same + extension;
        return result;
    }
    const SaveNewFileResult written = SaveNewFile(folder, [&] { return names.Take(audioFile) + extension; }, bytes);
    result.name = written.name;
    if (written.saved) {
        result.saved = true;
        return result;
    }
    result.failure = folder + ": " + written.Reason();
    if (logTag != nullptr) {
        const std::string message = written.failedAt == SaveNewFileResult::Step::Create
                                        ? "fopen create file failed." + folder
                                        : "write file failed. " + (written.name.empty() ? folder : folder + "/" + written.name);
        // The entry's "LastError info" gives the reason.
        errno = written.error;
        WriteLog(Error, logTag, "%s", message.c_str());
    }
    return result;
}

ShownText SaveSummary(const std::vector<SavedResult>& results)
{
    int saved = 0;
    int failed = 0;
    std::string failure;
    for (const SavedResult& result : results) {
        if (result.saved) {
            ++saved;
        } else {
            ++failed;
            failure = result.failure;
        }
    }
    if (failed == 0)
        return {TALVORA_TEXT("Engine", "成功保存 %1 个结果"), {{std::to_string(saved)}}};
    return {TALVORA_TEXT("Engine", "成功保存 %1 个结果\n%2 个结果保存失败: %3"),
            {{std::to_string(saved)}, {std::to_string(failed)}, {failure}}};
}
