#pragma once

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

// The last segment's cut runs this much past its planned end. The probe rounds a duration down
// to whole seconds and the plan drops a remainder of one second, so without it the end of a
// recording would never be cut; ffmpeg stops at the end of the input anyway.
inline constexpr int kLastSegmentOverrunSeconds = 2;

// The ffmpeg arguments that cut segment `index` (0-based) of the input copy into raw 16 kHz mono
// s16le PCM, written to the job folder as "<index + 1>.pcm" (the last argument), seeking in the
// input (the clocks come before "-i"). The last segment of a file (`lastSegment`) is cut with the
// overrun above. ffmpeg gets them as a list: a path may hold any character, quotes included.
std::vector<std::string> BuildSegmentArguments(const std::string& inputCopy, int index, bool lastSegment = false);

// The same arguments as one line, with the two paths quoted, for people to read: a path holding a
// double quote would not split back into the same list.
std::string BuildSegmentCommand(const std::string& inputCopy, int index, bool lastSegment = false);
std::string ArgumentLine(const std::vector<std::string>& segmentArguments);

// Splits an argument line at blanks outside double quotes; the quotes themselves are dropped.
std::vector<std::string> SplitArguments(const std::string& line);
