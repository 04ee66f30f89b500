#include "engine/LocalRecognizer.h"

#include "base/LogFile.h"
#include "engine/DecoderPool.h"
#include "engine/PauseCuts.h"

#include <vector>

LocalRecognizer::LocalRecognizer(DecoderPool& decoders, std::string folder) : pool(decoders), modelDir(std::move(folder)) {}

RecognitionOutcome LocalRecognizer::Recognize(const std::string& audio)
{
    // Little-endian 16-bit samples, whatever the machine's own order; a trailing odd byte is no
    // sample.
    std::vector<int16_t> samples(audio.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(audio[2 * i]) | static_cast<uint8_t>(audio[2 * i + 1]) << 8);

    RecognitionOutcome outcome;
    std::string error;
    DecoderPool::Lease decoder = pool.Acquire(modelDir, &error);
    if (!decoder) {
        outcome.code = kModelFailedCode;
        outcome.message = "local model not loaded: " + error;
        WriteLog(Warning, "LocalRecognizer::Recognize", "%s", outcome.message.c_str());
        return outcome;
    }
    // A 120-second segment as one utterance would take the decoder several times the memory and
    // time of the same speech in pieces; pieces of a few sentences read as well.
    for (const auto& [begin, end] : CutAtPauses(samples.data(), samples.size(), kMaxUtteranceSamples)) {
        std::string words;
        if (!decoder->Decode(samples.data() + begin, end - begin, &words, &error)) {
            outcome.code = kDecodeFailedCode;
            outcome.message = "local decoding failed: " + error;
            outcome.text.clear();
            WriteLog(Warning, "LocalRecognizer::Recognize", "%s", outcome.message.c_str());
            return outcome;
        }
        if (!words.empty())
            outcome.text += (outcome.text.empty() ? "" : " ") + words;
    }
    outcome.code = 0;
    outcome.message = kSuccessMessage;
    WriteLog(Info, "LocalRecognizer::Recognize", "local text size: %d", static_cast<int>(outcome.text.size()));
    return outcome;
}
