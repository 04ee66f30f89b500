#pragma once

#include <string>

namespace SpeechDouble {

// Raw signed 16-bit little-endian mono PCM of a sine: what ffmpeg's "sine" source gives after
// "-acodec pcm_s16le -f s16le -ac 1 -ar 16000". 120 seconds make one full 3,840,000-byte segment.
std::string SinePcm(double frequency, double seconds, double amplitude = 8000.0, int sampleRate = 16000);

}  // namespace SpeechDouble
