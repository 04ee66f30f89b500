#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// What tests share. These helpers use no test framework, so programs with a main of their own
// (the picture programs, the helper children) link them as well (talvora_test_tools).
namespace TestSupport {

// The private folder this test process works in (removed at exit). XDG_DATA_HOME and TMPDIR
// point inside it, so nothing a test does reaches the user's real files.
const std::string& Root();
// Makes that folder; the test main calls it once, first.
const std::string& MakeRoot();

// A log entry as base/LogFile.cpp writes it, from its tag on: TestSupport::LogEntry("tag", "text"). What comes
// before the tag (time, level, thread) changes from run to run and is left to the caller.
std::string LogEntry(const std::string& tag, const std::string& text);
// The same without the entry's end, for an entry whose text is known only in part.
std::string LogEntryStart(const std::string& tag, const std::string& text);

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

// A tiny file system (tmpfs of 64 KiB) mounted at `path` (made when missing) and filled to its
// last byte, for the life of the object. Mounting needs root: Mounted() says whether it could be
// had, for a test to skip without it. The filler file is "filler".
class FullFileSystem {
public:
    explicit FullFileSystem(const std::string& path);
    ~FullFileSystem();
    FullFileSystem(const FullFileSystem&) = delete;
    FullFileSystem& operator=(const FullFileSystem&) = delete;
    bool Mounted() const { return mounted_; }
    const std::string& Path() const { return path_; }
    // The names in it (the filler included).
    std::vector<std::string> Names() const;

private:
    std::string path_;
    bool mounted_ = false;
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

// A program started (no shell) with extra environment variables (an empty value removes the
// variable), its standard output read through a pipe. One still running when the object goes is
// killed and waited for.
class Child {
public:
    explicit Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    // Reads the output until `done` holds for what was read so far, the output ends or
    // `timeout` passes; returns whether `done` held.
    bool ReadUntil(const std::function<bool(const std::string& output)>& done, std::chrono::milliseconds timeout);
    const std::string& Output() const { return output_; }
    void Signal(int signal);
    // Reads the rest of the output and waits for the end, killing the child when `timeout`
    // passes first.
    ChildResult Finish(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = 0;
    int outFd_ = -1;
    std::string output_;
};

// How often `part` occurs in `text`, overlaps included.
size_t CountOccurrences(const std::string& text, const std::string& part);

// Runs a program to its end as a Child, waiting at most `timeout` for it and killing it past that.
ChildResult RunChild(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
                     std::chrono::milliseconds timeout = std::chrono::seconds(30));

}  // namespace TestSupport
