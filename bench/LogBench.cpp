// Log throughput: 10 threads write 200,000 entries in all through the real log, against a floor
// of one thread writing the same number of lines of the same length with fwrite + fflush and
// nothing else (no formatting, no lock, no timestamp).
#include "base/LogFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kThreads = 10;
constexpr int kEntries = 200000;

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    const std::string logPath = folder + "/log_bench_" + std::to_string(getpid()) + ".log";
    const std::string floorPath = folder + "/log_bench_floor_" + std::to_string(getpid()) + ".log";
    const std::string message = "segment 3 of /home/user/Music/lecture.mp3 finished: err_no 0, 1234 bytes";

    double logSeconds;
    long logBytes;
    {
        LogFile log(logPath);
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&] {
                for (int n = 0; n < kEntries / kThreads; ++n)
                    log.Write(Info, "CAudioConvert::OnAudioCallBack", "%s", message.c_str());
            });
        }
        for (auto& thread : threads)
            thread.join();
        logSeconds = Seconds(start);
    }
    {
        FILE* file = std::fopen(logPath.c_str(), "rb");
        std::fseek(file, 0, SEEK_END);
        logBytes = std::ftell(file);
        std::fclose(file);
    }

    // The same bytes per entry as the log wrote, so the floor pays for the same I/O.
    const std::string line(static_cast<size_t>(logBytes / kEntries), 'x');
    double floorSeconds;
    {
        FILE* file = std::fopen(floorPath.c_str(), "ab+");
        const auto start = std::chrono::steady_clock::now();
        for (int n = 0; n < kEntries; ++n) {
            std::fwrite(line.data(), 1, line.size(), file);
            std::fflush(file);
        }
        floorSeconds = Seconds(start);
        std::fclose(file);
    }
    std::remove(logPath.c_str());
    std::remove(floorPath.c_str());

    const double logRate = kEntries / logSeconds;
    const double floorRate = kEntries / floorSeconds;
    std::printf("log:   %d threads, %d entries, %.3f s, %.0f entries/s (%zu bytes per entry)\n", kThreads, kEntries,
                logSeconds, logRate, line.size());
    std::printf("floor: 1 thread fwrite+fflush, %.3f s, %.0f entries/s\n", floorSeconds, floorRate);
    std::printf("ratio: %.2f of the floor (target >= 0.50)\n", logRate / floorRate);
    return 0;
}
