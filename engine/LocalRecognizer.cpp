#include "engine/LocalRecognizer.h"

#include "base/LiveThreads.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "engine/DecoderPool.h"
#include "engine/HeardSentences.h"
#include "engine/PauseCuts.h"

#include <bit>
#include <thread>
#include <vector>

namespace {

constexpr double kSamplesPerSecond = 16000;

}  // namespace

LocalRecognizer::LocalRecognizer(std::string folder, std::shared_ptr<DecoderPool> decoders, std::string chosen)
    : pool(decoders != nullptr ? std::move(decoders) : std::make_shared<DecoderPool>(std::thread::hardware_concurrency())),
      modelDir(std::move(folder)), language(std::move(chosen))
{
}

RecognitionOutcome LocalRecognizer::Recognize(const std::string& audio)
{
    if (!language.empty() && language != "en") {
        RecognitionOutcome refused = LanguageRefused("the local recognizer", language, "en only");
        WriteLog(Warning, LogTag::kLocalRecognizerRecognize, "%s", refused.message.c_str());
        return refused;
    }
    RecognitionOutcome outcome;
    std::string error;
    DecoderPool::Lease decoder = pool->Acquire(modelDir, &error);
    if (!decoder) {
        outcome.code = kModelFailedCode;
        outcome.message = "local model not loaded: " + error;
        WriteLog(Warning, LogTag::kLocalRecognizerRecognize, "%s", outcome.message.c_str());
        return outcome;
    }
    // The audio is little-endian 16-bit samples (a trailing odd byte is no sample). On a
    // little-endian machine they are decoded where they lie: up to ten segments wait here, and
    // a copy each would be a tenth of the program's memory.
    const size_t count = audio.size() / 2;
    std::vector<int16_t> converted;
    const int16_t* samples = reinterpret_cast<const int16_t*>(audio.data());
    if constexpr (std::endian::native != std::endian::little) {
        converted.resize(count);
        for (size_t i = 0; i < count; ++i)
            converted[i] = static_cast<int16_t>(static_cast<uint8_t>(audio[2 * i]) | static_cast<uint8_t>(audio[2 * i + 1]) << 8);
        samples = converted.data();
    }

    // A 120-second segment as one utterance would take the decoder several times the memory and
    // time of the same speech in pieces; pieces of a few sentences read as well.
    std::vector<HeardWord> heard;
    bool timed = true;
    for (const auto& [begin, end] : CutAtPauses(samples, count, kMaxUtteranceSamples)) {
        // A decoding takes seconds of a core; at the program's end nobody waits for its text.
        if (LiveThreads::Ending()) {
            outcome.code = kDecodeFailedCode;
            outcome.message = "local decoding given up: the program is ending";
            outcome.text.clear();
            return outcome;
        }
        std::string words;
        std::vector<HeardWord> timedWords;
        if (!decoder->Decode(samples + begin, end - begin, &words, &timedWords, &error)) {
            outcome.code = kDecodeFailedCode;
            outcome.message = "local decoding failed: " + error;
            outcome.text.clear();
            WriteLog(Warning, LogTag::kLocalRecognizerRecognize, "%s", outcome.message.c_str());
            return outcome;
        }
        if (!words.empty())
            outcome.text += (outcome.text.empty() ? "" : " ") + words;
        // A sentence can run on across a cut, so the words are grouped once all are heard.
        timed = timed && (words.empty() || !timedWords.empty());
        const double offset = static_cast<double>(begin) / kSamplesPerSecond;
        for (HeardWord& word : timedWords)
            heard.push_back({word.start + offset, word.end + offset, std::move(word.text)});
    }
    // Pieces that left out some of the text would lose those words from the subtitles.
    if (timed)
        outcome.pieces = HeardSentences(heard);
    outcome.code = 0;
    outcome.message = kSuccessMessage;
    WriteLog(Info, LogTag::kLocalRecognizerRecognize, "local text size: %d", static_cast<int>(outcome.text.size()));
    return outcome;
}
