#include "ProgramProcess.h"

#include "support/TestSupport.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace AppTest {

ProgramProcess::~ProgramProcess()
{
    if (pid_ > 0 && !ended_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool ProgramProcess::Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                           const std::string& outputFile, int passFd, const std::vector<int>& blockedSignals)
{
    std::vector<std::string> envStrings = TestSupport::MergedEnvironment(env);
    std::vector<char*> envp;
    for (std::string& text : envStrings)
        envp.push_back(text.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& text : args)
        argp.push_back(text.data());
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    if (passFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, passFd, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t mask;
    sigemptyset(&mask);
    for (const int each : blockedSignals)
        sigaddset(&mask, each);
    posix_spawnattr_setsigmask(&attributes, &mask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    // posix_spawn returns once the program runs in the child, so a signal sent from now on
    // reaches the program itself.
    const int spawned = posix_spawnp(&pid_, argp[0], &actions, &attributes, argp.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        return false;
    }
    ended_ = false;
    return true;
}

bool ProgramProcess::Running()
{
    if (pid_ <= 0 || ended_)
        return false;
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done != pid_)
        return true;
    ended_ = true;
    if (WIFEXITED(status))
        exitCode_ = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        termSignal_ = WTERMSIG(status);
    return false;
}

bool ProgramProcess::Signal(int signalNumber)
{
    return pid_ > 0 && !ended_ && kill(pid_, signalNumber) == 0;
}

int ProgramProcess::Wait(std::chrono::milliseconds timeout)
{
    TestSupport::WaitUntil([&] { return !Running(); }, timeout);
    return ended_ ? exitCode_ : -1;
}

}  // namespace AppTest
