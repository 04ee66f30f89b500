#include "engine/PauseCuts.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {
constexpr size_t kFrame = 160;         // 10 ms at 16 kHz
constexpr size_t kQuietFrames = 20;    // the pause looked for: 200 ms
constexpr size_t kBridgedFrames = 33;  // a pause between words
constexpr size_t kShortestRunFrames = 10;
constexpr double kFloorRms = 60;       // about -55 dB of full scale
}  // namespace

std::vector<std::pair<size_t, size_t>> SpeechRuns(const int16_t* samples, size_t count)
{
    const size_t frames = count / kFrame;
    std::vector<double> rms(frames);
    for (size_t f = 0; f < frames; ++f) {
        double sum = 0;
        for (size_t i = f * kFrame; i < (f + 1) * kFrame; ++i)
            sum += static_cast<double>(samples[i]) * samples[i];
        rms[f] = std::sqrt(sum / kFrame);
    }
    // The loud frames' level: the 90th percentile, which a few clicks do not move.
    std::vector<double> sorted = rms;
    double loud = 0;
    if (!sorted.empty()) {
        const auto at = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() * 9 / 10);
        std::nth_element(sorted.begin(), at, sorted.end());
        loud = *at;
    }
    const double threshold = std::max(kFloorRms, loud / 20);
    std::vector<std::pair<size_t, size_t>> runs;  // in frames first
    for (size_t f = 0; f < frames; ++f) {
        if (rms[f] < threshold)
            continue;
        if (!runs.empty() && f - runs.back().second <= kBridgedFrames)
            runs.back().second = f + 1;
        else
            runs.emplace_back(f, f + 1);
    }
    std::vector<std::pair<size_t, size_t>> ranges;
    for (const auto& [begin, end] : runs) {
        if (end - begin >= kShortestRunFrames)
            ranges.emplace_back(begin * kFrame, std::min(end * kFrame, count));
    }
    return ranges;
}

std::vector<std::pair<size_t, size_t>> CutAtPauses(const int16_t* samples, size_t count, size_t maxSamples)
{
    std::vector<std::pair<size_t, size_t>> pieces;
    maxSamples = std::max(maxSamples, 2 * kFrame * kQuietFrames);
    // Energy up to each frame boundary, so any window's energy is one subtraction.
    const size_t frames = count / kFrame;
    std::vector<double> energy(frames + 1, 0.0);
    for (size_t f = 0; f < frames; ++f) {
        double sum = 0;
        for (size_t i = f * kFrame; i < (f + 1) * kFrame; ++i)
            sum += static_cast<double>(samples[i]) * samples[i];
        energy[f + 1] = energy[f] + sum;
    }
    size_t begin = 0;
    while (count - begin > maxSamples) {
        // Frame-aligned candidates for the middle of the pause, in the piece's second half.
        const size_t first = (begin + maxSamples / 2) / kFrame;
        const size_t last = (begin + maxSamples) / kFrame - kQuietFrames;
        size_t best = last;
        double quietest = -1;
        for (size_t f = first; f <= last && f + kQuietFrames <= frames; ++f) {
            const double window = energy[f + kQuietFrames] - energy[f];
            if (quietest < 0 || window < quietest) {
                quietest = window;
                best = f;
            }
        }
        const size_t cut = (best + kQuietFrames / 2) * kFrame;
        pieces.emplace_back(begin, cut);
        begin = cut;
    }
    if (begin < count)
        pieces.emplace_back(begin, count);
    return pieces;
}
