// The arguments a decoder run gets and the segment files it writes: built from the job's input
// copy and a segment's number (of the longest plan the job manager makes), they must hand ffmpeg
// the copy as it is and name "<job folder>/<number>.pcm", whatever the copy's path holds.
#include "engine/TranscriptionJobs.h"
#include "engine/FfmpegCommand.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
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
    const std::string copy = input.ConsumeRemainingBytesAsString();

    const std::vector<std::string> arguments = BuildDecodeArguments(copy, index);
    const auto in = std::find(arguments.begin(), arguments.end(), "-i");
    FUZZ_CHECK(in != arguments.end() && in + 1 != arguments.end() && *(in + 1) == copy);
    FUZZ_CHECK(arguments.back() == "pipe:1");
    FUZZ_CHECK(SegmentFileName(copy, index) == copy.substr(0, copy.rfind('/') + 1) + std::to_string(index + 1) + ".pcm");
    // The line the log shows is made whatever the path holds.
    FUZZ_CHECK(!ArgumentLine(arguments).empty());
    return 0;
}
