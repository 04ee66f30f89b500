#pragma once

#include <cstddef>
#include <cstdint>

// A request body produced piece by piece while it is sent, for bodies too big to hold whole
// beside the data they are made of. Its size is known beforehand, so the request carries the
// same Content-Length as if the body were one string.
class HttpBodySource {
public:
    virtual ~HttpBodySource() = default;
    virtual uint64_t Size() const = 0;
    // Copies the next bytes into `buffer` (at most `capacity`); 0 once everything was read.
    virtual size_t Read(char* buffer, size_t capacity) = 0;
    // Back to the first byte, when the transfer has to send the body again.
    virtual void Rewind() = 0;
    // True once reading or rewinding went wrong (a file that cannot be read): the transfer
    // then ends instead of sending a short body.
    virtual bool Failed() const { return false; }
};
