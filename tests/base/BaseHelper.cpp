// Child process for the tests that need a fresh process: the application data folder is
// resolved once per process. Runs the commands given as arguments in order and prints what
// they return, one "name=value" per line.
#include "base/AppPaths.h"
#include "base/Config.h"
#include "base/LogFile.h"
#include "base/platform/IniFile.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::unique_ptr<LogFile> log;
    for (int i = 1; i < argc; ++i) {
        const std::string command = argv[i];
        if (command == "log-open") {
            log = std::make_unique<LogFile>(AppPaths::GetAppDataDir() + "/Talvora.log", LogFile::ProcessWide);
        } else if (command == "log" && i + 1 < argc) {
            WriteLog(Info, "Helper::Main", "%s", argv[++i]);
        } else if (command == "paths") {
            std::printf("appdata=%s\nmodule=%s\nconfig=%s\nconfig-beside=%s\nupdate=%s\n",
                        AppPaths::GetAppDataDir().c_str(), AppPaths::GetModuleDir().c_str(),
                        AppPaths::GetConfigPath(false).c_str(), AppPaths::GetConfigPath(true).c_str(),
                        AppPaths::GetUpdateDataDir().c_str());
        } else if (command == "temp") {
            std::printf("temp=%s\n", AppPaths::GetTempDir().c_str());
        } else if (command == "job" && i + 2 < argc) {
            // A job folder with one segment file, as the engine makes them.
            const std::string folder = AppPaths::GetTempDir() + "/" + argv[i + 1];
            mkdir(folder.c_str(), 0700);
            if (FILE* file = std::fopen((folder + "/1.pcm").c_str(), "wb")) {
                std::fputs(argv[i + 2], file);
                std::fclose(file);
            }
            i += 2;
        } else if (command == "hold") {
            // Stays, with everything it holds, until the test ends it.
            std::printf("held\n");
            std::fflush(stdout);
            for (;;)
                pause();
        } else if (command == "clear") {
            AppPaths::ClearTempDir();
        } else if (command == "config-write" && i + 2 < argc) {
            WriteConfigString(argv[i + 1], argv[i + 2]);
            i += 2;
        } else if (command == "config-read" && i + 1 < argc) {
            std::printf("%s=%s\n", argv[i + 1], ReadConfigString(argv[i + 1], "<default>", 50).c_str());
            ++i;
        } else if (command == "update-read" && i + 1 < argc) {
            std::printf("%s=%s\n", argv[i + 1], ReadUpdateConfigString(argv[i + 1], "<default>", 50).c_str());
            ++i;
        } else if (command == "ini-write" && i + 3 < argc) {
            // Writes <count> keys "<prefix>N" into the file, one write each.
            const std::string path = argv[i + 1];
            const std::string prefix = argv[i + 2];
            const int count = std::atoi(argv[i + 3]);
            for (int n = 0; n < count; ++n) {
                if (!Platform::WritePrivateProfileString("Talvora", prefix + std::to_string(n), "v" + std::to_string(n), path))
                    return 3;
            }
            i += 3;
        } else {
            std::fprintf(stderr, "unknown command %s\n", command.c_str());
            return 2;
        }
    }
    return 0;
}
