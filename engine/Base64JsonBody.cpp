#include "engine/Base64JsonBody.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>

namespace {

// Input bytes encoded at a time: a multiple of three, so that no padding falls inside the text.
constexpr size_t kBlockBytes = 48 * 1024;

uint64_t EncodedSize(size_t bytes)
{
    return (static_cast<uint64_t>(bytes) + 2) / 3 * 4;
}

}  // namespace

Base64JsonBody::Base64JsonBody(std::string before, std::string_view bytes, std::string after)
    : before_(std::move(before)), bytes_(bytes), after_(std::move(after))
{
}

uint64_t Base64JsonBody::Size() const
{
    return before_.size() + EncodedSize(bytes_.size()) + after_.size();
}

size_t Base64JsonBody::Read(char* buffer, size_t capacity)
{
    size_t written = 0;
    const auto copy = [&](const char* from, size_t available) {
        const size_t n = std::min(available, capacity - written);
        std::memcpy(buffer + written, from, n);
        written += n;
        return n;
    };
    while (written < capacity) {
        if (position_ < before_.size()) {
            position_ += copy(before_.data() + position_, before_.size() - position_);
            continue;
        }
        const uint64_t encodedEnd = before_.size() + EncodedSize(bytes_.size());
        if (position_ < encodedEnd) {
            if (blockSent_ == block_.size()) {
                const size_t n = std::min(kBlockBytes, bytes_.size() - nextByte_);
                block_.resize(EncodedSize(n) + 1);  // the encoder ends its text with a NUL
                EVP_EncodeBlock(reinterpret_cast<unsigned char*>(block_.data()),
                                reinterpret_cast<const unsigned char*>(bytes_.data() + nextByte_), static_cast<int>(n));
                block_.resize(EncodedSize(n));
                nextByte_ += n;
                blockSent_ = 0;
            }
            const size_t n = copy(block_.data() + blockSent_, block_.size() - blockSent_);
            blockSent_ += n;
            position_ += n;
            continue;
        }
        const uint64_t afterAt = position_ - encodedEnd;
        if (afterAt >= after_.size())
            break;
        position_ += copy(after_.data() + afterAt, after_.size() - afterAt);
    }
    return written;
}

void Base64JsonBody::Rewind()
{
    position_ = 0;
    block_.clear();
    blockSent_ = 0;
    nextByte_ = 0;
}
