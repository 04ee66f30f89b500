// How long the main window's UI thread stalls while big files are added and started. A 10-ms
// timer on the window's thread notes how late each of its ticks comes while ten 1-GiB WAV files
// and a 4-GiB video (BigMediaFiles.h) are added to the file list, as the open-file dialog adds
// them, and started, as "start all" does, until every file's preparation is over (its private
// copy made and its segments planned, see PreparationOver). The window is the program's own,
// built in this process on the platform Qt was given (xcb on an X display), recognising through
// the speech double on loopback, so started segments never leave the machine:
//   ui_stall_bench <media folder> [--warm] [speech_double program]
// The files are made in the media folder, or taken from it when an earlier run left them there;
// unless --warm they are dropped from the page cache first, so they are read from the disk as
// files the user brings are. Prints the longest lateness against its target, the 99th
// percentile, the ticks late by more than the target and how long adding and starting took.
// bench/ui_stall.sh runs it on an Xvfb display with a data and a temporary folder of its own.
#include "BigMediaFiles.h"
#include "DoubleProcess.h"
#include "base/AppPaths.h"
#include "engine/CloudRecognizer.h"
#include "engine/CredentialPool.h"
#include "engine/FfmpegCommand.h"
#include "engine/FileList.h"
#include "engine/TranscriptionJobs.h"
#include "skin/EmbeddedSkin.h"
#include "speech_double/SpeechDouble.h"
#include "ui/FileListView.h"
#include "ui/MainWindow.h"
#include "ui/UiLanguage.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTickMs = 10;
constexpr double kTargetMs = 50;
constexpr auto kIdleBaseline = std::chrono::seconds(2);
constexpr auto kListedTimeout = std::chrono::minutes(10);
constexpr auto kPreparedTimeout = std::chrono::minutes(30);

double Ms(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

enum class Phase { Idle, Adding, Starting, After };

// A 10-ms timer on the UI thread, and how late each tick came (the time since the one before,
// less the period), by the phase the window was in when it came. A stall of the thread shows
// in the first tick after it.
class StallClock {
public:
    StallClock()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kTickMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            lateness_[phase_].push_back(std::max(0.0, Ms(now - last_) - kTickMs));
            last_ = now;
        });
    }
    void Start()
    {
        last_ = Clock::now();
        timer_.start();
    }
    void Stop() { timer_.stop(); }
    void SetPhase(Phase phase) { phase_ = phase; }
    std::vector<double> Lateness(std::initializer_list<Phase> phases) const
    {
        std::vector<double> all;
        for (Phase phase : phases) {
            const auto found = lateness_.find(phase);
            if (found != lateness_.end())
                all.insert(all.end(), found->second.begin(), found->second.end());
        }
        return all;
    }

private:
    QTimer timer_;
    Clock::time_point last_;
    Phase phase_ = Phase::Idle;
    std::map<Phase, std::vector<double>> lateness_;
};

struct Figures {
    size_t ticks = 0;
    double longest = 0;
    double p99 = 0;
    size_t late = 0;  // by more than the target
};

Figures Summarise(std::vector<double> lateness)
{
    Figures figures;
    figures.ticks = lateness.size();
    if (lateness.empty())
        return figures;
    std::sort(lateness.begin(), lateness.end());
    figures.longest = lateness.back();
    // Nearest rank.
    const auto rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(lateness.size())));
    figures.p99 = lateness[std::max<size_t>(rank, 1) - 1];
    figures.late = static_cast<size_t>(std::count_if(lateness.begin(), lateness.end(), [](double ms) { return ms > kTargetMs; }));
    return figures;
}

// Runs the event loop until `condition` holds (looked at every 20 ms) or `timeout` passes.
bool RunUntil(const std::function<bool()>& condition, Clock::duration timeout)
{
    if (condition())
        return true;
    const Clock::time_point deadline = Clock::now() + timeout;
    bool held = false;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        held = condition();
        if (held || Clock::now() >= deadline)
            loop.quit();
    });
    poll.start();
    loop.exec();
    return held;
}

// Hands a call to the event loop, as a click would reach the window.
void Post(std::function<void()> call)
{
    QTimer::singleShot(0, qApp, std::move(call));
}

