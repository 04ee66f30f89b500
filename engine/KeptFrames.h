#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct cmd_ln_s;
struct fe_s;

// Where in the audio each frame the decoder kept lies. The decoder's front end drops the frames
// it takes for silence before the search sees them, so the search numbers only the frames it
// kept and its word times skip every pause; a second front end with the same settings, fed the
// same audio, tells which frames those were. Each utterance starts a new stream for both, so the
// noise estimate behind that choice is learnt from the utterance alone, as the decoder's is.
class KeptFrames {
public:
    // Null when no front end can be made from the decoder's settings.
    static std::unique_ptr<KeptFrames> Make(cmd_ln_s* decoderConfig);
    ~KeptFrames();
    KeptFrames(const KeptFrames&) = delete;
    KeptFrames& operator=(const KeptFrames&) = delete;

    // For each frame the decoder keeps of this utterance, in order, the sample it starts at.
    // Empty when the front end failed on the audio.
    std::vector<size_t> Of(const int16_t* samples, size_t count);

    size_t SamplesPerFrame() const { return shift; }
    double SampleRate() const { return sampleRate; }

private:
    KeptFrames(fe_s* frontEnd, size_t shift, size_t size, size_t burst, double sampleRate);

    fe_s* frontEnd;
    size_t shift;  // samples from one frame's start to the next's
    size_t size;   // samples in one frame
    // The most frames one step can give: a start of speech releases the frames held back before it.
    size_t burst;
    double sampleRate;
};
