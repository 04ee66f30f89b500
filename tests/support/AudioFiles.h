#pragma once

#include <string>
#include <vector>

namespace TestSupport {

// Writes an audio file with real ffmpeg: `seconds` of audio made of consecutive tones, one per
// entry of `tones` (Hz), each `toneSeconds` long (the last one fills the rest). The container
// follows the file's extension unless `format` names one.
bool MakeToneFile(const std::string& path, double seconds, const std::vector<int>& tones, double toneSeconds,
                  const std::string& format = "");

}  // namespace TestSupport
