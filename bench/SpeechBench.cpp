// One recognition of a full 120-second segment (3,840,000 bytes of 16 kHz mono PCM) against the
// speech service double over HTTPS on loopback, the way a worker makes it: a fresh client, a
// token request, the recognition request. The double runs as its own process, so this process's
// memory is the client's alone. Prints, per run: the wall time, the time the double spent
// answering (parsing, decoding, recognising), and the client's peak extra resident memory as a
// multiple of the raw segment (peak RSS during the request minus RSS before it; the peak is
// reset through /proc/self/clear_refs before each run).
//
//   speech_bench [runs] [path of speech_double]
#include "DoubleProcess.h"
#include "ProcessMemory.h"
#include "base/net/HttpRequest.h"
#include "base/net/JsonText.h"
#include "engine/SpeechClient.h"
#include "speech_double/TonePcm.h"

#include <json/value.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr size_t kSegmentBytes = 3840000;

bool ResetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

double DoubleBusyMs(const std::string& statsUrl, const std::string& caFile)
{
    HttpRequest http;
    http.SetCaFile(caFile);
    std::string response;
    if (http.Get(statsUrl, nullptr, nullptr, &response) != 0)
        return -1;
    Json::Value stats;
    if (!ParseJson(response, stats, nullptr, JsonRules::kTolerant))
        return -1;
    return stats["last_recognition_busy_ms"].asDouble();
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string program = argc > 2 ? argv[2] : TALVORA_SPEECH_DOUBLE;
    signal(SIGPIPE, SIG_IGN);

    DoubleProcess child;
    if (!child.Start(program)) {
        std::fprintf(stderr, "cannot start the double %s\n", program.c_str());
        return 1;
    }
    child.ExportEnvironment();
    const std::string speechUrl = child.Environment().at("TALVORA_SPEECH_URL");
    const std::string caFile = child.Environment().at("TALVORA_CA_FILE");
    const std::string statsUrl = speechUrl.substr(0, speechUrl.rfind('/')) + "/double/stats";
    const std::map<std::string, std::string> options = {{"lan", "ZH"}};
    const char* apiKey = "double-api-key";
    const char* secretKey = "double-secret-key";

    // Library set-up (TLS, CA file) happens once per process, not per request: leave it out.
    {
        SpeechClient warmUp(apiKey, secretKey);
        warmUp.RecognizePcm(SpeechDouble::SinePcm(440, 1), "pcm", 16000, options);
    }
    const std::string segment = SpeechDouble::SinePcm(440, 120);
    std::printf("speech_bench: %d run(s), one %zu-byte segment each, HTTPS on loopback, double at %s\n", runs,
                segment.size(), speechUrl.c_str());

    std::vector<double> walls;
    std::vector<double> busies;
    std::vector<double> multiples;
    bool allRecognised = true;
    for (int run = 1; run <= runs; ++run) {
        const bool peakReset = ResetPeak();
        const long before = StatusKb("VmRSS");
        const auto started = std::chrono::steady_clock::now();
        Json::Value reply;
        {
            SpeechClient client(apiKey, secretKey);
            client.SetConnectTimeout(60000);
            client.SetRequestTimeout(600000);
            reply = client.RecognizePcm(segment, "pcm", 16000, options);
        }
        const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        const long peak = StatusKb("VmHWM");
        const double busy = DoubleBusyMs(statsUrl, caFile);
        const double multiple = static_cast<double>(peak - before) * 1024.0 / kSegmentBytes;
        const bool recognised = reply.isObject() && reply["err_no"] == 0 && reply["result"][0] == "tone 440";
        allRecognised = allRecognised && recognised;
        walls.push_back(wall);
        busies.push_back(busy);
        multiples.push_back(multiple);
        std::printf("run %d: wall %.1f ms, double answering %.1f ms, client peak extra memory %.2f x segment "
                    "(%ld KiB)%s%s\n",
                    run, wall, busy, multiple, peak - before, recognised ? "" : ", NOT RECOGNISED",
                    peakReset ? "" : ", peak not resettable: figure includes earlier peaks");
    }
    std::sort(walls.begin(), walls.end());
    std::sort(busies.begin(), busies.end());
    const double worstMultiple = *std::max_element(multiples.begin(), multiples.end());
    std::printf("median wall %.1f ms, median double answering %.1f ms, worst client peak extra memory %.2f x "
                "segment (target: at most 5)\n",
                walls[walls.size() / 2], busies[busies.size() / 2], worstMultiple);

    child.Stop();
    return allRecognised && worstMultiple <= 5.0 ? 0 : 1;
}
