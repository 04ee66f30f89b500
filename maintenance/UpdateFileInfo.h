#pragma once

#include <array>
#include <cstdint>
#include <string>

// One file of an installation, as the local scan or a manifest describes it.
struct UpdateFileInfo {
    std::string fullPath;  // program folder + "/" + relPath
    std::string relPath;   // path relative to the program folder
    uint32_t size = 0;
    std::array<uint8_t, 20> digest{};  // SHA-1 of the content
};
