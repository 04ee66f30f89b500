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

std::string SegmentFileName(const std::string& inputCopy, int index)
{
    return inputCopy.substr(0, inputCopy.rfind('/') + 1) + std::to_string(index + 1) + ".pcm";
}

std::vector<std::string> BuildDecodeArguments(const std::string& inputCopy, int fromIndex)
{
    std::vector<std::string> arguments = {"-y"};
    if (fromIndex > 0) {
        const std::string start = FormatClock(fromIndex * kSegmentSeconds);
        arguments.insert(arguments.end(), {"-ss", start, "-copyts", "-i", inputCopy, "-ss", start});
    } else {
        arguments.insert(arguments.end(), {"-i", inputCopy});
    }
    arguments.insert(arguments.end(), {"-vn", "-sn", "-dn", "-acodec", "pcm_s16le", "-f", "s16le", "-ac", "1", "-ar", "16000", "pipe:1"});
    return arguments;
}

std::string ArgumentLine(const std::vector<std::string>& arguments)
{
    std::string line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0)
            line += ' ';
        const bool path = i > 0 && arguments[i - 1] == "-i";
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
