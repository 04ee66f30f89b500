#include "engine/KeptFrames.h"

#include <pocketsphinx.h>
#include <sphinxbase/fe.h>

#include <algorithm>

std::unique_ptr<KeptFrames> KeptFrames::Make(cmd_ln_s* decoderConfig)
{
    // The front end takes a reference of its own to the settings (this library does, whatever
    // its header says): one more here would keep them alive past the decoder.
    fe_t* frontEnd = fe_init_auto_r(decoderConfig);
    if (frontEnd == nullptr)
        return nullptr;
    int shift = 0;
    int size = 0;
    fe_get_input_size(frontEnd, &shift, &size);
    const long heldBack = cmd_ln_int_r(decoderConfig, "-vad_prespeech");
    const double rate = cmd_ln_float_r(decoderConfig, "-samprate");
    if (shift <= 0 || size <= 0 || heldBack < 0 || rate <= 0) {
        fe_free(frontEnd);
        return nullptr;
    }
    return std::unique_ptr<KeptFrames>(
        new KeptFrames(frontEnd, static_cast<size_t>(shift), static_cast<size_t>(size), static_cast<size_t>(heldBack) + 2, rate));
}

KeptFrames::KeptFrames(fe_s* twin, size_t frameShift, size_t frameSize, size_t most, double rate)
    : frontEnd(twin), shift(frameShift), size(frameSize), burst(most), sampleRate(rate)
{
}

KeptFrames::~KeptFrames()
{
    fe_free(frontEnd);
}

std::vector<size_t> KeptFrames::Of(const int16_t* samples, size_t count)
{
    const size_t width = static_cast<size_t>(fe_get_output_size(frontEnd));
    std::vector<mfcc_t> storage(burst * width);
    std::vector<mfcc_t*> rows(burst);
    for (size_t i = 0; i < burst; ++i)
        rows[i] = storage.data() + i * width;

    std::vector<size_t> starts;
    fe_start_stream(frontEnd);
    fe_start_utt(frontEnd);
    // One frame's step at a time: whatever comes out of a step ends with the frame that step
    // completed, so where each lies follows from how much was fed.
    size_t fed = 0;
    size_t completed = 0;
    while (fed < count) {
        const size_t step = std::min(shift, count - fed);
        const int16* next = samples + fed;
        size_t left = step;
        int32 frames = static_cast<int32>(burst);
        if (fe_process_frames(frontEnd, &next, &left, rows.data(), &frames, nullptr) < 0 || left == step)
            return {};
        fed += step - left;
        completed = fed < size ? 0 : (fed - size) / shift + 1;
        for (size_t i = static_cast<size_t>(std::max(frames, 0)); i > 0; --i) {
            if (i > completed)
                return {};
            starts.push_back((completed - i) * shift);
        }
    }
    // The samples short of a whole frame make one more, as they do for the decoder.
    int32 last = 0;
    fe_end_utt(frontEnd, rows[0], &last);
    if (last > 0)
        starts.push_back(completed * shift);
    return starts;
}
