#include "speech_double/TonePcm.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace SpeechDouble {

std::string SinePcm(double frequency, double seconds, double amplitude, int sampleRate)
{
    const auto samples = static_cast<size_t>(std::llround(seconds * sampleRate));
    std::string pcm(samples * 2, '\0');
    const double step = 2 * std::numbers::pi * frequency / sampleRate;
    for (size_t i = 0; i < samples; ++i) {
        const auto value = static_cast<int16_t>(std::lround(amplitude * std::sin(step * static_cast<double>(i))));
        const auto bits = static_cast<uint16_t>(value);
        pcm[2 * i] = static_cast<char>(bits & 0xFF);
        pcm[2 * i + 1] = static_cast<char>(bits >> 8);
    }
    return pcm;
}

}  // namespace SpeechDouble
