#include "engine/WavBody.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

void PutLittleEndian(char* at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

WavBody::WavBody(std::string_view pcm)
{
    // RIFF sizes are 32 bits; a segment is a few megabytes, so only a broken caller gets near it.
    const size_t limit = std::numeric_limits<uint32_t>::max() - kHeaderBytes;
    pcm_ = pcm.substr(0, std::min(pcm.size(), limit) & ~static_cast<size_t>(1));
    header_ = Header(static_cast<uint32_t>(pcm_.size()));
}

std::array<char, WavBody::kHeaderBytes> WavBody::Header(uint32_t pcmBytes)
{
    std::array<char, kHeaderBytes> header{};
    char* h = header.data();
    std::memcpy(h, "RIFF", 4);
    PutLittleEndian(h + 4, pcmBytes + static_cast<uint32_t>(kHeaderBytes) - 8, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLittleEndian(h + 16, 16, 4);              // the fmt chunk's size
    PutLittleEndian(h + 20, 1, 2);               // integer PCM
    PutLittleEndian(h + 22, 1, 2);               // one channel
    PutLittleEndian(h + 24, kSampleRate, 4);
    PutLittleEndian(h + 28, kSampleRate * 2, 4); // bytes per second
    PutLittleEndian(h + 32, 2, 2);               // bytes per sample frame
    PutLittleEndian(h + 34, 16, 2);              // bits per sample
    std::memcpy(h + 36, "data", 4);
    PutLittleEndian(h + 40, pcmBytes, 4);
    return header;
}

uint64_t WavBody::Size() const
{
    return kHeaderBytes + pcm_.size();
}

size_t WavBody::Read(char* buffer, size_t capacity)
{
    size_t written = 0;
    if (position_ < kHeaderBytes) {
        written = std::min<size_t>(capacity, kHeaderBytes - position_);
        std::memcpy(buffer, header_.data() + position_, written);
        position_ += written;
    }
    if (written < capacity && position_ >= kHeaderBytes) {
        const size_t from = position_ - kHeaderBytes;
        const size_t n = std::min(capacity - written, pcm_.size() - std::min(from, pcm_.size()));
        std::memcpy(buffer + written, pcm_.data() + from, n);
        written += n;
        position_ += n;
    }
    return written;
}
