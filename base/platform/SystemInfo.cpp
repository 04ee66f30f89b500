#include "base/platform/SystemInfo.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace Platform {

uint32_t TickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

int CurrentThreadId()
{
    // Asked once per thread: the log prints it with every entry.
    thread_local const int id = static_cast<int>(gettid());
    return id;
}

int LastErrorCode()
{
    return errno;
}

void SetLastErrorCode(int code)
{
    errno = code;
}

std::string ErrorText(int code)
{
    char buffer[256] = {};
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    if (text == nullptr || *text == '\0')
        return "Unknown error " + std::to_string(code);
    return text;
}

}  // namespace Platform