// Whether every file's preparation is over: each row has left idle, and the job manager holds
// every file's whole plan, its segments queued, running or finished. Today the start copies and
// plans on the UI thread before it returns; once the probe, the copy and the planning run
// elsewhere, this is the one place that says how the benchmark sees them end.
bool PreparationOver(MainWindow& window)
{
    TranscriptionJobs* jobs = window.GetJobs();
    if (jobs == nullptr)
        return false;
    const FileList& files = window.GetFileListView()->Files();
    size_t planned = 0;
    size_t held = jobs->QueuedCount() + static_cast<size_t>(jobs->RunningCount());
    for (int row = 0; row < files.Count(); ++row) {
        const FileRow* item = files.Row(row);
        if (item->status == ItemIdle)
            return false;
        const int32_t seconds = item->durationSeconds >= 1 ? item->durationSeconds : TranscriptionJobs::kSubstituteSeconds;
        planned += static_cast<size_t>(PlanSegmentCount(seconds));
        held += jobs->GetFinishedSegments(item->filePath).size();
    }
    return held >= planned;
}

std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// Whether the folder's file system has room for the files still to be made and for the job
// folders' copies of all of them (under `copies`), with 2 GiB to spare for everyone else.
bool EnoughSpace(const std::string& media, const std::string& copies)
{
    const uint64_t all = BigMediaFiles::kAudioFiles * BigMediaFiles::kAudioBytes + BigMediaFiles::kVideoBytes;
    const uint64_t spare = uint64_t{2} << 30;
    struct stat mediaInfo{}, copiesInfo{};
    std::error_code error;
    if (stat(media.c_str(), &mediaInfo) != 0 || stat(copies.c_str(), &copiesInfo) != 0)
        return false;
    const uint64_t missing = BigMediaFiles::MissingBytes(media);
    const uint64_t mediaFree = std::filesystem::space(media, error).available;
    const uint64_t copiesFree = std::filesystem::space(copies, error).available;
    if (error)
        return false;
    if (mediaInfo.st_dev == copiesInfo.st_dev)
        return mediaFree >= missing + all + spare;
    return mediaFree >= missing + spare && copiesFree >= all + spare;
}

