#include "speech_double/TranscriptionCheck.h"

#include "speech_double/MultipartForm.h"
#include "speech_double/PcmWave.h"

namespace SpeechDouble {

namespace {

constexpr int kExpectedRate = 16000;

bool TwoLowercaseLetters(const std::string& text)
{
    return text.size() == 2 && text[0] >= 'a' && text[0] <= 'z' && text[1] >= 'a' && text[1] <= 'z';
}

// The first problem of the form's fields; empty when there is none.
std::string FieldProblem(const std::multimap<std::string, std::string>& form)
{
    for (const char* single : {"model", "language", "response_format"}) {
        if (form.count(single) > 1)
            return std::string("'") + single + "' is given more than once.";
    }
    const auto model = form.find("model");
    if (model == form.end())
        return "Missing required parameter: 'model'.";
    if (model->second.empty())
        return "'model' is empty.";
    if (const auto language = form.find("language"); language != form.end() && !TwoLowercaseLetters(language->second))
        return "Invalid language '" + language->second + "': two lowercase letters of ISO-639-1 are expected.";
    if (const auto format = form.find("response_format");
        format != form.end() && format->second != "json" && format->second != "verbose_json" && format->second != "text")
        return "Invalid response_format '" + format->second + "': json, verbose_json or text are supported.";
    const auto [from, to] = form.equal_range("timestamp_granularities[]");
    for (auto it = from; it != to; ++it) {
        if (it->second != "segment" && it->second != "word")
            return "Invalid timestamp_granularities[] '" + it->second + "': segment or word are supported.";
    }
    return {};
}

}  // namespace

TranscriptionVerdict CheckTranscription(const std::string& contentType, const std::string& authorization,
                                        const std::string& body, const std::string& apiKey)
{
    TranscriptionVerdict verdict;
    std::string problem;
    std::vector<FormItem> parts;
    const FormItem* file = nullptr;
    if (!ParseMultipartForm(contentType, body, parts, problem)) {
        problem = "Could not parse multipart form: " + problem + ".";
    } else {
        for (const FormItem& part : parts) {
            if (part.name == "file") {
                if (file != nullptr && problem.empty())
                    problem = "More than one 'file' part.";
                file = &part;
            } else if (part.hasFileName) {
                if (problem.empty())
                    problem = "Unexpected file part '" + part.name + "'.";
            } else {
                verdict.form.emplace(part.name, part.content);
            }
        }
    }

    if (file != nullptr) {
        verdict.fileName = file->fileName;
        PcmWave wave;
        std::string waveProblem;
        const bool valid = ReadPcmWave(file->content, wave, waveProblem);
        verdict.wavSampleRate = wave.sampleRate;
        verdict.audioBytes = wave.pcm.size();
        // Audio of another rate still reads as its own tones, for fault rules and the record.
        const int rate = wave.sampleRate >= 1000 && wave.sampleRate <= 384000 ? wave.sampleRate : kExpectedRate;
        verdict.duration = static_cast<double>(wave.pcm.size() / 2) / rate;
        verdict.runs = FindToneRuns(wave.pcm, rate);
        for (const ToneRun& run : verdict.runs)
            verdict.text += (verdict.text.empty() ? "" : " ") + run.text;
        if (problem.empty() && !file->hasFileName)
            problem = "The 'file' part has no filename.";
        if (problem.empty() && !valid)
            problem = "Invalid file: " + waveProblem + ".";
    } else if (problem.empty()) {
        problem = "Missing required parameter: 'file'.";
    }
    if (problem.empty())
        problem = FieldProblem(verdict.form);

    if (const auto language = verdict.form.find("language"); language != verdict.form.end())
        verdict.language = language->second;
    if (const auto format = verdict.form.find("response_format");
        format != verdict.form.end() && (format->second == "verbose_json" || format->second == "text"))
        verdict.responseFormat = format->second;

    if (!apiKey.empty() && authorization != "Bearer " + apiKey) {
        verdict.status = 401;
        verdict.message = "Incorrect API key provided.";
    } else if (!problem.empty()) {
        verdict.status = 400;
        verdict.message = problem;
    }
    return verdict;
}

}  // namespace SpeechDouble
