#include "speech_double/ToneDetector.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

namespace SpeechDouble {

namespace {

constexpr size_t kFrame = 16384;
constexpr size_t kMaxFrames = 32;
constexpr double kLowestHz = 20.0;

int16_t SampleAt(std::string_view pcm, size_t index)
{
    const auto low = static_cast<unsigned char>(pcm[2 * index]);
    const auto high = static_cast<unsigned char>(pcm[2 * index + 1]);
    return static_cast<int16_t>(static_cast<uint16_t>(low | (high << 8)));
}

// In-place iterative radix-2 FFT; `data.size()` is a power of two.
void Fft(std::vector<std::complex<double>>& data, const std::vector<std::complex<double>>& twiddles)
{
    const size_t n = data.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(data[i], data[j]);
    }
    for (size_t length = 2; length <= n; length <<= 1) {
        const size_t stride = n / length;
        for (size_t start = 0; start < n; start += length) {
            for (size_t k = 0; k < length / 2; ++k) {
                const std::complex<double> odd = data[start + k + length / 2] * twiddles[k * stride];
                data[start + k + length / 2] = data[start + k] - odd;
                data[start + k] += odd;
            }
        }
    }
}

}  // namespace

ToneEstimate EstimateTone(std::string_view pcm, int sampleRate)
{
    ToneEstimate tone;
    tone.samples = pcm.size() / 2;
    if (tone.samples == 0 || sampleRate <= 0)
        return tone;

    double energy = 0;
    for (size_t i = 0; i < tone.samples; ++i) {
        const double s = SampleAt(pcm, i);
        energy += s * s;
    }
    tone.rms = std::sqrt(energy / static_cast<double>(tone.samples));

    std::vector<double> window(kFrame);
    for (size_t k = 0; k < kFrame; ++k)
        window[k] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(k) / (kFrame - 1));
    std::vector<std::complex<double>> twiddles(kFrame / 2);
    for (size_t k = 0; k < kFrame / 2; ++k)
        twiddles[k] = std::polar(1.0, -2 * std::numbers::pi * static_cast<double>(k) / kFrame);

    // Frames start evenly spread from the first sample to the last full frame; short audio is
    // one zero-padded frame.
    const size_t used = std::min(tone.samples, kFrame);
    const size_t frames = std::clamp<size_t>(tone.samples / kFrame, 1, kMaxFrames);
    const size_t lastStart = tone.samples - used;
    std::vector<double> power(kFrame / 2 + 1, 0.0);
    std::vector<std::complex<double>> data(kFrame);
    for (size_t f = 0; f < frames; ++f) {
        const size_t start = frames == 1 ? 0 : lastStart * f / (frames - 1);
        double mean = 0;
        for (size_t k = 0; k < used; ++k)
            mean += SampleAt(pcm, start + k);
        mean /= static_cast<double>(used);
        for (size_t k = 0; k < kFrame; ++k)
            data[k] = k < used ? (SampleAt(pcm, start + k) - mean) * window[k] : 0.0;
        Fft(data, twiddles);
        for (size_t k = 0; k <= kFrame / 2; ++k)
            power[k] += std::norm(data[k]);
    }

    const double binHz = static_cast<double>(sampleRate) / kFrame;
    const size_t first = std::max<size_t>(1, static_cast<size_t>(std::ceil(kLowestHz / binHz)));
    if (first >= kFrame / 2)
        return tone;  // at so low a sample rate nothing above kLowestHz can be told
    size_t peak = first;
    for (size_t k = first; k < kFrame / 2; ++k) {
        if (power[k] > power[peak])
            peak = k;
    }
    double offset = 0;
    const double a = power[peak - 1];
    const double b = power[peak];
    const double c = power[peak + 1];
    if (a > 0 && b > 0 && c > 0) {
        // A parabola through the logarithms of the peak and its neighbours.
        const double la = std::log(a), lb = std::log(b), lc = std::log(c);
        const double denominator = la - 2 * lb + lc;
        if (denominator < 0)
            offset = std::clamp(0.5 * (la - lc) / denominator, -0.5, 0.5);
    }
    tone.frequency = (static_cast<double>(peak) + offset) * binHz;
    return tone;
}

std::string ToneText(const ToneEstimate& tone)
{
    return "tone " + std::to_string(std::lround(tone.frequency));
}

}  // namespace SpeechDouble
