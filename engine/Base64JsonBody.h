#pragma once

#include "base/net/HttpBodySource.h"

#include <string>
#include <string_view>

// JSON text with one string member holding the Base64 of some bytes, produced while it is sent:
// the text before the member's value, the Base64 encoded a block at a time, the text after it.
// A segment's request then holds the raw audio and a few kilobytes instead of the audio, its
// Base64 text and the whole body at once. The bytes are exactly those of the body written whole.
class Base64JsonBody : public HttpBodySource {
public:
    // `before` ends with the value's opening quote and `after` starts with its closing quote;
    // `bytes` must outlive the body.
    Base64JsonBody(std::string before, std::string_view bytes, std::string after);

    uint64_t Size() const override;
    size_t Read(char* buffer, size_t capacity) override;
    void Rewind() override;

private:
    std::string before_;
    std::string_view bytes_;
    std::string after_;
    uint64_t position_ = 0;
    // Encoded text of the block being sent, and how far it went.
    std::string block_;
    size_t blockSent_ = 0;
    size_t nextByte_ = 0;
};
