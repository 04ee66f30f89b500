#pragma once

#include <string>

// The decoder library (libpocketsphinx with libsphinxbase) is opened on the first call into it,
// not when the program starts (see LibPocketSphinx.cpp). True when it is open and complete;
// otherwise false, with the reason in `why`.
bool PocketSphinxLoads(std::string* why);
