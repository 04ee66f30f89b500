// The transcription engine against the local speech double (HTTPS on loopback), on a generated
// file of the given length and format (default 20 minutes of WAV; mp3 and m4a are 128 kb/s
// stereo at 44.1 kHz, as users bring them):
//   engine_bench [seconds] [wav|mp3|m4a] [speech_double program]
//   1. one decode pass of the whole file by ffmpeg: the floor of what cutting can cost;
//   2. Dispatch driven as fast as workers free up: wall time, segments per second, when the first
//      segment was ready, CPU seconds spent in ffmpeg (and their ratio to the decode pass), peak
//      memory of the process (the double runs as a process of its own);
//   3. the program's pacing, Dispatch every 1000 ms: wall time against the pacing floor, which is
//      (segments - 1) seconds plus the time the last segment's recognition takes on its own.
#include "engine/TranscriptionJobs.h"
#include "engine/CloudRecognizer.h"
#include "engine/CredentialPool.h"
#include "engine/FfmpegCommand.h"
#include "engine/JobFiles.h"
#include "engine/SegmentAttempt.h"
#include "CountingListener.h"
#include "DoubleProcess.h"
#include "ProcessMemory.h"
#include "speech_double/SpeechDouble.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Runs ffmpeg with `arguments` and waits; its CPU seconds, or -1 when it failed.
double RunFfmpeg(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    std::vector<std::string> all = {"ffmpeg", "-nostdin", "-loglevel", "error", "-y"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    for (std::string& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Speech-like enough for the cutting cost: a tone under noise, so the encoder has work to do.
bool GenerateAudio(const std::string& path, int seconds, const std::string& format)
{
    const std::string length = std::to_string(seconds);
    std::vector<std::string> arguments = {"-f", "lavfi", "-i", "sine=f=440:d=" + length, "-f", "lavfi", "-i",
                                          "anoisesrc=a=0.05:d=" + length, "-filter_complex", "amix"};
    if (format == "wav") {
        arguments.insert(arguments.end(), {"-ar", "16000", "-ac", "1"});
    } else {
        arguments.insert(arguments.end(), {"-ar", "44100", "-ac", "2", "-b:a", "128k"});
    }
    arguments.push_back(path);
    return RunFfmpeg(arguments) >= 0;
}

double ChildCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// One attempt at one segment file, on its own: the engine's time for that segment.
double TimeOneSegment(const std::string& pcmFile, Recognizer& recognizer)
{
    SegmentAttemptInput input;
    input.pcmFile = pcmFile;
    const auto start = Clock::now();
    AttemptSegment(input, recognizer);
    return Since(start);
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 1200;
    const std::string format = argc > 2 ? argv[2] : "wav";
    if (seconds < 1 || (format != "wav" && format != "mp3" && format != "m4a")) {
        std::fprintf(stderr, "usage: engine_bench [seconds] [wav|mp3|m4a] [speech_double program]\n");
        return 2;
    }
    const std::string folder = std::filesystem::temp_directory_path() / ("engine_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    setenv("XDG_DATA_HOME", folder.c_str(), 1);
    const std::string audio = folder + "/lecture." + format;
    if (!GenerateAudio(audio, seconds, format)) {
        std::fprintf(stderr, "ffmpeg could not generate the audio\n");
        return 1;
    }
    const double decodePass = RunFfmpeg({"-i", audio, "-acodec", "pcm_s16le", "-f", "s16le", "-ac", "1", "-ar", "16000", "/dev/null"});
    DoubleProcess speech;
    if (!speech.Start(argc > 3 ? argv[3] : TALVORA_SPEECH_DOUBLE)) {
        std::fprintf(stderr, "the speech double did not start\n");
        return 1;
    }
    speech.ExportEnvironment();
    auto keys = std::make_shared<CredentialPool>();
    keys->Replace({{SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey}});
    const auto cloud = std::make_shared<CloudRecognizer>(keys);
    auto window = std::make_shared<CountingListener>();
    const int segments = PlanSegmentCount(seconds);
    std::printf("file: %d s of %s, %d segments of %d s; one decode pass of the whole file: %.2f CPU s\n", seconds,
                format.c_str(), segments, kSegmentSeconds, decodePass);

    {
        const double cpuBefore = ChildCpuSeconds();
        const auto start = Clock::now();
        TranscriptionJobs convert(cloud, window);
        convert.AddTask(audio, seconds);
        double firstReady = -1;
        while (!window->WaitFor(segments, std::chrono::milliseconds(5))) {
            if (firstReady < 0 && convert.RunningCount() > 0)
                firstReady = Since(start);
            convert.Dispatch();
        }
        const double wall = Since(start);
        const double cutting = ChildCpuSeconds() - cpuBefore;
        std::printf("as fast as workers free up: %.2f s wall, %.2f segments/s, first segment sent after %.2f s; %.2f CPU s in "
                    "ffmpeg = %.2f decode passes (target <= 1.3), peak memory %.1f MB (target <= 110 MB)\n",
                    wall, segments / wall, firstReady, cutting, cutting / decodePass, StatusKb("VmHWM") / 1024.0);
    }

    window->Reset();
    {
        const std::string paced = folder + "/paced." + format;
        std::filesystem::copy_file(audio, paced);
        const auto start = Clock::now();
        TranscriptionJobs convert(cloud, window);
        convert.AddTask(paced, seconds);
        auto nextTick = start + std::chrono::seconds(1);
        while (!window->WaitFor(segments, std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now()))) {
            if (Clock::now() >= nextTick) {
                convert.Dispatch();
                nextTick += std::chrono::seconds(1);
            }
        }
        const double wall = Since(start);
        const double last = TimeOneSegment(SegmentFileName(JobFiles::GetCopyByFile(paced), segments - 1), *cloud);
        const double floor = (segments - 1) + last;
        std::printf("paced, Dispatch every 1000 ms: %.2f s wall; floor %.2f s (%d s of pacing + %.2f s for the last segment "
                    "alone); ratio %.3f (target <= 1.02)\n",
                    wall, floor, segments - 1, last, wall / floor);
    }
    speech.Stop();
    std::filesystem::remove_all(folder);
    return 0;
}
