#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

// A field of /proc/self/status in KiB ("VmRSS" now, "VmHWM" the peak); -1 when it is not there.
inline long StatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::atol(line.c_str() + prefix.size());
    }
    return -1;
}
