#include "speech_double/PcmWave.h"

#include <cstdint>

namespace SpeechDouble {

namespace {

constexpr size_t kHeaderBytes = 44;
constexpr uint32_t kSampleRate = 16000;

uint32_t Little(std::string_view bytes, size_t at, size_t width)
{
    uint32_t value = 0;
    for (size_t i = width; i > 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i - 1]);
    return value;
}

bool Expect(std::string_view what, uint32_t found, uint32_t wanted, std::string& error)
{
    if (found == wanted)
        return true;
    error = "the WAV header's " + std::string(what) + " is " + std::to_string(found) + ", not " + std::to_string(wanted);
    return false;
}

}  // namespace

bool ReadPcmWave(std::string_view file, PcmWave& wave, std::string& error)
{
    wave = {};
    if (file.size() < kHeaderBytes) {
        error = "the file has " + std::to_string(file.size()) + " bytes, fewer than a WAV header";
        return false;
    }
    wave.pcm = file.substr(kHeaderBytes);
    if (file.substr(0, 4) != "RIFF" || file.substr(8, 8) != "WAVEfmt ") {
        error = "the file is not a WAV file (no RIFF, WAVE and fmt chunk at its start)";
        return false;
    }
    wave.sampleRate = static_cast<int>(Little(file, 24, 4));
    if (!Expect("RIFF size", Little(file, 4, 4), static_cast<uint32_t>(file.size() - 8), error) ||
        !Expect("fmt chunk size", Little(file, 16, 4), 16, error) ||
        !Expect("format", Little(file, 20, 2), 1, error) || !Expect("channel count", Little(file, 22, 2), 1, error) ||
        !Expect("sample rate", Little(file, 24, 4), kSampleRate, error) ||
        !Expect("byte rate", Little(file, 28, 4), 2 * kSampleRate, error) ||
        !Expect("block align", Little(file, 32, 2), 2, error) ||
        !Expect("bits per sample", Little(file, 34, 2), 16, error))
        return false;
    if (file.substr(36, 4) != "data") {
        error = "the WAV header has no data chunk right after the fmt chunk";
        return false;
    }
    if (!Expect("data size", Little(file, 40, 4), static_cast<uint32_t>(wave.pcm.size()), error))
        return false;
    if (wave.pcm.size() % 2 != 0) {
        error = "the audio has an odd number of bytes";
        return false;
    }
    return true;
}

}  // namespace SpeechDouble
