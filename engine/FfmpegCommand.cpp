#include "engine/FfmpegCommand.h"


#include <cstdio>

std::string FormatClock(int seconds)
{
    char buffer[128] = {};
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", seconds / 3600, (seconds % 3600) / 60, seconds % 60);
    return buffer;
}

int PlanSegmentCount(int durationSeconds)
{
    if (durationSeconds <= 0)
        return 0;
    const int count = durationSeconds / kSegmentSeconds + (durationSeconds % kSegmentSeconds >= 2 ? 1 : 0);
    return count > 0 ? count : 1;
}

std::vector<std::string> BuildSegmentArguments(const std::string& inputCopy, int index, bool lastSegment)
{
    const std::string start = FormatClock(index * kSegmentSeconds);
    const std::string end =
        FormatClock(index * kSegmentSeconds + kSegmentSeconds + (lastSegment ? kLastSegmentOverrunSeconds : 0));
    const std::string segmentFile = inputCopy.substr(0, inputCopy.rfind('/') + 1) + std::to_string(index + 1) + ".pcm";
    // The seek goes before the input, so ffmpeg seeks in the input instead of decoding everything
    // before the segment and throwing it away: cutting a whole file then costs time in
    // proportion to its length, not to the square of it, with the same samples. The input keeps
    // its own timestamps and the output drops what lies before the start again: a seek past the
    // end of some inputs (Ogg) lands on their last page, which must not come out as a segment.
    return {"-y",      "-ss",       start, "-to", end,   "-copyts", "-i",   inputCopy, "-ss",
            start,     "-acodec",   "pcm_s16le", "-f", "s16le", "-ac", "1", "-ar", "16000", segmentFile};
}

std::string BuildSegmentCommand(const std::string& inputCopy, int index, bool lastSegment)
{
    return ArgumentLine(BuildSegmentArguments(inputCopy, index, lastSegment));
}

std::string ArgumentLine(const std::vector<std::string>& arguments)
{
    std::string line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0)
            line += ' ';
        // The input copy and the segment file are the paths.
        const bool path = i + 1 == arguments.size() || (i > 0 && arguments[i - 1] == "-i");
        line += path ? "\"" + arguments[i] + "\"" : arguments[i];
    }
    return line;
}

std::vector<std::string> SplitArguments(const std::string& line)
{
    std::vector<std::string> arguments;
    std::string current;
    bool quoted = false;
    bool inArgument = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (c == ' ' && !quoted) {
            if (inArgument)
                arguments.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current.push_back(c);
            inArgument = true;
        }
    }
    if (inArgument)
        arguments.push_back(current);
    return arguments;
}
