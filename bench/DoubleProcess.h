#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// The speech double as a process of its own, so a benchmark measures only the program's side.
class DoubleProcess {
public:
    // Starts `program` (the speech_double executable) and waits until it listens.
    bool Start(const std::string& program, const std::vector<std::string>& arguments = {"--quiet"});
    // Stops it (SIGTERM) and waits for it.
    void Stop();
    ~DoubleProcess() { Stop(); }

    // What it printed: TALVORA_TOKEN_URL, TALVORA_SPEECH_URL, TALVORA_CA_FILE.
    const std::map<std::string, std::string>& Environment() const { return environment_; }
    // Sets those variables in this process (before any thread reads the environment).
    void ExportEnvironment() const;

private:
    pid_t pid_ = 0;
    std::map<std::string, std::string> environment_;
};
