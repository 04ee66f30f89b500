#include "base/platform/ChildProcess.h"

#include "base/BackgroundThread.h"

#include <cerrno>
#include <sys/wait.h>

namespace Platform {

void ReapInBackground(pid_t pid)
{
    if (pid <= 0)
        return;
    // Not waited for at the end: the child may be the updater, which outlives the program.
    StartBackgroundThread(
        "reaper",
        [pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        },
        false);
}

}  // namespace Platform
