#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace SpeechDouble {

struct ToneEstimate {
    double frequency = 0;  // hertz of the strongest spectral peak; 0 when there are no samples
    double rms = 0;        // root mean square of the samples (full scale is 32767)
    size_t samples = 0;
};

// The dominant frequency of raw signed 16-bit little-endian mono PCM (a trailing odd byte is
// ignored). Averages the Hann-windowed power spectra of up to 32 frames of 16384 samples spread
// evenly over the audio, then refines the strongest peak above 20 Hz between its neighbouring
// bins; a steady sine comes out within a few hundredths of a hertz. A 120-second segment takes
// a few tens of milliseconds in an optimised build.
ToneEstimate EstimateTone(std::string_view pcm, int sampleRate = 16000);

// "tone 440": the frequency rounded to whole hertz.
std::string ToneText(const ToneEstimate& tone);

// Below this level the double treats audio as silence (about -61 dB of full scale).
constexpr double kSilenceRms = 30.0;

}  // namespace SpeechDouble
