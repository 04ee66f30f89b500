#include "engine/PauseCuts.h"

#include <algorithm>

namespace {
constexpr size_t kFrame = 160;         // 10 ms at 16 kHz
constexpr size_t kQuietFrames = 20;    // the pause looked for: 200 ms
}  // namespace

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
