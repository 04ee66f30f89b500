// Child process for the tests of the application context's exit sequence, which disarms the
// process-wide crash handler and moves the process-wide temporary folder: it arms the handler,
// puts a job file into "Temp", runs PostAppExit with a window that records what it receives
// and what had happened by then, and finally faults, which must now end the process by its
// signal without a report.
#include "base/AppPaths.h"
#include "base/CMiniDumpHandler.h"
#include "base/LogFile.h"
#include "base/platform/AppFolders.h"
#include "base/platform/WindowHandle.h"
#include "engine/CData.h"
#include "support/TestSupport.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

volatile uintptr_t g_badAddress = 0x10;

namespace {

bool Exists(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class RecordingWindow : public WindowHandle {
public:
    explicit RecordingWindow(std::string logPath, std::string marker, std::string movedMarker)
        : logPath_(std::move(logPath)), marker_(std::move(marker)), movedMarker_(std::move(movedMarker))
    {
    }

    bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        std::printf("post=%u,%#lx,%ld\n", message, static_cast<unsigned long>(wParam), static_cast<long>(lParam));
        std::printf("armed-at-post=%d\n", CMiniDumpHandler::IsArmed() ? 1 : 0);
        std::printf("temp-left-at-post=%d\n", Exists(marker_) ? 1 : 0);
        std::printf("temp-moved-at-post=%d\n", Exists(movedMarker_) ? 1 : 0);
        std::printf("logged-at-post=%d\n", ReadAll(logPath_).find(TestSupport::LogEntry("CData::PostAppExit", "app exit")) != std::string::npos ? 1 : 0);
        std::fflush(stdout);
        return true;
    }
    bool PostOwned(uint32_t message, uintptr_t wParam, std::unique_ptr<WindowPayload>) override
    {
        return PostMessage(message, wParam, 0);
    }

private:
    std::string logPath_;
    std::string marker_;
    std::string movedMarker_;
};

}  // namespace

int main()
{
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    const std::string appData = PubUtils::GetAppDataDir();
    CLogFile log(appData + "/Talvora.log", CLogFile::ProcessWide);
    CMiniDumpHandler handler(false, appData + "/crashDumps");

    const std::string job = PubUtils::GetTempDir() + "/job";
    mkdir(job.c_str(), 0700);
    std::ofstream(job + "/1.pcm") << "pcm";
    const std::string moved = Platform::UserTempFolder() + "/Temp/job/1.pcm";

    CData& data = CData::Instance();
    data.SetMainWnd(std::make_shared<RecordingWindow>(appData + "/Talvora.log", job + "/1.pcm", moved));
    std::printf("armed-before=%d\n", CMiniDumpHandler::IsArmed() ? 1 : 0);
    std::fflush(stdout);
    data.PostAppExit();

    *reinterpret_cast<volatile int*>(g_badAddress) = 1;
    std::printf("survived=1\n");
    return 0;
}
