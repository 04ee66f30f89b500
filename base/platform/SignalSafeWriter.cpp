#include "base/platform/SignalSafeWriter.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace Platform {

SignalSafeWriter& SignalSafeWriter::Text(const char* text)
{
    if (text != nullptr)
        Text(text, std::strlen(text));
    return *this;
}

SignalSafeWriter& SignalSafeWriter::Text(const char* text, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        Put(text[i]);
    return *this;
}

SignalSafeWriter& SignalSafeWriter::Decimal(long long value)
{
    char digits[24];
    int count = 0;
    // Work on the unsigned magnitude so the most negative value does not overflow.
    unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        Put('-');
    while (count > 0)
        Put(digits[--count]);
    return *this;
}

SignalSafeWriter& SignalSafeWriter::Hex(uint64_t value, int digits)
{
    static const char kDigits[] = "0123456789abcdef";
    char text[16];
    int count = 0;
    do {
        text[count++] = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    Put('0');
    Put('x');
    for (int pad = count; pad < digits && pad < 16; ++pad)
        Put('0');
    while (count > 0)
        Put(text[--count]);
    return *this;
}

void SignalSafeWriter::Put(char c)
{
    if (used_ == sizeof buffer_)
        Flush();
    buffer_[used_++] = c;
}

bool SignalSafeWriter::Flush()
{
    size_t done = 0;
    while (done < used_ && !failed_) {
        const ssize_t wrote = write(fd_, buffer_ + done, used_ - done);
        if (wrote > 0) {
            done += static_cast<size_t>(wrote);
        } else if (wrote < 0 && errno == EINTR) {
            continue;
        } else {
            failed_ = true;
            error_ = wrote < 0 ? errno : ENOSPC;
        }
    }
    // A failed writer drops the rest rather than retrying forever after a fault.
    used_ = 0;
    return !failed_;
}

bool AppendBounded(char* dest, size_t capacity, const char* text)
{
    const size_t have = std::strlen(dest);
    const size_t add = std::strlen(text);
    if (have + add + 1 > capacity)
        return false;
    std::memcpy(dest + have, text, add + 1);
    return true;
}

}  // namespace Platform
