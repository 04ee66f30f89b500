// The arguments a segment's cut gets: built from the job's input copy and the segment's number
// (of the longest plan the job manager makes), they must hand ffmpeg the copy as it is and name
// the file the cut writes, "<job folder>/<number>.pcm", whatever the copy's path holds.
#include "engine/TranscriptionJobs.h"
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
    static const int kMostSegments = PlanSegmentCount(TranscriptionJobs::kMaxPlannedSeconds);
    const int index = input.ConsumeIntegralInRange<int>(0, kMostSegments - 1);
    const bool last = input.ConsumeBool();
    const std::string copy = input.ConsumeRemainingBytesAsString();

    const std::vector<std::string> arguments = BuildSegmentArguments(copy, index, last);
    FUZZ_CHECK(arguments.size() > 8 && arguments[6] == "-i" && arguments[7] == copy);
    FUZZ_CHECK(arguments.back() == copy.substr(0, copy.rfind('/') + 1) + std::to_string(index + 1) + ".pcm");
    // The line the log shows is made whatever the path holds.
    FUZZ_CHECK(!BuildSegmentCommand(copy, index, last).empty());
    return 0;
}
