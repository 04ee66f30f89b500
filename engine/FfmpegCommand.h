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

// The ffmpeg argument line that cuts segment `index` (0-based) of the input copy into raw
// 16 kHz mono s16le PCM, written to the job folder as "<index + 1>.pcm", seeking in the input
// (the clocks come before "-i"). The two paths are
// quoted, so blanks in them survive. The last segment of a file (`lastSegment`) is cut with the
// overrun above.
std::wstring BuildSegmentCommand(const std::string& inputCopy, int index, bool lastSegment = false);

// The segment file an argument line writes: its last argument.
std::string SegmentFileOfCommand(const std::wstring& command);

// Splits an argument line at blanks outside double quotes; the quotes themselves are dropped.
std::vector<std::string> SplitArguments(const std::string& line);
