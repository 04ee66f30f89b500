#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace SpeechDouble {

// One stretch of a steady tone, as the transcription endpoint answers it in a segment.
struct ToneRun {
    double start = 0;      // seconds from the first sample
    double end = 0;
    double frequency = 0;  // EstimateTone of the run's samples
    std::string text;      // ToneText of that estimate: "tone 440"
};

// The steady tones of raw signed 16-bit little-endian mono PCM, in order. The audio is read in
// 20-millisecond frames: a frame below kSilenceRms is silence, a sounding frame's pitch comes
// from the spacing of its zero crossings, and neighbouring sounding frames whose pitch stays
// within 3 % of their run's belong to that run; a change of pitch or a silence ends it. Ends
// next to silence are then placed on the first and last loud sample, ends between two tones in
// the middle of the period where the pitch changes: a clean tone's start and end come out
// within a millisecond of the truth next to silence, within half a period next to another tone.
// Runs shorter than 0.1 seconds are left out. Linear in the audio's length (a 120-second
// segment: a few milliseconds, plus EstimateTone per run, some tens of milliseconds in all).
std::vector<ToneRun> FindToneRuns(std::string_view pcm, int sampleRate = 16000);

}  // namespace SpeechDouble
