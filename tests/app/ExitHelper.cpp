// Child process for the tests of the application's exit, which disarms the process-wide crash
// handler and moves the process-wide temporary folder: it arms the handler, puts a job file into
// "Temp", runs the exit, tells what had happened by then, and finally faults, which must now end
// the process by its signal without a report.
#include "base/AppPaths.h"
#include "base/CrashReporter.h"
#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "base/platform/AppFolders.h"
#include "app/ApplicationExit.h"
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

}  // namespace

int main()
{
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    const std::string appData = AppPaths::GetAppDataDir();
    LogFile log(appData + "/Talvora.log", LogFile::ProcessWide);
    CrashReporter handler(false, appData + "/crashDumps");

    const std::string job = AppPaths::GetTempDir() + "/job";
    mkdir(job.c_str(), 0700);
    std::ofstream(job + "/1.pcm") << "pcm";
    const std::string moved = Platform::UserTempFolder() + "/Temp/job/1.pcm";

    std::printf("armed-before=%d\n", CrashReporter::IsArmed() ? 1 : 0);
    std::fflush(stdout);
    LeaveApplication();
    std::printf("armed-after=%d\n", CrashReporter::IsArmed() ? 1 : 0);
    std::printf("temp-left-after=%d\n", Exists(job + "/1.pcm") ? 1 : 0);
    std::printf("temp-moved-after=%d\n", Exists(moved) ? 1 : 0);
    std::printf("logged-after=%d\n",
                ReadAll(appData + "/Talvora.log").find(TestSupport::LogEntry("CData::PostAppExit", "app exit")) != std::string::npos ? 1 : 0);
    std::fflush(stdout);

    *reinterpret_cast<volatile int*>(g_badAddress) = 1;
    std::printf("survived=1\n");
    return 0;
}
