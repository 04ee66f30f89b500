#include "maintenance/LaunchUpdater.h"

#include "base/AppPaths.h"
#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "base/platform/ChildProcess.h"

#include <filesystem>
#include <spawn.h>

extern char** environ;

namespace {

bool Start(const std::string& program)
{
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    const int result = posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (result != 0)
        return false;
    Platform::ReapInBackground(pid);
    return true;
}

}  // namespace

void LaunchUpdater()
{
    const std::wstring folder = AnsiToWide(PubUtils::GetModuleDir());
    const std::string source = WideToAnsi(folder + L"/AutoUpdate");
    const std::string copy = WideToAnsi(folder + L"/AutoUpdateTmp");
    std::error_code error;
    const bool copied = std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing, error);
    const std::string& program = copied ? copy : source;
    if (!Start(program))
        WriteLog(Warning, "LaunchUpdater", "cannot start %s", program.c_str());
}
