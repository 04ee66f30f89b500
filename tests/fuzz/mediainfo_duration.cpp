// The duration text libmediainfo gives for a file (wide characters, any value), as the playlist
// turns it into seconds, and what the seconds decide where the job manager takes them (at most
// its longest plan, an unknown duration as its substitute): the number of segments and the
// argument line of the last one, from which the worker recovers the segment file it reads.
#include "engine/TranscriptionJobs.h"
#include "engine/DurationText.h"
#include "engine/FfmpegCommand.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::SetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text(size / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
    const int seconds = DurationSecondsOfText(text);
    FUZZ_CHECK(seconds >= 0);

    if (seconds > TranscriptionJobs::kMaxPlannedSeconds)
        return 0;  // refused
    const int count = PlanSegmentCount(seconds < 1 ? TranscriptionJobs::kSubstituteSeconds : seconds);
    FUZZ_CHECK(count > 0);
    {
        const std::string copy = Fuzz::Folder() + "/job/input.mp3";
        FUZZ_CHECK(SegmentFileName(copy, count - 1) == Fuzz::Folder() + "/job/" + std::to_string(count) + ".pcm");
    }
    return 0;
}
