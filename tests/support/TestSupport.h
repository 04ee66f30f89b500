#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace TestSupport {

// The private folder this test process works in (removed at exit). XDG_DATA_HOME and TMPDIR
// point inside it, so nothing a test does reaches the user's real files.
const std::string& Root();

// A fresh folder under Root(), removed with its contents when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool Exists(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text, const std::string& separator = "\r\n");

// Polls `condition` until it holds or `timeout` passes; returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The environment of this process as "NAME=value" entries, with `changes` applied (an empty
// value removes a variable).
std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& changes);

struct ChildResult {
    int exitCode = -1;  // -1 when the child did not exit normally
    int signal = 0;     // the signal that ended it, if any
    std::string output; // its standard output
};

// Runs a program (no shell) with extra environment variables (an empty value removes the
// variable), waits at most `timeout` for it and kills it past that.
ChildResult RunChild(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
                     std::chrono::milliseconds timeout = std::chrono::seconds(30));

}  // namespace TestSupport
