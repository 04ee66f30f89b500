#include "engine/SegmentDecoder.h"

#include "base/AppPaths.h"
#include "base/BackgroundThread.h"
#include "base/LiveThreads.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/platform/BackgroundPriority.h"
#include "base/platform/RegularFile.h"
#include "engine/FfmpegCommand.h"
#include "engine/FfmpegProcess.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int64_t kShortestBytes = int64_t{kShortestSegmentSeconds} * 32000;
// ffmpeg's last words kept for the reason of a failure.
constexpr size_t kKeptErrorBytes = 4096;
// How often a decoder that waits for ffmpeg looks whether it was stopped.
constexpr int kStopPollMs = 250;

// A segment file made anew: an earlier run's writer (of a file stopped and started again) may
// still hold the old one open, and must write into that one, never into this.
int CreateSegmentFile(const std::string& path)
{
    for (int tries = 0; tries < 3; ++tries) {
        unlink(path.c_str());
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

std::string LastLine(std::string said)
{
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r'))
        said.pop_back();
    const size_t newline = said.find_last_of('\n');
    return newline == std::string::npos ? said : said.substr(newline + 1);
}

}  // namespace

// The cutting of one run's stream into segment files. A complete segment is held back until two
// seconds of the next have come: had the stream ended before, they would have joined it.
class SegmentDecoder::Run {
public:
    Run(const SegmentDecoder& owner, int32_t fromIndex) : owner(owner), from(fromIndex), index(fromIndex) {}
    ~Run()
    {
        CloseFile(fd);
        CloseFile(heldFd);
    }

    // False, with the reason, when a segment file cannot be written.
    bool Take(const char* data, size_t size)
    {
        runBytes += static_cast<int64_t>(size);
        while (size > 0) {
            if (held >= 0) {
                const size_t n = std::min(size, static_cast<size_t>(kShortestBytes) - tail.size());
                tail.append(data, n);
                data += n;
                size -= n;
                if (static_cast<int64_t>(tail.size()) == kShortestBytes && !Release())
                    return false;
                continue;
            }
            if (fd < 0 && !Open())
                return false;
            const size_t n = std::min(size, static_cast<size_t>(kSegmentBytes - bytes));
            if (!Write(fd, data, n))
                return false;
            data += n;
            size -= n;
            bytes += static_cast<int64_t>(n);
            if (bytes == kSegmentBytes) {
                held = index++;
                heldFd = fd;
                fd = -1;
                bytes = 0;
            }
        }
        return true;
    }

    // The stream ended normally; false, with the reason, when the last file cannot be written.
    bool Finish()
    {
        int32_t count = index;
        if (held >= 0) {
            // A remainder too short for a segment of its own.
            if (!Write(heldFd, tail.data(), tail.size()))
                return false;
            CloseFile(heldFd);
            owner.callbacks.ready(held, kSegmentBytes + static_cast<int64_t>(tail.size()));
            count = held + 1;
        } else if (fd >= 0) {
            CloseFile(fd);
            owner.callbacks.ready(index, bytes);
            count = index + 1;
        } else if (from == 0) {
            // No audio at all: the first segment stays, empty, so that the file has an outcome.
            if (!Open())
                return false;
            CloseFile(fd);
            owner.callbacks.ready(0, 0);
            count = 1;
        }
        owner.callbacks.ended(count, runBytes);
        return true;
    }

    // The stream broke off: what is complete is handed on, the segment under way failed.
    void Fail(const std::string& reason, bool wholeFile)
    {
        if (held >= 0 && !wholeFile) {
            CloseFile(heldFd);
            owner.callbacks.ready(held, kSegmentBytes);
            held = -1;
        }
        if (fd >= 0) {
            CloseFile(fd);
            unlink(SegmentFileName(owner.inputCopy, index).c_str());
        }
        WriteLog(Warning, LogTag::kSegmentAttemptRun, "%s", ("cut failed. " + SegmentFileName(owner.inputCopy, index) + ": " + reason).c_str());
        owner.callbacks.failed(index, reason, wholeFile);
    }

    int64_t RunBytes() const { return runBytes; }
    const std::string& Problem() const { return problem; }

private:
    bool Release()
    {
        CloseFile(heldFd);
        owner.callbacks.ready(held, kSegmentBytes);
        held = -1;
        if (!Open() || !Write(fd, tail.data(), tail.size()))
            return false;
        bytes = static_cast<int64_t>(tail.size());
        tail.clear();
        return true;
    }
    bool Open()
    {
        const std::string path = SegmentFileName(owner.inputCopy, index);
        fd = CreateSegmentFile(path);
        if (fd < 0)
            problem = "cannot make " + path + ": " + std::strerror(errno);
        return fd >= 0;
    }
    bool Write(int to, const char* data, size_t size)
    {
        if (size == 0 || WriteAll(to, std::string_view(data, size)))
            return true;
        problem = "cannot write " + SegmentFileName(owner.inputCopy, to == heldFd ? held : index) + ": " + std::strerror(errno);
        return false;
    }
    static void CloseFile(int& file)
    {
        if (file >= 0)
            close(file);
        file = -1;
    }

    const SegmentDecoder& owner;
    const int32_t from;
    int32_t index;
    int fd = -1;
    int64_t bytes = 0;
    int32_t held = -1;
    int heldFd = -1;
    std::string tail;
    int64_t runBytes = 0;
    std::string problem;
};

SegmentDecoder::SegmentDecoder(std::string copy, int32_t from, bool show, Callbacks told)
    : inputCopy(std::move(copy)), fromIndex(from), showOutput(show), callbacks(std::move(told))
{
}

SegmentDecoder::~SegmentDecoder() = default;

std::shared_ptr<SegmentDecoder> SegmentDecoder::Start(const std::string& inputCopy, int32_t fromIndex, bool showOutput, Callbacks callbacks)
{
    std::shared_ptr<SegmentDecoder> decoder(new SegmentDecoder(inputCopy, fromIndex, showOutput, std::move(callbacks)));
    if (!StartBackgroundThread("decoder", [decoder] { decoder->Decode(); }))
        return nullptr;
    return decoder;
}

void SegmentDecoder::Stop()
{
    stopped = true;
    std::lock_guard<std::mutex> guard(lock);
    if (process > 0)
        Ffmpeg::StopFfmpeg(process);
}

void SegmentDecoder::Decode()
{
    // ffmpeg inherits it: decoding yields to the window and the requests under way.
    Platform::LowerThisThreadsPriority();
    int output[2] = {-1, -1};
    int errors[2] = {-1, -1};
    Run run(*this, fromIndex);
    // The run's first segment file is its own from now on, whatever an earlier run left there.
    unlink(SegmentFileName(inputCopy, fromIndex).c_str());
    if (pipe2(output, O_CLOEXEC) != 0 || (!showOutput && pipe2(errors, O_CLOEXEC) != 0)) {
        const std::string reason = std::string("no pipe for ffmpeg: ") + std::strerror(errno);
        for (int fd : {output[0], output[1]})
            if (fd >= 0)
                close(fd);
        if (!Stopped())
            run.Fail(reason, false);
        return;
    }
    std::vector<std::string> arguments = BuildDecodeArguments(inputCopy, fromIndex);
    if (!showOutput)
        arguments.insert(arguments.begin(), {"-nostats", "-v", "error"});
    int spawnError = 0;
    pid_t pid = -1;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!stopped)
            pid = process = Ffmpeg::StartFfmpegDecoder(arguments, output[1], errors[1], &spawnError);
    }
    close(output[1]);
    if (errors[1] >= 0)
        close(errors[1]);
    if (pid < 0) {
        close(output[0]);
        if (errors[0] >= 0)
            close(errors[0]);
        if (Stopped())
            return;
        // Without ffmpeg every file fails the same way: say it once, plainly.
        static std::atomic<bool> reported{false};
        if (spawnError == ENOENT && !reported.exchange(true))
            WriteLog(Warning, LogTag::kSegmentAttemptRun, "%s",
                     ("ffmpeg was found neither beside the program (" + AppPaths::GetModuleDir() +
                      "/ffmpeg) nor on PATH; no file can be recognised")
                         .c_str());
        run.Fail(std::string("ffmpeg could not be started: ") + std::strerror(spawnError), true);
        return;
    }

    std::string said;
    bool writeFailed = false;
    pollfd watched[2] = {{output[0], POLLIN, 0}, {errors[0], POLLIN, 0}};
    std::vector<char> chunk(1 << 16);
    while (watched[0].fd >= 0 && !Stopped() && !LiveThreads::Ending()) {
        if (poll(watched, 2, kStopPollMs) <= 0)
            continue;
        for (pollfd& source : watched) {
            if (source.fd < 0 || source.revents == 0)
                continue;
            const ssize_t got = read(source.fd, chunk.data(), chunk.size());
            if (got < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (got <= 0) {
                close(source.fd);
                source.fd = -1;
            } else if (source.fd == output[0]) {
                if (!run.Take(chunk.data(), static_cast<size_t>(got))) {
                    writeFailed = true;
                    close(source.fd);
                    source.fd = -1;
                }
            } else {
                said.append(chunk.data(), static_cast<size_t>(got));
                if (said.size() > kKeptErrorBytes)
                    said.erase(0, said.size() - kKeptErrorBytes);
            }
        }
    }
    if (watched[0].fd >= 0 || writeFailed || LiveThreads::Ending())
        Ffmpeg::StopFfmpeg(pid);
    for (const pollfd& source : watched)
        if (source.fd >= 0)
            close(source.fd);
    int status = 0;
    WaitForProcess(pid, 0, &status);
    {
        std::lock_guard<std::mutex> guard(lock);
        process = -1;
    }
    if (Stopped() || LiveThreads::Ending())
        return;
    if (writeFailed) {
        run.Fail(run.Problem(), false);
        return;
    }
    const std::string exit = DescribeFailedExit(status);
    if (exit.empty()) {
        if (!run.Finish())
            run.Fail(run.Problem(), false);
        return;
    }
    // Nothing decoded and a plain failure: is the input itself no audio ffmpeg can read?
    if (run.RunBytes() == 0 && WIFEXITED(status)) {
        const std::string problem = Ffmpeg::FfmpegInputProblem(inputCopy);
        if (!problem.empty()) {
            run.Fail(problem, true);
            return;
        }
    }
    std::string last = LastLine(said);
    if (last.rfind(inputCopy + ": ", 0) == 0)
        last.erase(0, inputCopy.size() + 2);
    run.Fail(last.empty() ? exit : exit + ": " + last, false);
}
