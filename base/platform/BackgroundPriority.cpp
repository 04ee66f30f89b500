#include "base/platform/BackgroundPriority.h"

#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// What the kernel's I/O scheduler is told (linux/ioprio.h, not in every set of headers).
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassBestEffort = 2;
constexpr int kIoprioClassShift = 13;
constexpr int kLowestBestEffortLevel = 7;
// Nice 10: well below the window, still above truly idle work.
constexpr int kBackgroundNice = 10;

}  // namespace

namespace Platform {

void LowerThisThreadsPriority()
{
    const int saved = errno;
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    // On Linux a nice value belongs to a thread; a failure leaves the thread as it was.
    setpriority(PRIO_PROCESS, thread, kBackgroundNice);
    syscall(SYS_ioprio_set, kIoprioWhoProcess, static_cast<int>(thread),
            (kIoprioClassBestEffort << kIoprioClassShift) | kLowestBestEffortLevel);
    errno = saved;
}

}  // namespace Platform
