#include "app/ProcessEnd.h"

#include "app/ProcessLog.h"
#include "base/LiveThreads.h"
#include "base/LogFile.h"
#include "base/net/CHttpRequest.h"
#include "engine/FfmpegProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <curl/curl.h>

namespace {

// Ended transfers return within about a second and stopped cuts at once; only a segment being
// decoded on this machine may take longer, and the user is not kept waiting for it.
constexpr auto kEndWait = std::chrono::seconds(5);

}  // namespace

bool StopBackgroundWork()
{
    PubUtils::StopRunningFfmpeg();
    CHttpRequest::StopAll();
    return LiveThreads::WaitUntilNone(kEndWait);
}

int EndProcess(int status)
{
    if (!StopBackgroundWork()) {
        WriteLog(Warning, "EndProcess", "%d threads still running after %lld s; the program ends without its clean-up",
                 LiveThreads::Count(), static_cast<long long>(kEndWait.count()));
        CloseProcessLog();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    curl_global_cleanup();
    return status;
}
