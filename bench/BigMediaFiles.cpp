#include "BigMediaFiles.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
constexpr int kBlockAlign = kChannels * 2;
constexpr uint32_t kWavHeaderBytes = 44;

std::string AudioPath(const std::string& folder, int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "/audio%02d.wav", index + 1);
    return folder + name;
}

std::string VideoPath(const std::string& folder)
{
    return folder + "/video.mkv";
}

uint64_t SizeOf(const std::string& path)
{
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t wrote = write(fd, data, size);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        data += wrote;
        size -= static_cast<size_t>(wrote);
    }
    return true;
}

void PutLe(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Ten seconds of a tone under noise, different in each file; repeated to the file's length.
std::string AudioPattern(int index)
{
    const double frequency = 220.0 + 55.0 * index;
    std::minstd_rand noise(static_cast<unsigned>(index + 1));
    std::uniform_real_distribution<double> spread(-0.05, 0.05);
    std::string samples;
    const int frames = 10 * kSampleRate;
    samples.reserve(static_cast<size_t>(frames) * kBlockAlign);
    for (int frame = 0; frame < frames; ++frame) {
        const double tone = 0.3 * std::sin(2 * M_PI * frequency * frame / kSampleRate);
        for (int channel = 0; channel < kChannels; ++channel) {
            const auto sample = static_cast<int16_t>(std::lround((tone + spread(noise)) * 32767));
            PutLe(samples, static_cast<uint16_t>(sample), 2);
        }
    }
    return samples;
}

// A RIFF header and 16-bit PCM samples, the whole file exactly kAudioBytes long.
bool WriteWav(const std::string& path, int index)
{
    const uint32_t dataBytes = static_cast<uint32_t>((BigMediaFiles::kAudioBytes - kWavHeaderBytes) / kBlockAlign * kBlockAlign);
    std::string header = "RIFF";
    PutLe(header, 36 + dataBytes, 4);
    header += "WAVEfmt ";
    PutLe(header, 16, 4);
    PutLe(header, 1, 2);  // PCM
    PutLe(header, kChannels, 2);
    PutLe(header, kSampleRate, 4);
    PutLe(header, kSampleRate * kBlockAlign, 4);
    PutLe(header, kBlockAlign, 2);
    PutLe(header, 16, 2);
    header += "data";
    PutLe(header, dataBytes, 4);

    const std::string pattern = AudioPattern(index);
    const std::string part = path + ".part";
    const int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool written = WriteAll(fd, header.data(), header.size());
    for (uint64_t left = dataBytes; written && left > 0;) {
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(left, pattern.size()));
        written = WriteAll(fd, pattern.data(), chunk);
        left -= chunk;
    }
    written = fdatasync(fd) == 0 && written;
    written = close(fd) == 0 && written;
    if (!written || std::rename(part.c_str(), path.c_str()) != 0) {
        std::remove(part.c_str());
        return false;
    }
    return true;
}

bool RunFfmpeg(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), {"ffmpeg", "-nostdin", "-loglevel", "error", "-y"});
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Encoding 4 GiB would take the machine's cores for an hour: a 10-second clip of a high
// bitrate is encoded once and repeated without re-encoding until the video is big enough.
bool WriteVideo(const std::string& path)
{
    const std::string clip = path + ".clip.mkv";
    const std::string part = path + ".part";
    bool made = RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25:duration=10", "-f", "lavfi", "-i",
                           "sine=frequency=440:sample_rate=48000:duration=10", "-c:v", "mpeg4", "-q:v", "1", "-c:a",
                           "aac", "-b:a", "192k", clip});
    const uint64_t clipBytes = SizeOf(clip);
    if (made && clipBytes > 0) {
        // The clip is played once more than it is looped: one play to spare for the container's overhead.
        const uint64_t loops = (BigMediaFiles::kVideoBytes + clipBytes - 1) / clipBytes;
        made = RunFfmpeg({"-stream_loop", std::to_string(loops), "-i", clip, "-c", "copy", "-f", "matroska", part});
    }
    std::remove(clip.c_str());
    if (made && SizeOf(part) >= BigMediaFiles::kVideoBytes) {
        const int fd = open(part.c_str(), O_RDONLY | O_CLOEXEC);
        made = fd >= 0 && fdatasync(fd) == 0;
        if (fd >= 0)
            close(fd);
        made = made && std::rename(part.c_str(), path.c_str()) == 0;
    } else {
        made = false;
    }
    if (!made)
        std::remove(part.c_str());
    return made;
}

}  // namespace

namespace BigMediaFiles {

uint64_t MissingBytes(const std::string& folder)
{
    uint64_t missing = 0;
    for (int i = 0; i < kAudioFiles; ++i)
        missing += SizeOf(AudioPath(folder, i)) == kAudioBytes ? 0 : kAudioBytes;
    return missing + (SizeOf(VideoPath(folder)) >= kVideoBytes ? 0 : kVideoBytes);
}

std::vector<std::string> Prepare(const std::string& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::vector<std::string> paths;
    for (int i = 0; i < kAudioFiles; ++i) {
        const std::string path = AudioPath(folder, i);
        if (SizeOf(path) != kAudioBytes) {
            std::fprintf(stderr, "writing %s\n", path.c_str());
            if (!WriteWav(path, i)) {
                std::fprintf(stderr, "could not write %s: %s\n", path.c_str(), std::strerror(errno));
                return {};
            }
        }
        paths.push_back(path);
    }
    const std::string video = VideoPath(folder);
    if (SizeOf(video) < kVideoBytes) {
        std::fprintf(stderr, "making %s with ffmpeg\n", video.c_str());
        if (!WriteVideo(video)) {
            std::fprintf(stderr, "ffmpeg could not make %s\n", video.c_str());
            return {};
        }
    }
    paths.push_back(video);
    return paths;
}

void DropFromCache(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

}  // namespace BigMediaFiles
