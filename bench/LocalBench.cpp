// The local English recognizer on the decoder's own recorded test speech:
//   local_bench [seconds] [test data folder]     all three parts
//   local_bench program [test data folder]       the third alone
//   1. word error rate and real-time factor over the read-speech clips (librivox/*.wav) against
//      their reference transcripts, decoded one after the other by one decoder on one core,
//      beside the library's own command-line decoders on the same clips with the same model,
//      measured in the same run: pocketsphinx_batch (each clip one utterance, as here) and
//      pocketsphinx_continuous (clips cut at pauses);
//   2. the engine with Recognizer=local-en on a file of `seconds` (default 1200: 10 segments)
//      made of the clips over and over, all 10 segments in flight at once: wall time, real-time
//      factor per core, decoders loaded, peak memory of the process (ffmpeg runs as processes of
//      its own);
//   3. the program itself, `talvora --transcribe` with Recognizer=local-en, on a 10-minute file
//      made of the clips the same way, with its own pacing (one segment started per second):
//      wall time from start to exit, as a share of the recording's duration, and the CPU time
//      of the program and its ffmpeg children.
#include "base/Config.h"
#include "CountingListener.h"
#include "ProcessMemory.h"
#include "engine/TranscriptionJobs.h"
#include "engine/RecognizerSetting.h"
#include "engine/DecoderPool.h"
#include "engine/FfmpegCommand.h"
#include "engine/RecognizerSetting.h"
#include "engine/LocalRecognizer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kSampleRate = 16000;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

uint32_t Le32(const std::string& bytes, size_t at)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
                                 static_cast<uint8_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24);
}

