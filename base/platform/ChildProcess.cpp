#include "base/platform/ChildProcess.h"

#include <cerrno>
#include <sys/wait.h>
#include <thread>

namespace Platform {

void ReapInBackground(pid_t pid)
{
    if (pid <= 0)
        return;
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

}  // namespace Platform
