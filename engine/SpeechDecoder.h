#pragma once

#include "engine/HeardWord.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class KeptFrames;
struct cmd_ln_s;
struct ps_decoder_s;

// One pocketsphinx decoder with the US-English model of a model folder loaded: the acoustic
// model "en-us/en-us", the language model "en-us/en-us.lm.bin" and the dictionary
// "en-us/cmudict-en-us.dict". Loading takes a while and about 100 MB, so a decoder is kept and
// used for many segments; it is not safe to share between threads.
class SpeechDecoder {
public:
    // Null, with the reason in `error`, when the model cannot be loaded.
    static std::unique_ptr<SpeechDecoder> Load(const std::string& modelDir, std::string* error);
    ~SpeechDecoder();
    SpeechDecoder(const SpeechDecoder&) = delete;
    SpeechDecoder& operator=(const SpeechDecoder&) = delete;

    const std::string& ModelDir() const { return modelDir; }

    // Decodes 16 kHz mono samples as one utterance into lower-case words separated by blanks
    // (empty when nothing was heard), and into `words`: the same words, each with the time it
    // was said at, in seconds from the first sample (empty when those times cannot be told).
    // Nothing carries over from the utterances decoded before: the same samples give the same
    // words and times on any decoder. False, with the reason in `error`, when decoding failed. Time and memory grow faster than
    // the utterance: keep it to some seconds (CutAtPauses).
    bool Decode(const int16_t* samples, size_t count, std::string* text, std::vector<HeardWord>* words, std::string* error);

private:
    SpeechDecoder(std::string modelDir, cmd_ln_s* config, ps_decoder_s* decoder, std::unique_ptr<KeptFrames> kept);

    std::string modelDir;
    cmd_ln_s* config;
    ps_decoder_s* decoder;
    std::unique_ptr<KeptFrames> kept;
};
