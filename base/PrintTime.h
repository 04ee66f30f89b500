#pragma once

#include <cstdint>
#include <string>

// Logs when a scope starts and how many milliseconds it took when it ends.
class PrintTime {
public:
    explicit PrintTime(std::string label);
    ~PrintTime();

    PrintTime(const PrintTime&) = delete;
    PrintTime& operator=(const PrintTime&) = delete;

private:
    std::string label_;
    uint32_t start_;
};
