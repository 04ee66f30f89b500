#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include <sys/types.h>

namespace AppTest {

// A program started as a child process that keeps running while the test talks to it. Its
// standard output and error go to a file. A child still running when the object goes is killed.
class ProgramProcess {
public:
    ProgramProcess() = default;
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    // Starts argv[0] (no shell) with the test's environment plus `env` (an empty value removes a
    // variable). `passFd`, when given, becomes the child's descriptor 3. `blockedSignals` start
    // blocked in the child, as a parent may leave them; a signal sent to it then stays pending
    // until the program itself lets it in. False when it cannot be started.
    bool Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::string& outputFile, int passFd = -1, const std::vector<int>& blockedSignals = {});
    pid_t Pid() const { return pid_; }
    bool Running();
    bool Signal(int signalNumber);
    // Waits for the end (bounded); the exit code, or -1 (killed, signalled or still running).
    int Wait(std::chrono::milliseconds timeout);
    int TermSignal() const { return termSignal_; }

private:
    pid_t pid_ = -1;
    int exitCode_ = -1;
    int termSignal_ = 0;
    bool ended_ = false;
};

}  // namespace AppTest
