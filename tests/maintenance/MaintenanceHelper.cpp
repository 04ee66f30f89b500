// Child process for the maintenance tests: runs in a program folder and a data folder of the
// test's choosing, like the real program would.
//   update-check          runs the update check and prints each report as "kind|value|text"
//   launch                starts the updater
//   startup <release>     starts the crash-report check as a start of the program does and
//                         stays alive until <release> exists
#include "base/AppPaths.h"
#include "base/TextConvert.h"
#include "maintenance/UpdateCheck.h"
#include "maintenance/UpdateReport.h"
#include "maintenance/CrashReportCheck.h"
#include "maintenance/LaunchUpdater.h"

#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace {


bool Exists(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0;
}

bool UploadThreadRuns()
{
    bool found = false;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            FILE* comm = std::fopen(("/proc/self/task/" + std::string(entry->d_name) + "/comm").c_str(), "r");
            char name[32] = {};
            if (comm != nullptr) {
                found = found || (std::fgets(name, sizeof name, comm) != nullptr && std::string(name) == "log upload\n");
                std::fclose(comm);
            }
        }
        closedir(dir);
    }
    return found;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "update-check") {
        UpdateCheck checker;
        checker.SetReport([](const UpdateReport& notice) {
            std::printf("%d|%s|%s\n", static_cast<int>(notice.kind), notice.value.c_str(), notice.text.c_str());
        });
        checker.RunCheck();
        return 0;
    }
    if (command == "launch") {
        LaunchUpdater();
        return 0;
    }
    if (command == "startup" && argc > 2) {
        StartUploadLogCheck(AppPaths::GetAppDataDir());
        // The upload runs on its own thread; stay alive until the test has seen it arrive.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!Exists(argv[2]) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        // Let the upload thread finish its clean-up too, so the exit does not pull libcurl's
        // and OpenSSL's state from under it.
        while (UploadThreadRuns() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return 0;
    }
    std::fprintf(stderr, "unknown command\n");
    return 2;
}
