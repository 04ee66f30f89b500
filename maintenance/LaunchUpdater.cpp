#include "maintenance/LaunchUpdater.h"

#include "base/AppPaths.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/platform/ChildProcess.h"
#include "base/platform/RegularFile.h"

#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace {

bool Start(const std::string& program)
{
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    // Nothing of this process beyond the standard streams goes with the updater, not even a
    // library's descriptor that lacks close-on-exec.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    const int result = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (result != 0)
        return false;
    Platform::ReapInBackground(pid);
    return true;
}

}  // namespace

void LaunchUpdater()
{
    const std::string folder = AppPaths::GetModuleDir();
    const std::string source = folder + "/AutoUpdate";
    const std::string copy = folder + "/AutoUpdateTmp";
    // The program folder is the installation's own, so a link there (a packaged layout) counts.
    const bool copied = CopyRegularFile(source, copy, true);
    const std::string& program = copied ? copy : source;
    if (!Start(program))
        WriteLog(Warning, LogTag::kLaunchUpdater, "cannot start %s", program.c_str());
}
