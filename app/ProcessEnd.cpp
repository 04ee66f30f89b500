#include "app/ProcessEnd.h"

#include "app/ProcessLog.h"
#include "base/LiveThreads.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "engine/FfmpegProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <curl/curl.h>

namespace {

// Ended transfers return within about a second, stopped cuts at once, a local decoding after the
// piece of speech under way (a few seconds); a thread that still runs after this is not waited for.
constexpr auto kEndWait = std::chrono::seconds(5);

}  // namespace

bool StopBackgroundWork()
{
    Ffmpeg::StopRunningFfmpeg();
    LiveThreads::AskAllToEnd();
    return LiveThreads::WaitUntilNone(kEndWait);
}

int EndProcess(int status)
{
    if (!StopBackgroundWork()) {
        WriteLog(Warning, LogTag::kEndProcess, "%d threads still running after %lld s; the program ends without its clean-up",
                 LiveThreads::Count(), static_cast<long long>(kEndWait.count()));
        CloseProcessLog();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    curl_global_cleanup();
    return status;
}
