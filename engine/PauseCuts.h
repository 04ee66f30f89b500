#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// Where a long stretch of speech is cut into pieces a decoder can take as single utterances:
// each piece at most `maxSamples` long and, when it has to end early, ending in the quietest
// fifth of a second of its second half, which in speech is a pause between words. Returns
// [begin, end) sample ranges covering all `count` samples in order; none for no samples.
std::vector<std::pair<size_t, size_t>> CutAtPauses(const int16_t* samples, size_t count, size_t maxSamples);

// Where something sounds: [begin, end) sample ranges in order, pauses shorter than a third of a
// second between words bridged, blips shorter than a tenth of a second left out. A frame sounds
// when it is louder than a twentieth of the recording's loud frames (and than a floor far below
// speech), so a quiet recording is measured against itself.
std::vector<std::pair<size_t, size_t>> SpeechRuns(const int16_t* samples, size_t count);