void PrintFigures(const char* label, const Figures& figures)
{
    std::printf("%s: longest lateness %.1f ms, 99th percentile %.1f ms, %zu of %zu ticks late by more than %.0f ms\n",
                label, figures.longest, figures.p99, figures.late, figures.ticks, kTargetMs);
}

}  // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    std::string media;
    std::string doubleProgram = TALVORA_SPEECH_DOUBLE;
    bool warm = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--warm")
            warm = true;
        else if (media.empty())
            media = argument;
        else
            doubleProgram = argument;
    }
    if (media.empty()) {
        std::fprintf(stderr, "usage: ui_stall_bench <media folder> [--warm] [speech_double program]\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(media, error);
    // The job folders go under the data folder.
    if (!EnoughSpace(media, AppPaths::GetAppDataDir())) {
        std::fprintf(stderr, "not enough free disk space for the files and their copies\n");
        return 1;
    }
    const std::vector<std::string> paths = BigMediaFiles::Prepare(media);
    if (paths.empty())
        return 1;
    if (!warm) {
        for (const std::string& path : paths)
            BigMediaFiles::DropFromCache(path);
    }

    DoubleProcess speech;
    if (!speech.Start(doubleProgram)) {
        std::fprintf(stderr, "the speech double did not start\n");
        return 1;
    }
    speech.ExportEnvironment();

    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Talvora"));
    UiLanguage::SetUp();
    InstallEmbeddedSkin();

    auto keys = std::make_shared<CredentialPool>();
    keys->Replace({{SpeechDouble::kTestApiKey, SpeechDouble::kTestSecretKey}});
    auto window = std::make_unique<MainWindow>(std::make_shared<CloudRecognizer>(keys));
    if (!window->Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 800, 600) ||
        !RunUntil(
            [&] {
                QWidget* widget = window->GetWidget();
                return widget != nullptr && widget->windowHandle() != nullptr && widget->windowHandle()->isExposed();
            },
            std::chrono::seconds(30))) {
        std::fprintf(stderr, "the main window did not come up\n");
        return 1;
    }

    std::printf("ui_stall_bench: %d x %.1f GiB WAV (44.1 kHz, 16-bit stereo) and 1 x %.1f GiB MKV (MPEG-4, AAC), %s; "
                "platform %s; load average %s\n",
                BigMediaFiles::kAudioFiles, BigMediaFiles::kAudioBytes / double(1 << 30),
                std::filesystem::file_size(paths.back(), error) / double(1 << 30), warm ? "in the page cache" : "cold",
                qPrintable(QGuiApplication::platformName()), LoadAverage().c_str());
    std::fflush(stdout);

    StallClock clock;
    clock.Start();
    RunUntil([] { return false; }, kIdleBaseline);

    FileList& files = window->GetFileListView()->Files();
    const Clock::time_point addCalled = Clock::now();
    Clock::time_point addReturned{};
    clock.SetPhase(Phase::Adding);
    Post([&] {
        window->AddFiles(paths, "the stall benchmark");
        addReturned = Clock::now();
    });
    const bool listed = RunUntil([&] { return addReturned != Clock::time_point{} && files.Count() == int(paths.size()); },
                                 kListedTimeout);
    const Clock::time_point listedAt = Clock::now();

    Clock::time_point startCalled{};
    Clock::time_point startReturned{};
    bool prepared = false;
    if (listed) {
        clock.SetPhase(Phase::Starting);
        Post([&] {
            startCalled = Clock::now();
            window->StartAllItems();
            startReturned = Clock::now();
        });
        prepared = RunUntil([&] { return startReturned != Clock::time_point{} && PreparationOver(*window); }, kPreparedTimeout);
    }
    const Clock::time_point preparedAt = Clock::now();
    if (listed && !prepared) {
        for (int row = 0; row < files.Count(); ++row)
            std::fprintf(stderr, "row %d: status %d, %d s, %s\n", row, files.Row(row)->status, files.Row(row)->durationSeconds,
                         files.Row(row)->filePath.c_str());
    }
    clock.SetPhase(Phase::After);
    clock.Stop();

    PrintFigures("idle window, 2 s before adding", Summarise(clock.Lateness({Phase::Idle})));
    const Figures whole = Summarise(clock.Lateness({Phase::Adding, Phase::Starting}));
    std::printf("adding and starting %zu files (%zu ticks of %d ms):\n", paths.size(), whole.ticks, kTickMs);
    std::printf("  longest lateness %.1f ms (target <= %.0f ms)\n", whole.longest, kTargetMs);
    std::printf("  99th percentile %.1f ms\n", whole.p99);
    std::printf("  ticks late by more than %.0f ms: %zu\n", kTargetMs, whole.late);
    std::printf("  longest lateness while adding %.1f ms, while starting %.1f ms\n",
                Summarise(clock.Lateness({Phase::Adding})).longest, Summarise(clock.Lateness({Phase::Starting})).longest);
    std::printf("  adding: the call returned after %.0f ms; %s after %.0f ms\n", Ms(addReturned - addCalled),
                listed ? "every row listed" : "NOT every row listed", Ms(listedAt - addCalled));
    if (listed) {
        std::printf("  starting: the call returned after %.0f ms; %s after %.0f ms (%.0f ms after the add began)\n",
                    Ms(startReturned - startCalled),
                    prepared ? "every file's preparation over" : "preparation NOT over", Ms(preparedAt - startCalled),
                    Ms(preparedAt - addCalled));
    }
    std::printf("load average at the end %s\n", LoadAverage().c_str());
    std::fflush(stdout);

    // The running attempts end against the double before the window and the double go.
    for (int row = 0; row < files.Count(); ++row)
        files.Stop(row);
    if (window->GetJobs() != nullptr)
        RunUntil([&] { return window->GetJobs()->RunningCount() == 0; }, std::chrono::minutes(2));
    window.reset();
    QCoreApplication::processEvents();
    speech.Stop();
    return listed && prepared ? 0 : 1;
}
