#pragma once

#include "base/net/HttpBodySource.h"

#include <array>
#include <cstdint>
#include <string_view>

// A segment's raw audio (16 kHz, mono, signed 16-bit little-endian) as a WAV file, produced
// while it is sent: the 44-byte RIFF header, then the samples read from where they already are,
// so an upload never holds a second copy of two minutes of audio.
class WavBody : public HttpBodySource {
public:
    static constexpr uint32_t kSampleRate = 16000;
    static constexpr size_t kHeaderBytes = 44;

    // `pcm` must outlive the body; an odd trailing byte is left out (no half sample).
    explicit WavBody(std::string_view pcm);

    uint64_t Size() const override;
    size_t Read(char* buffer, size_t capacity) override;
    void Rewind() override { position_ = 0; }

    // The header for that many bytes of samples.
    static std::array<char, kHeaderBytes> Header(uint32_t pcmBytes);

private:
    std::array<char, kHeaderBytes> header_;
    std::string_view pcm_;
    uint64_t position_ = 0;
};
