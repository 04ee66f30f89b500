// The split of an ffmpeg argument line into the arguments of the child process, as the worker
// starts ffmpeg with it (the wide line made narrow, then split at blanks outside quotes).
#include "base/TextConvert.h"
#include "engine/FfmpegCommand.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::SetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring line = AnsiToWide(std::string(reinterpret_cast<const char*>(data), size));
    const std::string narrow = WideToAnsi(line);
    const std::vector<std::string> arguments = SplitArguments(narrow);

    // Every byte of the line is in exactly one argument, but the quotes and the separating
    // blanks; so no argument holds a quote, and the lengths add up to at most the line's.
    size_t total = 0;
    for (const std::string& argument : arguments) {
        FUZZ_CHECK(argument.find('"') == std::string::npos);
        total += argument.size();
    }
    const size_t quotes = static_cast<size_t>(std::count(narrow.begin(), narrow.end(), '"'));
    FUZZ_CHECK(total + quotes <= narrow.size());
    return 0;
}
