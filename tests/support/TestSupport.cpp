#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace TestSupport {

namespace {

std::string& RootStorage()
{
    static std::string root;
    return root;
}

}  // namespace

const std::string& Root()
{
    return RootStorage();
}

const std::string& MakeRoot()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/talvora-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    RootStorage() = pattern;
    return RootStorage();
}

std::string LogEntryStart(const std::string& tag, const std::string& text)
{
    return tag + ":\t\t" + text;
}

std::string LogEntry(const std::string& tag, const std::string& text)
{
    return LogEntryStart(tag, text) + "\r\n";
}

TempDir::TempDir()
{
    static std::atomic<int> counter{0};
    std::string pattern = Root() + "/dir" + std::to_string(counter++) + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

FullFileSystem::FullFileSystem(const std::string& path) : path_(path)
{
    std::error_code ignored;
    fs::create_directories(path_, ignored);
    if (geteuid() != 0 || mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0755") != 0)
        return;
    mounted_ = true;
    const int fd = open((path_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    // Pages first, then single bytes: the file system ends up without one free byte.
    const std::string page(4096, 'f');
    while (write(fd, page.data(), page.size()) > 0) {
    }
    while (write(fd, "f", 1) > 0) {
    }
    close(fd);
}

FullFileSystem::~FullFileSystem()
{
    if (mounted_)
        umount2(path_.c_str(), MNT_DETACH);
}

std::vector<std::string> FullFileSystem::Names() const
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(path_, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool Exists(const std::string& path)
{
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

std::vector<std::string> SplitLines(const std::string& text, const std::string& separator)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + separator.size();
    }
    return lines;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& changes)
{
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const size_t equals = text.find('=');
        if (equals != std::string::npos)
            merged[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : changes) {
        if (value.empty())
            merged.erase(name);
        else
            merged[name] = value;
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : merged)
        result.push_back(name + "=" + value);
    return result;
}

Child::Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env)
{
    std::vector<std::string> envStrings = MergedEnvironment(env);
    std::vector<char*> envp;
    for (auto& text : envStrings)
        envp.push_back(text.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& text : args)
        argp.push_back(text.data());
    argp.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    // posix_spawn, not fork: tests also run under ThreadSanitizer, which refuses threads after
    // a fork of a threaded process.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return;
    }
    pid_ = pid;
    outFd_ = pipeFds[0];
}

Child::~Child()
{
    if (Started()) {
        Signal(SIGKILL);
        Finish(std::chrono::seconds(30));
    }
}

bool Child::ReadUntil(const std::function<bool(const std::string& output)>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char chunk[4096];
    while (outFd_ >= 0 && !done(output_)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd fd{outFd_, POLLIN, 0};
        const int ready = poll(&fd, 1, static_cast<int>(left.count()));
        if (ready <= 0)
            continue;  // interrupted, or the time is up (checked above)
        const ssize_t got = read(outFd_, chunk, sizeof chunk);
        if (got <= 0) {
            close(outFd_);
            outFd_ = -1;
            break;
        }
        output_.append(chunk, static_cast<size_t>(got));
    }
    return done(output_);
}

void Child::Signal(int signal)
{
    if (Started())
        kill(pid_, signal);
}

ChildResult Child::Finish(std::chrono::milliseconds timeout)
{
    ChildResult result;
    if (!Started())
        return result;
    if (!ReadUntil([this](const std::string&) { return outFd_ < 0; }, timeout))
        kill(pid_, SIGKILL);
    if (outFd_ >= 0) {
        close(outFd_);
        outFd_ = -1;
    }
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = 0;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.output = std::move(output_);
    return result;
}

ChildResult RunChild(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                     std::chrono::milliseconds timeout)
{
    Child child(argv, env);
    return child.Finish(timeout);
}

size_t CountOccurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1))
        ++count;
    return count;
}

}  // namespace TestSupport
