#pragma once

#include <string>

// One word the decoder heard, in seconds from the start of the audio it was given.
struct HeardWord {
    double start = 0;
    double end = 0;
    std::string text;
};
