#include "engine/LocalRecognizer.h"

#include "base/BackgroundThread.h"
#include "base/LiveThreads.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "engine/DecoderPool.h"
#include "engine/HeardSentences.h"
#include "engine/PauseCuts.h"
#include "engine/UtteranceQueue.h"

#include <algorithm>
#include <bit>
#include <thread>
#include <vector>

namespace {

constexpr double kSamplesPerSecond = 16000;

// Decodes utterances with `decoder` for as long as `own` has some left to hand out; the oldest
// segment's come first, whichever segment they belong to.
void DecodeWhileLeft(SpeechDecoder& decoder, UtteranceQueue& queue, UtteranceQueue::Segment& own)
{
    UtteranceQueue::Segment* segment = nullptr;
    size_t cut = 0;
    while (queue.Take(&own, &segment, &cut)) {
        // A decoding takes seconds of a core; at the program's end nobody waits for its text.
        if (LiveThreads::Ending()) {
            queue.Fail(segment, LocalRecognizer::kDecodeFailedCode, "local decoding given up: the program is ending");
            continue;
        }
        const auto [begin, end] = segment->cuts[cut];
        UtteranceQueue::Heard heard;
        std::string error;
        if (!decoder.Decode(segment->samples + begin, end - begin, &heard.text, &heard.words, &error)) {
            const std::string message = "local decoding failed: " + error;
            if (queue.Fail(segment, LocalRecognizer::kDecodeFailedCode, message))
                WriteLog(Warning, LogTag::kLocalRecognizerRecognize, "%s", message.c_str());
            continue;
        }
        queue.Done(segment, cut, std::move(heard));
    }
}

}  // namespace

LocalRecognizer::LocalRecognizer(std::string folder, std::shared_ptr<DecoderPool> decoders, std::string chosen)
    : pool(decoders != nullptr ? std::move(decoders) : std::make_shared<DecoderPool>(std::thread::hardware_concurrency())),
      queue(std::make_shared<UtteranceQueue>()), modelDir(std::move(folder)), language(std::move(chosen))
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
    const auto segment = std::make_shared<UtteranceQueue::Segment>();
    segment->samples = samples;
    segment->cuts = CutAtPauses(samples, count, kMaxUtteranceSamples);
    queue->Open(segment.get());
    // Helpers wait for the pool's other decoders. Those they get take the oldest segment's
    // utterances first: while an older one has some left, this one's come after.
    const size_t helpers = segment->cuts.empty() ? 0 : std::min(pool->Limit(), segment->cuts.size()) - 1;
    for (size_t i = 0; i < helpers; ++i) {
        StartBackgroundThread("local decoding", [pool = pool, queue = queue, dir = modelDir, segment] {
            std::string error;
            if (const DecoderPool::Lease decoder = pool->Acquire(dir, &error))
                DecodeWhileLeft(*decoder, *queue, *segment);
            else  // the segment's own decoder goes on alone
                WriteLog(Warning, LogTag::kLocalRecognizerRecognize, "no second local decoder: %s", error.c_str());
        });
    }
    {
        // Back to the pool as soon as this segment has nothing left to hand out.
        const DecoderPool::Lease mine = std::move(decoder);
        DecodeWhileLeft(*mine, *queue, *segment);
    }
    queue->Close(segment.get());
    if (segment->code != 0) {
        outcome.code = segment->code;
        outcome.message = segment->message;
        return outcome;
    }

    std::vector<HeardWord> heard;
    bool timed = true;
    for (size_t i = 0; i < segment->cuts.size(); ++i) {
        UtteranceQueue::Heard& said = segment->heard[i];
        if (!said.text.empty())
            outcome.text += (outcome.text.empty() ? "" : " ") + said.text;
        // A sentence can run on across a cut, so the words are grouped once all are heard.
        timed = timed && (said.text.empty() || !said.words.empty());
        const double offset = static_cast<double>(segment->cuts[i].first) / kSamplesPerSecond;
        for (HeardWord& word : said.words)
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
