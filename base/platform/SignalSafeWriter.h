#pragma once

#include <cstddef>
#include <cstdint>

// Text output for code that runs after a fault, inside a signal handler: no allocation, no locks
// and no stdio, only write() on a file descriptor from a fixed buffer.
namespace Platform {

class SignalSafeWriter {
public:
    explicit SignalSafeWriter(int fd) : fd_(fd) {}
    ~SignalSafeWriter() { Flush(); }
    SignalSafeWriter(const SignalSafeWriter&) = delete;
    SignalSafeWriter& operator=(const SignalSafeWriter&) = delete;

    SignalSafeWriter& Text(const char* text);
    SignalSafeWriter& Text(const char* text, size_t length);
    SignalSafeWriter& Decimal(long long value);
    // "0x" and at least `digits` hexadecimal digits.
    SignalSafeWriter& Hex(uint64_t value, int digits = 16);

    // Writes out what is buffered. Returns false once any write has failed.
    bool Flush();
    bool Failed() const { return failed_; }
    // errno of the first failed write.
    int Error() const { return error_; }

private:
    void Put(char c);

    int fd_;
    char buffer_[1024];
    size_t used_ = 0;
    bool failed_ = false;
    int error_ = 0;
};

// Appends `text` to the zero-terminated `dest` of `capacity` bytes. Returns false, leaving dest
// unchanged, when it would not fit. Async-signal-safe.
bool AppendBounded(char* dest, size_t capacity, const char* text);

}  // namespace Platform
