#pragma once

#include <string>

// Audio durations from libmediainfo, loaded at run time ("libmediainfo.so.0"), so the program
// starts and works without it (every duration is then 0).

// 1 when the library and all 28 entry points of its interface are there, -1 otherwise. A
// failed load is tried again by the next probe.
int LoadMediaInfoLibrary();

// The first audio stream's "Duration" in whole seconds; 0 when nothing can be learned (no
// library, no such file, no audio). Safe from any thread.
int ProbeAudioDuration(const std::string& path);
