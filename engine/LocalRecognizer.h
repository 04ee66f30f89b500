#pragma once

#include "engine/Recognizer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class DecoderPool;
class UtteranceQueue;

// English speech recognised on this machine by the decoders of the pool: no account, no network.
// A segment is cut into utterances, which every decoder of the pool that is free decodes side by
// side; each utterance is decoded on its own, so the words are the same whichever decoder took it.
// Code 0 with the words heard (none is success too); a model that cannot be loaded or audio
// that cannot be decoded is a failed attempt with a code of its own and a warning in the log.
class LocalRecognizer : public Recognizer {
public:
    // Without a pool: one of its own, with a decoder per core at most.
    // `language`: empty or "en"; with any other every attempt is refused, for the words the
    // English model would make of it are nonsense.
    explicit LocalRecognizer(std::string modelDir, std::shared_ptr<DecoderPool> pool = nullptr, std::string language = {});
    RecognitionOutcome Recognize(const std::string& audio) override;
    RecognizerKind Kind() const override { return RecognizerKind::LocalEnglish; }
    std::string Language() const override { return language; }
    DecoderPool& Pool() { return *pool; }

    const std::string& ModelDir() const { return modelDir; }

    static constexpr int32_t kModelFailedCode = -3;
    static constexpr int32_t kDecodeFailedCode = -4;
    static constexpr char kSuccessMessage[] = "success.";
    // The longest stretch handed to the decoder as one utterance: 15 seconds.
    static constexpr size_t kMaxUtteranceSamples = 15 * 16000;

private:
    const std::shared_ptr<DecoderPool> pool;
    const std::shared_ptr<UtteranceQueue> queue;
    const std::string modelDir;
    const std::string language;
};
