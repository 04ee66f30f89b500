// The segment file the worker recovers from a segment's argument line: the line is built from
// the job's input copy and the segment's number (of the longest plan the job manager makes),
// and its last argument must name the file the cut writes, "<job folder>/<number>.pcm",
// whatever the copy's path holds.
#include "base/TextConvert.h"
#include "engine/CAudioConvert.h"
#include "engine/FfmpegCommand.h"
#include "tests/fuzz/FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::SetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    static const int kMostSegments = PlanSegmentCount(CAudioConvert::kMaxPlannedSeconds);
    const int index = input.ConsumeIntegralInRange<int>(0, kMostSegments - 1);
    const bool last = input.ConsumeBool();
    const std::string copy = input.ConsumeRemainingBytesAsString();

    const std::wstring command = BuildSegmentCommand(copy, index, last);
    const std::string recovered = SegmentFileOfCommand(command);
    // Paths are UTF-8; a copy path that is not (or that holds a quote, which the job folder's
    // name holds only when the data folder's does) is not one the program makes.
    const bool plainPath = WideToAnsi(AnsiToWide(copy)) == copy && copy.find('"') == std::string::npos;
    if (plainPath)
        FUZZ_CHECK(recovered == copy.substr(0, copy.rfind('/') + 1) + std::to_string(index + 1) + ".pcm");
    return 0;
}