// The samples of a 16 kHz mono 16-bit WAV file (its "data" chunk).
std::vector<int16_t> ReadWavSamples(const std::string& path)
{
    const std::string bytes = ReadAll(path);
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t size = Le32(bytes, at + 4);
        if (bytes.compare(at, 4, "data") == 0) {
            const size_t end = std::min(bytes.size(), at + 8 + size);
            std::vector<int16_t> samples((end - at - 8) / 2);
            std::memcpy(samples.data(), bytes.data() + at + 8, samples.size() * 2);
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

void WriteWav(const std::string& path, const std::vector<int16_t>& samples)
{
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
    std::ofstream out(path, std::ios::binary);
    out << "RIFF" << le32(36 + bytes) << "WAVEfmt " << le32(16) << std::string{1, 0, 1, 0} << le32(16000) << le32(32000)
        << std::string{2, 0, 16, 0} << "data" << le32(bytes);
    out.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        if (word != "<s>" && word != "</s>")
            words.push_back(word);
    }
    return words;
}

// Word-level edit distance: substitutions, deletions and insertions.
size_t WordErrors(const std::vector<std::string>& reference, const std::vector<std::string>& heard)
{
    std::vector<size_t> row(heard.size() + 1);
    for (size_t j = 0; j <= heard.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= reference.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= heard.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (reference[i - 1] == heard[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[heard.size()];
}

// "<s> words </s> (id)" lines, or "words (id score)" lines of the batch decoder: id -> words.
std::map<std::string, std::string> ReadTranscripts(const std::string& text)
{
    std::map<std::string, std::string> transcripts;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const size_t open = line.rfind('(');
        if (open == std::string::npos)
            continue;
        std::string id = line.substr(open + 1, line.find_first_of(" )", open + 1) - open - 1);
        transcripts[id] = line.substr(0, open);
    }
    return transcripts;
}

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

double ChildCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string Run(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

// The clips' samples one after the other, in the order of `ids`.
std::vector<int16_t> AllClips(const std::string& clips, const std::vector<std::string>& ids)
{
    std::vector<int16_t> all;
    for (const std::string& id : ids) {
        const std::vector<int16_t> samples = ReadWavSamples(clips + "/" + id + ".wav");
        all.insert(all.end(), samples.begin(), samples.end());
    }
    return all;
}

// `seconds` of the clips over and over as a WAV file.
void WriteReading(const std::string& path, const std::vector<int16_t>& all, int seconds)
{
    std::vector<int16_t> file;
    const size_t total = static_cast<size_t>(seconds) * 16000;
    while (file.size() < total)
        file.insert(file.end(), all.begin(), all.begin() + static_cast<long>(std::min(all.size(), total - file.size())));
    WriteWav(path, file);
}

// 3. The program as a user starts it, in a data folder of its own that chooses the local
//    recognizer and points the update check at loopback.
void TimeProgram(const std::string& folder, const std::vector<int16_t>& all)
{
    constexpr int kSeconds = 600;
    const std::string data = folder + "/program";
    std::filesystem::create_directories(data + "/Talvora");
    std::ofstream(data + "/Talvora/config.ini", std::ios::binary)
        << "[Talvora]\r\nUpdateUrl=http://127.0.0.1:9\r\nRecognizer=local-en\r\n";
    const std::string speech = folder + "/ten_minutes.wav";
    WriteReading(speech, all, kSeconds);
    const std::string out = folder + "/out";
    const std::string command = "env DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM= TALVORA_DEBUG_OUTPUT= XDG_DATA_HOME='" + data +
                                "' TMPDIR='" + folder + "' '" + TALVORA_APP + "' --transcribe '" + speech +
                                "' --recognizer local-en --output '" + out + "' 2>&1; echo \"exit $?\"";
    const double cpu = ChildCpuSeconds();
    const auto start = Clock::now();
    const std::string said = Run(command);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double used = ChildCpuSeconds() - cpu;
    const size_t words = Words(ReadAll(out + "/ten_minutes.txt")).size();
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("program, talvora --transcribe of a %d-s recording (%d segments, one started per second) with local-en on "
                "%u cores: %.1f s wall, %.3f of its duration (target <= 0.15); %.1f CPU s (%.2f cores busy on average); "
                "%zu words heard\n",
                kSeconds, PlanSegmentCount(kSeconds), cores, wall, wall / kSeconds, used, used / wall, words);
    if (said.find("exit 0") == std::string::npos || words == 0)
        std::printf("  the program said:\n%s", said.c_str());
}

struct Score {
    size_t errors = 0;
    size_t words = 0;
    double Rate() const { return words == 0 ? 0 : 100.0 * static_cast<double>(errors) / static_cast<double>(words); }
};

Score ScoreAll(const std::vector<std::string>& ids, const std::map<std::string, std::string>& reference,
               const std::map<std::string, std::string>& heard)
{
    Score score;
    for (const std::string& id : ids) {
        const auto ref = Words(reference.at(id));
        const auto found = heard.find(id);
        score.errors += WordErrors(ref, found != heard.end() ? Words(found->second) : std::vector<std::string>{});
        score.words += ref.size();
    }
    return score;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const bool programOnly = argc > 1 && std::strcmp(argv[1], "program") == 0;
    const int seconds = argc > 1 && !programOnly ? std::atoi(argv[1]) : 1200;
    const std::string data = argc > 2 ? argv[2] : TALVORA_SPEECH_TESTDATA;
    const std::string clips = data + "/librivox";
    const std::string folder = std::filesystem::temp_directory_path() / ("local_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    setenv("XDG_DATA_HOME", folder.c_str(), 1);

    std::vector<std::string> ids;
    {
        std::istringstream in(ReadAll(clips + "/fileids"));
        for (std::string id; in >> id;)
            ids.push_back(id);
    }
    const auto reference = ReadTranscripts(ReadAll(clips + "/transcription"));
    if (ids.empty() || reference.size() < ids.size()) {
        std::fprintf(stderr, "no clips or transcripts in %s (package pocketsphinx-testdata)\n", clips.c_str());
        return 1;
    }
    if (programOnly) {
        TimeProgram(folder, AllClips(clips, ids));
        std::filesystem::remove_all(folder);
        return 0;
    }

    // 1. This program's recognizer with a decoder of its own, one clip after the other, after one
    //    untimed pass that pages the model in; the decoder goes before the engine runs.
    const std::string modelDir = ReadLocalModelDir();
    std::map<std::string, std::string> ours;
    std::vector<int16_t> all;
    double audioSeconds = 0;
    double cpuSeconds = 0;
    double wallSeconds = 0;
    double loadSeconds = 0;
    {
        std::string error;
        auto pool = std::make_shared<DecoderPool>(1);
        auto start = Clock::now();
        if (!pool->Acquire(modelDir, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        loadSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        LocalRecognizer recognizer(modelDir, pool);
        for (int pass = 0; pass < 2; ++pass) {
            for (const std::string& id : ids) {
                const std::vector<int16_t> samples = ReadWavSamples(clips + "/" + id + ".wav");
                const std::string audio(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
                const double cpu = ThreadCpuSeconds();
                start = Clock::now();
                const RecognitionOutcome outcome = recognizer.Recognize(audio);
                if (pass == 0)
                    continue;
                wallSeconds += std::chrono::duration<double>(Clock::now() - start).count();
                cpuSeconds += ThreadCpuSeconds() - cpu;
                if (outcome.code != 0)
                    std::fprintf(stderr, "%s: %s\n", id.c_str(), outcome.message.c_str());
                ours[id] = outcome.text;
                all.insert(all.end(), samples.begin(), samples.end());
                audioSeconds += static_cast<double>(samples.size()) / kSampleRate;
            }
        }
    }

    // The library's own decoders, same clips, same model.
    const std::string model = modelDir + "/en-us";
    const std::string modelArgs = " -hmm '" + model + "/en-us' -lm '" + model + "/en-us.lm.bin' -dict '" + model + "/cmudict-en-us.dict'";
    const std::string hypFile = folder + "/batch.hyp";
    const std::string batchCommand = "pocketsphinx_batch -adcin yes -adchdr 44 -cepext .wav -cepdir '" + clips + "' -hyp '" + hypFile +
                                     "'" + modelArgs + " 2>/dev/null -ctl ";
    // Its CPU time for the clips is a run over all of them less a run over none (the model load).
    std::ofstream(folder + "/none.ctl").close();
    double cliCpu = ChildCpuSeconds();
    Run(batchCommand + "'" + folder + "/none.ctl'");
    const double cliLoad = ChildCpuSeconds() - cliCpu;
    cliCpu = ChildCpuSeconds();
    Run(batchCommand + "'" + clips + "/fileids'");
    cliCpu = ChildCpuSeconds() - cliCpu - cliLoad;
    const auto batch = ReadTranscripts(ReadAll(hypFile));
    std::map<std::string, std::string> continuous;
    for (const std::string& id : ids)
        continuous[id] = Run("pocketsphinx_continuous -infile '" + clips + "/" + id + ".wav'" + modelArgs + " 2>/dev/null");

    const Score ourScore = ScoreAll(ids, reference, ours);
    const Score batchScore = ScoreAll(ids, reference, batch);
    const Score continuousScore = ScoreAll(ids, reference, continuous);
    std::printf("read speech: %zu clips, %.1f s, %zu words; model loaded in %.2f s\n", ids.size(), audioSeconds,
                ourScore.words, loadSeconds);
    for (const std::string& id : ids)
        std::printf("  %s\n    ref:   %s\n    ours:  %s\n", id.c_str(), reference.at(id).c_str(), ours[id].c_str());
    std::printf("word error rate: ours %.1f %% (%zu errors); pocketsphinx_batch %.1f %%%s; pocketsphinx_continuous %.1f %%%s "
                "(target: ours <= the command-line decoders)\n",
                ourScore.Rate(), ourScore.errors, batchScore.Rate(), batch.empty() ? " (no output: not installed?)" : "",
                continuousScore.Rate(), continuous.begin()->second.empty() ? " (no output: not installed?)" : "");
    std::printf("real-time factor, one core: ours %.3f CPU s / audio s, %.3f wall s / audio s; pocketsphinx_batch %.3f CPU s / "
                "audio s (target <= 0.3)\n",
                cpuSeconds / audioSeconds, wallSeconds / audioSeconds, cliCpu / audioSeconds);

    // 2. The engine: every segment in flight at once.
    const std::string speech = folder + "/reading.wav";
    WriteReading(speech, all, seconds);
    WriteConfigString("Recognizer", "local-en");
    WriteConfigString("UpdateUrl", "http://127.0.0.1:9");
    auto window = std::make_shared<CountingListener>();
    const int segments = PlanSegmentCount(seconds);
    // The peak from here on: the clips' decoder is gone, and the file was made in memory.
    const long rssBefore = StatusKb("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";
    {
        const auto recognizer = std::make_shared<LocalRecognizer>(ReadLocalModelDir());
        TranscriptionJobs convert(recognizer, window);
        const auto start = Clock::now();
        convert.AddTask(speech, seconds);
        int inFlight = 0;
        while (!window->WaitFor(segments, std::chrono::milliseconds(5))) {
            convert.Dispatch();
            inFlight = std::max(inFlight, convert.RunningCount());
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        DecoderPool& pool = recognizer->Pool();
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        std::printf("engine, %d s in %d segments, %d in flight at most, %zu decoders on %u cores: %.1f s wall, "
                    "real-time factor per core %.3f (target <= 0.3); peak memory %.1f MB (%.1f MB at the start; target <= 400 MB)\n",
                    seconds, segments, inFlight, pool.LoadedCount(), cores, wall, wall * cores / seconds, StatusKb("VmHWM") / 1024.0,
                    rssBefore / 1024.0);
    }

    TimeProgram(folder, all);
    std::filesystem::remove_all(folder);
    return 0;
}
