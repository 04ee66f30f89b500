#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The big files the UI-stall benchmark adds: ten 1-GiB WAV files (44.1 kHz, 16-bit stereo, a tone
// under noise, about 101 minutes each) and one Matroska video of at least 4 GiB (MPEG-4 part 2
// and AAC at about 11 Mbit/s, about 50 minutes). They are made in a folder, or taken from it
// when an earlier run left them there complete; a file is written under a temporary name and
// renamed once whole, so an interrupted run never leaves a short file behind under the real name.
namespace BigMediaFiles {

constexpr uint64_t kAudioBytes = uint64_t{1} << 30;
constexpr uint64_t kVideoBytes = uint64_t{4} << 30;
constexpr int kAudioFiles = 10;

// The paths in the order they are added (the audio files, then the video); empty, after a
// message on standard error, when one could not be made.
std::vector<std::string> Prepare(const std::string& folder);

// The bytes they still need in `folder` (0 for those already there).
uint64_t MissingBytes(const std::string& folder);

// Writes the file's dirty pages and drops it from the page cache, so it is read from the disk as
// a file the user brings for the first time would be.
void DropFromCache(const std::string& path);

}  // namespace BigMediaFiles
