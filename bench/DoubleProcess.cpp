#include "DoubleProcess.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

bool DoubleProcess::Start(const std::string& program, const std::vector<std::string>& arguments)
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> args = {program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        pid_ = 0;
        close(out[0]);
        return false;
    }
    // It prints "export NAME=value" lines and then the accepted credential once it listens.
    std::string output;
    char buffer[512];
    while (output.find("accepted credential") == std::string::npos) {
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        output.append(buffer, static_cast<size_t>(got));
    }
    close(out[0]);
    for (size_t pos = output.find("export "); pos != std::string::npos; pos = output.find("export ", pos + 1)) {
        const size_t equals = output.find('=', pos);
        const size_t end = output.find('\n', pos);
        if (equals != std::string::npos && end != std::string::npos && equals < end)
            environment_[output.substr(pos + 7, equals - pos - 7)] = output.substr(equals + 1, end - equals - 1);
    }
    return output.find("accepted credential") != std::string::npos;
}

void DoubleProcess::Stop()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
}

void DoubleProcess::ExportEnvironment() const
{
    for (const auto& [name, value] : environment_)
        setenv(name.c_str(), value.c_str(), 1);
}
