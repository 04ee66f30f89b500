#include "engine/FfmpegProcess.h"

#include "base/AppPaths.h"
#include "base/platform/ChildProcess.h"
#include "engine/FfmpegCommand.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Every ffmpeg started and not yet waited for, so that an early end can stop them.
struct RunningFfmpeg {
    std::mutex lock;
    std::set<pid_t> pids;
};

RunningFfmpeg& Running()
{
    // Never destroyed: detached workers may still wait for their ffmpeg while the process ends.
    static auto* running = new RunningFfmpeg;
    return *running;
}

void Forget(pid_t pid)
{
    RunningFfmpeg& running = Running();
    std::lock_guard<std::mutex> guard(running.lock);
    running.pids.erase(pid);
}

// Collects a process known to have ended. Under the lock, so that StopRunningFfmpeg never
// signals a number that was just freed for reuse.
void Collect(pid_t pid, int& status)
{
    RunningFfmpeg& running = Running();
    std::lock_guard<std::mutex> guard(running.lock);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    running.pids.erase(pid);
}

// `errorFd` (when not -1) receives ffmpeg's error output, whatever `showOutput` says; `outputFd`
// (when not -1) its standard output.
pid_t SpawnFfmpeg(std::vector<std::string> args, bool showOutput, int errorFd, int* spawnError, int outputFd = -1)
{
    const std::string beside = AppPaths::GetModuleDir() + "/ffmpeg";
    const bool useBeside = access(beside.c_str(), X_OK) == 0;
    args.insert(args.begin(), useBeside ? beside : std::string("ffmpeg"));
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // ffmpeg reads keyboard commands from its input; it must never wait on ours.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (errorFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
    if (outputFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    // The program's own files are close-on-exec, but the libraries' are not all (the TLS
    // library's certificate file, the duration probe's media file, opened on other threads).
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    if (!showOutput) {
        if (outputFd < 0)
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (errorFd < 0)
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    const int saved = errno;
    const int result = useBeside ? posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ)
                                 : posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    errno = saved;
    if (spawnError != nullptr)
        *spawnError = result;
    if (result != 0)
        return -1;
    RunningFfmpeg& running = Running();
    std::lock_guard<std::mutex> guard(running.lock);
    running.pids.insert(pid);
    return pid;
}


}  // namespace

namespace Ffmpeg {

pid_t StartFfmpeg(const std::string& arguments, bool showOutput, int* spawnError)
{
    return StartFfmpeg(SplitArguments(arguments), showOutput, spawnError);
}

pid_t StartFfmpeg(std::vector<std::string> args, bool showOutput, int* spawnError)
{
    return SpawnFfmpeg(std::move(args), showOutput, -1, spawnError);
}

pid_t StartFfmpegDecoder(std::vector<std::string> args, int outputFd, int errorFd, int* spawnError)
{
    return SpawnFfmpeg(std::move(args), errorFd < 0, errorFd, spawnError, outputFd);
}

bool StopFfmpeg(pid_t pid)
{
    RunningFfmpeg& running = Running();
    std::lock_guard<std::mutex> guard(running.lock);
    return running.pids.count(pid) != 0 && kill(pid, SIGKILL) == 0;
}

size_t StopRunningFfmpeg()
{
    RunningFfmpeg& running = Running();
    std::lock_guard<std::mutex> guard(running.lock);
    for (pid_t pid : running.pids)
        kill(pid, SIGTERM);
    return running.pids.size();
}

std::string FfmpegInputProblem(const std::string& input)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    int spawnError = 0;
    const pid_t pid = SpawnFfmpeg({"-v", "error", "-i", input, "-vn", "-t", "1", "-f", "null", "-"}, false, pipeFds[1],
                                  &spawnError);
    close(pipeFds[1]);
    // What ffmpeg says, read until it ends; a decoder that hangs on an odd file is not waited
    // for past the limit.
    std::string said;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kInputCheckSeconds);
    while (pid > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{pipeFds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) == 0) {
            kill(pid, SIGKILL);
            break;
        }
        char chunk[4096];
        const ssize_t got = read(pipeFds[0], chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        said.append(chunk, static_cast<size_t>(got));
        if (said.size() > 16384)
            said.erase(0, said.size() - 16384);
    }
    close(pipeFds[0]);
    int status = 0;
    if (pid <= 0 || !WaitForProcess(pid, 0, &status))
        return {};
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {};
    if (WIFSIGNALED(status))
        return {};  // stopped (the program's end) or hung: no verdict on the file
    // The last line is the reason; ffmpeg puts the input's path in front of it.
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r'))
        said.pop_back();
    std::string reason = said.substr(said.find_last_of('\n') == std::string::npos ? 0 : said.find_last_of('\n') + 1);
    if (reason.rfind(input + ": ", 0) == 0)
        reason.erase(0, input.size() + 2);
    return reason.empty() ? DescribeFailedExit(status) : reason;
}

}  // namespace Ffmpeg


bool WaitForProcess(pid_t pid, int waitMs, int* exitStatus)
{
    if (pid <= 0)
        return true;
    int ignored = 0;
    int& status = exitStatus != nullptr ? *exitStatus : ignored;
    if (waitMs < 1) {
        // Waits without collecting, so the number stays this process's until Collect.
        siginfo_t info{};
        while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
        }
        Collect(pid, status);
        return true;
    }
    // glibc's pidfd_open lacks C linkage in C++ here, so the system call is made directly.
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        pollfd ready{fd, POLLIN, 0};
        int polled;
        while ((polled = poll(&ready, 1, waitMs)) < 0 && errno == EINTR) {
        }
        close(fd);
        if (polled > 0) {
            Collect(pid, status);
            return true;
        }
    }
    // Still running (or not watchable): leave it, but collect it when it ends. It is no longer
    // this process's to stop: once collected, its number may belong to another process.
    Forget(pid);
    Platform::ReapInBackground(pid);
    return false;
}

std::string DescribeFailedExit(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status) == 0 ? std::string() : "ffmpeg exited with code " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "ffmpeg was killed by signal " + std::to_string(WTERMSIG(status));
    return "ffmpeg ended abnormally";
}
