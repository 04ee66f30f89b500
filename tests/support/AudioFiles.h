#pragma once

#include <string>
#include <vector>

namespace TestSupport {

// Writes an audio file with real ffmpeg: `seconds` of audio made of consecutive tones, one per
// entry of `tones` (Hz), each `toneSeconds` long (the last one fills the rest). The container
// follows the file's extension unless `format` names one.
bool MakeToneFile(const std::string& path, double seconds, const std::vector<int>& tones, double toneSeconds,
                  const std::string& format = "");

// A tone sounding from `start` to `end` seconds.
struct ToneRun {
    double start = 0;
    double end = 0;
    int hertz = 0;
};

// Writes an audio file with real ffmpeg: `seconds` of silence with the runs sounding in it.
bool MakeToneRunsFile(const std::string& path, double seconds, const std::vector<ToneRun>& runs);

// Writes a WAV file holding raw 16 kHz mono signed 16-bit little-endian samples (the form of
// the speech decoder's recorded test data), so the program can take them like any recording.
bool MakeWavFromRaw(const std::string& raw, const std::string& wav);

}  // namespace TestSupport
