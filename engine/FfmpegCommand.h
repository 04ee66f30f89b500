#pragma once

#include <cstdint>
#include <string>
#include <vector>

// "%02d:%02d:%02d" of a number of seconds; hours may take more than two digits.
std::string FormatClock(int seconds);

// Every segment is this long, in seconds.
inline constexpr int kSegmentSeconds = 120;

// How many 120-second segments a file of `durationSeconds` is cut into: one per whole segment,
// plus one for a remainder of two seconds or more. Any positive duration gets at least one
// segment, so a very short file is not left waiting forever.
int PlanSegmentCount(int durationSeconds);

// A file's audio is cut into segments of exactly this many bytes (16 kHz, 16-bit mono).
inline constexpr int64_t kSegmentBytes = int64_t{kSegmentSeconds} * 32000;
// Audio left after the last whole segment that is shorter than this joins that segment instead
// of making one of its own: the plan drops such a remainder, and a service may refuse a sliver.
inline constexpr int kShortestSegmentSeconds = 2;

// The segment file of segment `index` (0-based) of a job: "<index + 1>.pcm" in the input copy's
// folder.
std::string SegmentFileName(const std::string& inputCopy, int index);

// The ffmpeg arguments that decode the input copy once, from the start of segment `fromIndex`
// to its end, into raw 16 kHz mono s16le PCM on standard output. From a later segment the seek
// goes before the input, so ffmpeg seeks in the input instead of decoding everything before it;
// the input keeps its own timestamps and the output drops what lies before the start again: a
// seek past the end of some inputs (Ogg) lands on their last page, which must not come out as
// audio. ffmpeg gets them as a list: a path may hold any character, quotes included.
std::vector<std::string> BuildDecodeArguments(const std::string& inputCopy, int fromIndex = 0);

// Arguments as one line, with the input path quoted, for people to read: a path holding a double
// quote would not split back into the same list.
std::string ArgumentLine(const std::vector<std::string>& arguments);

// Splits an argument line at blanks outside double quotes; the quotes themselves are dropped.
std::vector<std::string> SplitArguments(const std::string& line);
