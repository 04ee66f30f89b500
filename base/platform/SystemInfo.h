#pragma once

#include <cstdint>
#include <string>

// Thin stand-ins for the few kernel services the rest of the program asks for by their
// Windows names: thread identity, a millisecond tick counter and the "last error" slot.
namespace Platform {

// Milliseconds from CLOCK_MONOTONIC, cut to 32 bits; it wraps like GetTickCount, so callers
// must subtract in unsigned 32-bit arithmetic.
uint32_t TickCount();

// Kernel thread ID of the calling thread (what the log prints for each entry).
int CurrentThreadId();

// The calling thread's last error code (errno) and a way to clear or set it.
int LastErrorCode();
void SetLastErrorCode(int code);

// Human-readable text of an error code; never empty.
std::string ErrorText(int code);

}  // namespace Platform
