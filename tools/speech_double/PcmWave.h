#pragma once

#include <string>
#include <string_view>

namespace SpeechDouble {

// What the header of a WAV file says, and the bytes after it.
struct PcmWave {
    int sampleRate = 0;     // 0 when the file does not start with RIFF....WAVEfmt<space>
    std::string_view pcm;   // everything after the 44-byte header
};

// Reads a WAV file in the one layout a transcription request may carry: "RIFF", the RIFF size
// (the file's length minus 8), "WAVE", a 16-byte "fmt " chunk of PCM (format 1), 1 channel,
// 16000 Hz, 32000 bytes a second, 2-byte blocks, 16 bits, then the "data" chunk holding every
// remaining byte, an even number of them. False, with `error` saying what differs, otherwise;
// `wave` is filled in as far as the file can be read either way.
bool ReadPcmWave(std::string_view file, PcmWave& wave, std::string& error);

}  // namespace SpeechDouble
