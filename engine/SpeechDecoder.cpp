#include "engine/SpeechDecoder.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/platform/PrivateMemory.h"
#include "engine/KeptFrames.h"
#include "engine/LibPocketSphinx.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <sys/stat.h>

namespace {

// The library writes pages of progress to standard error by default. Its warnings and errors
// (a damaged model, a failed allocation) belong in the program's log; its progress does not.
void LogLibraryMessage(void*, err_lvl_t level, const char* format, ...)
{
    if (level < ERR_WARN)
        return;
    char message[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    std::string line(message);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (!line.empty())
        WriteLog(Warning, LogTag::kSpeechDecoderLibrary, "%s", line.c_str());
}

bool IsFile(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The model's fillers (<s>, </s>, <sil>, [NOISE], ...) are not words: the decoder's text leaves
// them out.
bool IsFiller(const std::string& word)
{
    return !word.empty() && (word.front() == '<' || word.front() == '[' || word.front() == '+');
}

// "read(2)" is the dictionary's second way to say "read"; the text has the word itself.
std::string WithoutPronunciation(std::string word)
{
    if (word.size() > 2 && word.back() == ')') {
        const size_t open = word.rfind('(');
        if (open != std::string::npos && open > 0)
            word.erase(open);
    }
    return word;
}

// Loading sets the library's process-wide state (its log and debug level), so decoders are
// loaded one at a time; decoding needs no such care.
std::mutex& LoadLock()
{
    static std::mutex lock;
    return lock;
}

}  // namespace

std::unique_ptr<SpeechDecoder> SpeechDecoder::Load(const std::string& modelDir, std::string* error)
{
    const std::string folder = modelDir + "/en-us";
    const std::string acoustic = folder + "/en-us";
    const std::string language = folder + "/en-us.lm.bin";
    const std::string dictionary = folder + "/cmudict-en-us.dict";
    // The library's own complaint about a missing file is a line deep in its progress output;
    // a missing model deserves a plain answer.
    if (!IsFolder(acoustic) || !IsFile(language) || !IsFile(dictionary)) {
        *error = "no US-English model in " + modelDir + " (en-us/en-us, en-us/en-us.lm.bin, en-us/cmudict-en-us.dict)";
        return nullptr;
    }

    std::string missing;
    if (!PocketSphinxLoads(&missing)) {
        *error = "the decoder library cannot be loaded (" + missing + ")";
        return nullptr;
    }

    std::lock_guard<std::mutex> guard(LoadLock());
    const PrivateMemory before = PrivateMemory::Now();
    static std::once_flag logRouted;
    std::call_once(logRouted, [] {
        // No stream: the configuration table it prints at every load goes nowhere either.
        err_set_logfp(nullptr);
        err_set_callback(&LogLibraryMessage, nullptr);
    });
    cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", acoustic.c_str(), "-lm", language.c_str(), "-dict",
                                   dictionary.c_str(), nullptr);
    if (config == nullptr) {
        *error = "the decoder does not accept the model paths under " + modelDir;
        return nullptr;
    }
    ps_decoder_t* decoder = ps_init(config);
    if (decoder == nullptr) {
        cmd_ln_free_r(config);
        *error = "the model in " + modelDir + " cannot be loaded";
        return nullptr;
    }
    // With the model's own front-end settings, which loading added to the decoder's.
    std::unique_ptr<KeptFrames> kept = KeptFrames::Make(ps_get_config(decoder));
    if (kept == nullptr) {
        ps_free(decoder);
        cmd_ln_free_r(config);
        *error = "the model in " + modelDir + " cannot be loaded";
        return nullptr;
    }
    // The search looks words up in the language model and the dictionary at random, tens of MB
    // of tables: on huge pages a decoder needs about 15 % less time for the same words.
    PrivateMemory::Now().MoveToHugePagesSince(before);
    return std::unique_ptr<SpeechDecoder>(new SpeechDecoder(modelDir, config, decoder, std::move(kept)));
}

SpeechDecoder::SpeechDecoder(std::string folder, cmd_ln_s* configuration, ps_decoder_s* loaded, std::unique_ptr<KeptFrames> frames)
    : modelDir(std::move(folder)), config(configuration), decoder(loaded), kept(std::move(frames))
{
}

SpeechDecoder::~SpeechDecoder()
{
    ps_free(decoder);
    cmd_ln_free_r(config);
}

bool SpeechDecoder::Decode(const int16_t* samples, size_t count, std::string* text, std::vector<HeardWord>* words,
                           std::string* error)
{
    text->clear();
    words->clear();
    // A new stream forgets the noise level the front end learnt from the utterances before, which
    // decides the frames it drops as silence: the words heard depend on this utterance alone,
    // whichever decoder decodes it after whatever.
    if (ps_start_stream(decoder) < 0 || ps_start_utt(decoder) < 0) {
        *error = "the decoder cannot start an utterance";
        return false;
    }
    // The whole utterance at once lets the decoder normalise it as a whole, as its batch decoder
    // does; that reads more accurately than feeding it in pieces.
    const int processed = ps_process_raw(decoder, samples, count, FALSE, TRUE);
    const int ended = ps_end_utt(decoder);
    if (processed < 0 || ended < 0) {
        *error = "the decoder failed on the audio";
        return false;
    }
    int32 score = 0;
    if (const char* hypothesis = ps_get_hyp(decoder, &score))
        *text = hypothesis;

    const std::vector<size_t> starts = kept->Of(samples, count);
    std::string spelled;
    for (ps_seg_t* segment = ps_seg_iter(decoder); segment != nullptr; segment = ps_seg_next(segment)) {
        const char* word = ps_seg_word(segment);
        if (word == nullptr || IsFiller(word))
            continue;
        int first = 0;
        int last = 0;
        ps_seg_frames(segment, &first, &last);
        if (starts.empty() || first < 0 || last < first)
            continue;
        const auto at = [&starts](int frame) { return starts[std::min(static_cast<size_t>(frame), starts.size() - 1)]; };
        const double rate = kept->SampleRate();
        HeardWord heard{static_cast<double>(at(first)) / rate, static_cast<double>(at(last) + kept->SamplesPerFrame()) / rate,
                        WithoutPronunciation(word)};
        spelled += (spelled.empty() ? "" : " ") + heard.text;
        words->push_back(std::move(heard));
    }
    // Times that do not belong to the text's own words would mislead more than no times.
    if (spelled != *text)
        words->clear();
    return true;
}
