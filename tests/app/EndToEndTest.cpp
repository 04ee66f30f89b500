// The whole program as a user meets it: the real executable on a virtual X display (Xvfb),
// driven through its windows with real mouse clicks and key presses (xdotool): recognising
// generated audio files through the speech double and saving their texts, after a message box;
// a row stopped and recognised again through its context menu, then a close that asks first;
// ended by a termination signal while a file dialog is open; ended by the About window's update;
// the recognizer switched in the settings window for the next file.
//
// With TALVORA_SCREENSHOTS set to a folder, the test also saves pictures of the window there.
#include "base/AppVersion.h"
#include "ProgramProcess.h"
#include "speech_double/LoopbackPort.h"
#include "support/LoopbackHttpServer.h"
#include "speech_double/SpeechDouble.h"
#include "support/AudioFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <functional>
#include <mutex>
#include <poll.h>
#include <sstream>
#include <unistd.h>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

// Where the main window's controls are, in window coordinates, as its layout places them in the
// 800 x 600 window: the toolbar's five equal parts start below the 2-pixel inset and the 50-pixel
// title bar; the close button is the last of the title bar, 15 pixels from the right edge.
constexpr int kToolbarY = 2 + 50 + 15;
constexpr int kToolbarPart = (796 - 4 * 10) / 5 + 10;
constexpr int kAddX = 2 + kToolbarPart * 0 + 75;
constexpr int kStartAllX = 2 + kToolbarPart * 2 + 75;
constexpr int kSaveX = 2 + kToolbarPart * 3 + 75;
constexpr int kCloseX = 800 - 2 - 15 - 10;
constexpr int kCloseY = 2 + 10 + 10;
// The About button, left of the minimise, maximise and close buttons.
constexpr int kAboutX = 800 - 2 - 15 - 3 * (21 + 10) - 14;
constexpr int kAboutY = 2 + 6 + 14;
// The settings button, left of the About button (28 pixels wide, 8 apart).
constexpr int kSettingsX = kAboutX - 14 - 8 - 14;
// In the settings window (560 x 600): the "本地英文" option's mark, second of the row of options
// below the 5-pixel inset, the 40-pixel title bar, the 8-pixel inset and the 24-pixel heading;
// and OK, left of the two 120-wide buttons 30 apart, centred above the 10-pixel inset.
constexpr int kLocalOptionX = 8 + 20 + 110 + 10 + 8;
constexpr int kLocalOptionY = 5 + 40 + 8 + 24 + 4 + 13;
constexpr int kSettingsOkX = 8 + (544 - 330) / 2 + 30 + 60;
constexpr int kSettingsOkY = 600 - 10 - 17;
// A point in the title bar away from its buttons: the caption a drag moves the window by.
constexpr int kCaptionX = 400;
constexpr int kCaptionY = 25;
// The first row's delete cell: the list starts below the toolbar, its border, inset and 24-pixel
// header; the delete column is the last 80 pixels (left of the scroll bar when it has one).
constexpr int kDeleteX = 745;
constexpr int kActionX = kDeleteX - 80;
constexpr int kFileX = 200;
constexpr int kFirstRowY = 2 + 50 + 30 + 1 + 1 + 24 + 8;
// OK of a message box (400 x 260, Cancel hidden) and of the About window (520 x 360).
constexpr int kNoticeOkX = 200;
constexpr int kNoticeOkY = 260 - 10 - 15 - 15;
// OK of a message box with Cancel too: the two 100-wide buttons, 20 apart, centred.
constexpr int kQuestionOkX = 200 - 10 - 50;
constexpr int kAboutOkX = 260;
constexpr int kAboutOkY = 360 - 10 - 10 - 17;

bool OnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

std::string Trim(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

class EndToEndTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OnPath("Xvfb")) << "Xvfb is missing (tools/setup-deps.sh installs it)";
        ASSERT_TRUE(OnPath("xdotool")) << "xdotool is missing (tools/setup-deps.sh installs it)";
        StartDisplay();
        ASSERT_FALSE(display_.empty());
        std::string error;
        speech_ = SpeechDouble::Server::Start({}, &error);
        ASSERT_TRUE(speech_) << error;
        fs::create_directories(AppData());
        // Chinese whatever the system's language: the windows are found by their Chinese titles.
        WriteFile(AppData() + "/config.ini", "[Talvora]\nUiLanguage=zh\nUpdateUrl=http://127.0.0.1:" +
                                                 std::to_string(SpeechDouble::UnusedLoopbackPort()) + "\n");
    }

    void TearDown() override
    {
        if (HasFailure())
            std::fprintf(stderr, "program output:\n%s\nlog:\n%s\n", ReadFile(dir_ / "program.txt").c_str(), Log().c_str());
        if (program_.Running())
            program_.Signal(SIGTERM);
        program_.Wait(std::chrono::seconds(30));
        xvfb_.Signal(SIGTERM);
        xvfb_.Wait(std::chrono::seconds(10));
    }

    // Xvfb picks a free display number and writes it to descriptor 3.
    void StartDisplay()
    {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const bool started = xvfb_.Start({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
                                         {}, dir_ / "xvfb.txt", fds[1]);
        close(fds[1]);
        std::string number;
        if (started) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
                pollfd fd{fds[0], POLLIN, 0};
                if (poll(&fd, 1, 1000) <= 0)
                    continue;
                char chunk[32];
                const ssize_t got = read(fds[0], chunk, sizeof chunk);
                if (got <= 0)
                    break;
                number.append(chunk, static_cast<size_t>(got));
            }
        }
        close(fds[0]);
        number = Trim(number);
        ASSERT_FALSE(number.empty()) << ReadFile(dir_ / "xvfb.txt");
        display_ = ":" + number;
    }

    std::string AppData() const { return dir_ / "data/Talvora"; }
    // Where the exit moves "Temp" to.
    std::string MovedTemp() const { return dir_ / ("talvora-" + std::to_string(getuid()) + "/Temp"); }

    // Starts the program on the display and waits until its window is up and its update check
    // has sent `updateReports` reports ending with "update msg: 2, " (the check failed).
    void StartProgram(size_t updateReports = 2)
    {
        std::map<std::string, std::string> env = speech_->Environment();
        env["DISPLAY"] = display_;
        env["QT_QPA_PLATFORM"] = "xcb";
        env["XDG_DATA_HOME"] = dir_ / "data";
        env["TMPDIR"] = dir_.Path();
        env["XAUTHORITY"] = "";
        env["WAYLAND_DISPLAY"] = "";
        env["TALVORA_DEBUG_OUTPUT"] = "";
        // In a sanitizer build: a system library's own leak is not the program's.
        const char* lsan = std::getenv("LSAN_OPTIONS");
        env["LSAN_OPTIONS"] = std::string(lsan != nullptr ? lsan : "") + " suppressions=" TALVORA_LSAN_SUPPRESSIONS;
        logStart_ = Log().size();
        ASSERT_TRUE(program_.Start({TALVORA_APP}, env, dir_ / "program.txt"));
        ASSERT_TRUE(WaitUntil([&] { return RunLog().find(TestSupport::LogEntry("WinMain", std::string("start app ") + kAppVersionText)) != std::string::npos; },
                              std::chrono::seconds(30)))
            << ReadFile(dir_ / "program.txt");
        // The update check (to a port nobody listens on, or to the test's server) has ended.
        ASSERT_TRUE(WaitUntil([&] { return Occurrences(RunLog(), "update msg: 2, ") == updateReports; },
                              std::chrono::seconds(30)));
        const ChildResult found = Xdo({"search", "--sync", "--onlyvisible", "--class", "Talvora"});
        ASSERT_EQ(found.exitCode, 0);
        window_ = Trim(found.output.substr(0, found.output.find('\n')));
        ASSERT_TRUE(WaitUntil([&] { return Trim(Xdo({"getwindowfocus"}).output) == window_; }, std::chrono::seconds(30)));
    }
    // What the current run wrote to the log.
    std::string RunLog() const { return Log().substr(std::min(logStart_, Log().size())); }

    // The program ended in order: exit code 0, the close sequence and the exit once each, the
    // log's end banner, no crash report, and "Temp" moved away.
    void ExpectOrderlyEnd()
    {
        EXPECT_EQ(program_.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir_ / "program.txt");
        const std::string log = RunLog();
        const size_t close = log.find(TestSupport::LogEntry("RtmpPlayer::Close", "main close"));
        const size_t exit = log.find(TestSupport::LogEntry("CData::PostAppExit", "app exit"));
        ASSERT_NE(close, std::string::npos) << log;
        ASSERT_NE(exit, std::string::npos) << log;
        EXPECT_LT(close, exit);
        EXPECT_EQ(Occurrences(log, "main close"), 1u);
        // A worker whose file was stopped logs "app exit. OnAudioCallBack no PostMessage" too.
        EXPECT_EQ(Occurrences(log, "CData::PostAppExit:\t\tapp exit"), 1u);
        EXPECT_GT(log.rfind("************************"), exit);
        // No thread was left working when the process tidied up.
        EXPECT_EQ(log.find("still running"), std::string::npos) << log;
        EXPECT_TRUE(!fs::exists(AppData() + "/crashDumps") || fs::is_empty(AppData() + "/crashDumps"));
        EXPECT_TRUE(fs::is_directory(MovedTemp()));
        EXPECT_FALSE(fs::exists(AppData() + "/Temp"));
    }
    std::string Log() const { return ReadFile(AppData() + "/Talvora.log"); }
    static size_t Occurrences(const std::string& text, const std::string& part)
    {
        return TestSupport::CountOccurrences(text, part);
    }

    ChildResult Xdo(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunChild(argv, {{"DISPLAY", display_}}, std::chrono::seconds(30));
    }
    // The visible windows whose title is `name`.
    std::string WindowNamed(const std::string& name)
    {
        const ChildResult found = Xdo({"search", "--onlyvisible", "--name", "^" + name + "$"});
        return found.exitCode == 0 ? Trim(found.output.substr(0, found.output.find('\n'))) : std::string();
    }
    bool WaitForFocusedWindow(const std::string& name)
    {
        return WaitUntil([&] {
            const std::string window = WindowNamed(name);
            return !window.empty() && Trim(Xdo({"getwindowfocus"}).output) == window;
        }, std::chrono::seconds(30));
    }
    // The visible windows of the program.
    std::vector<std::string> ProgramWindows()
    {
        std::vector<std::string> windows;
        std::stringstream found(Xdo({"search", "--onlyvisible", "--class", "Talvora"}).output);
        std::string window;
        while (std::getline(found, window)) {
            if (!Trim(window).empty())
                windows.push_back(Trim(window));
        }
        return windows;
    }
    // The window of the program that has the focus once it is not the main window, or empty.
    std::string WaitForOtherFocusedWindow()
    {
        std::string other;
        WaitUntil([&] {
            other = Trim(Xdo({"getwindowfocus"}).output);
            return !other.empty() && other != window_;
        }, std::chrono::seconds(30));
        return other != window_ ? other : std::string();
    }
    void Click(int x, int y, const std::string& window = {})
    {
        EXPECT_EQ(Xdo({"mousemove", "--window", window.empty() ? window_ : window, std::to_string(x), std::to_string(y),
                       "click", "1"})
                      .exitCode,
                  0);
    }
    // The main window's position on the screen.
    std::string Position()
    {
        const std::string geometry = Xdo({"getwindowgeometry", window_}).output;
        const size_t at = geometry.find("Position: ");
        return at == std::string::npos ? std::string() : geometry.substr(at + 10, geometry.find(' ', at + 10) - at - 10);
    }
    void Type(const std::string& text)
    {
        EXPECT_EQ(Xdo({"type", "--delay", "10", text}).exitCode, 0);
        EXPECT_EQ(Xdo({"key", "Return"}).exitCode, 0);
    }
    // 添加音频, then each of `typed` into the open-file dialog (a folder, then names; or a path);
    // true once the list has taken all `count` files.
    bool AddThroughDialog(const std::vector<std::string>& typed, int count)
    {
        Click(kAddX, kToolbarY);
        if (!WaitForFocusedWindow("选择文件"))
            return false;
        for (const std::string& text : typed)
            Type(text);
        const std::string added = "chose " + std::to_string(count) + " files, added " + std::to_string(count);
        return WaitUntil([&] { return RunLog().find(TestSupport::LogEntryStart("AddFiles", added)) != std::string::npos; },
                         std::chrono::seconds(30));
    }
    void Picture(const std::string& name)
    {
        const char* folder = std::getenv("TALVORA_SCREENSHOTS");
        if (folder == nullptr || *folder == '\0')
            return;
        fs::create_directories(folder);
        RunChild({TALVORA_SCREEN_GRAB, std::string(folder) + "/" + name + ".png", window_},
                 {{"DISPLAY", display_}, {"QT_QPA_PLATFORM", "xcb"}}, std::chrono::seconds(30));
    }

    TempDir dir_;
    AppTest::ProgramProcess xvfb_;
    AppTest::ProgramProcess program_;
    std::string display_;
    std::string window_;
    std::unique_ptr<SpeechDouble::Server> speech_;
    size_t logStart_ = 0;
};

TEST_F(EndToEndTest, TwoFilesAreAddedRecognisedAndSavedThroughTheWindow)
{
    const std::string audio = dir_ / "audio files";
    const std::string out = dir_ / "saved texts";
    fs::create_directories(audio);
    fs::create_directories(out);
    // Two segments for the first file, one for the second; the third is deleted unheard.
    ASSERT_TRUE(MakeToneFile(audio + "/meeting one.wav", 130, {440, 660}, 120));
    ASSERT_TRUE(MakeToneFile(audio + "/memo.mp3", 20, {550}, 120));
    ASSERT_TRUE(MakeToneFile(audio + "/gone.wav", 20, {770}, 120));
    StartProgram();
    EXPECT_NE(Xdo({"getwindowgeometry", window_}).output.find("Geometry: 800x600"), std::string::npos);
    // The desktop shows the program's icon for the window (task bar, window switcher).
    EXPECT_NE(RunChild({"xprop", "-id", window_, "_NET_WM_ICON"}, {{"DISPLAY", display_}}).output.find("Icon ("),
              std::string::npos);

    // A message box first ("暂无需要保存的内容!"), closed with its OK.
    Click(kSaveX, kToolbarY);
    const std::string notice = WaitForOtherFocusedWindow();
    ASSERT_FALSE(notice.empty());
    Click(kNoticeOkX, kNoticeOkY, notice);
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<std::string> windows = ProgramWindows();
        return std::find(windows.begin(), windows.end(), notice) == windows.end();
    }, std::chrono::seconds(30)));

    // Add the files through the open-file dialog: into the folder, then the names.
    ASSERT_TRUE(AddThroughDialog({audio + "/", "\"gone.wav\" \"meeting one.wav\" \"memo.mp3\""}, 3));
    // The list's cells still take clicks after the message box: the first row goes.
    Click(kDeleteX, kFirstRowY);
    Picture("MainWindow-added");

    // Recognise all; the tick dispatches the second segment.
    Click(kStartAllX, kToolbarY);
    ASSERT_TRUE(WaitUntil([&] { return Occurrences(Log(), "recognition finished: ") == 2; }, std::chrono::seconds(60)))
        << Log();
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Recognition), 3);
    EXPECT_EQ(Log().find("gone.wav"), std::string::npos);
    Picture("MainWindow-done");

    // Save both texts into a folder picked in the folder chooser. The texts appear whole under
    // their names, but the test waits for their contents, not just for the names.
    Click(kSaveX, kToolbarY);
    ASSERT_TRUE(WaitForFocusedWindow("选择保存目录"));
    Type(out);
    EXPECT_TRUE(WaitUntil([&] {
        return ReadFile(out + "/meeting one.txt") == "tone 440 tone 660\n" && ReadFile(out + "/memo.txt") == "tone 550\n";
    }, std::chrono::seconds(30)));
    EXPECT_EQ(ReadFile(out + "/meeting one.txt"), "tone 440 tone 660\n");
    EXPECT_EQ(ReadFile(out + "/memo.txt"), "tone 550\n");
    EXPECT_FALSE(Exists(out + "/gone.txt"));
    Picture("MainWindow-saved");

    // The title bar still drags the window.
    const std::string before = Position();
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(Xdo({"mousemove", "--window", window_, std::to_string(kCaptionX), std::to_string(kCaptionY), "mousedown",
                   "1", "mousemove_relative", "60", "40", "mousemove_relative", "40", "30", "mouseup", "1"})
                  .exitCode,
              0);
    EXPECT_TRUE(WaitUntil([&] { return Position() != before; })) << before;

    // Close with the title bar's button: the program ends in order, with exit code 0.
    Click(kCloseX, kCloseY);
    ExpectOrderlyEnd();
    // The moved "Temp" holds the two files' jobs.
    EXPECT_EQ(std::distance(fs::directory_iterator(MovedTemp()), fs::directory_iterator()), 2);
}

TEST_F(EndToEndTest, ARowIsStoppedAndRecognisedAgainThroughItsMenuAndTheCloseAsksFirst)
{
    // The first recognition's answer waits until the test lets it go. The gate is shared with the
    // double's threads: a request that comes after an early end of the test must find it still
    // there.
    struct Gate {
        std::mutex lock;
        std::condition_variable changed;
        bool held = true;
        int waiting = 0;
    };
    const auto gate = std::make_shared<Gate>();
    speech_->SetFaultSelector([gate](const SpeechDouble::RequestInfo& request) {
        if (request.endpoint != SpeechDouble::Endpoint::Recognition)
            return SpeechDouble::Fault::Normal();
        std::unique_lock<std::mutex> guard(gate->lock);
        ++gate->waiting;
        gate->changed.wait(guard, [&] { return !gate->held; });
        return SpeechDouble::Fault::Normal();
    });
    auto release = [gate] {
        std::lock_guard<std::mutex> guard(gate->lock);
        gate->held = false;
        gate->changed.notify_all();
    };
    auto waitingCount = [gate] {
        std::lock_guard<std::mutex> guard(gate->lock);
        return gate->waiting;
    };
    // Whatever ends the test, no answer stays held: the double could not stop.
    struct ReleaseAtEnd {
        std::function<void()> release;
        ~ReleaseAtEnd() { release(); }
    } releaseAtEnd{release};
    const std::string audio = dir_ / "audio";
    fs::create_directories(audio);
    ASSERT_TRUE(MakeToneFile(audio + "/talk.wav", 20, {440}, 120));
    StartProgram();
    ASSERT_TRUE(AddThroughDialog({audio + "/talk.wav"}, 1));
    Click(kActionX, kFirstRowY);
    ASSERT_TRUE(WaitUntil([&] { return waitingCount() == 1; }, std::chrono::seconds(30)));

    // The right button opens the row's menu; its first item stops the file.
    auto chooseFromMenu = [&](int item) {
        EXPECT_EQ(Xdo({"mousemove", "--window", window_, std::to_string(kFileX), std::to_string(kFirstRowY), "click", "3"})
                      .exitCode,
                  0);
        std::string menu;
        ASSERT_TRUE(WaitUntil([&] {
            for (const std::string& each : ProgramWindows()) {
                if (each != window_)
                    menu = each;
            }
            return !menu.empty();
        }, std::chrono::seconds(30)));
        Picture("MainWindow-menu");
        // Seven items of one height: the middle of item `item`.
        constexpr int kItems = 7;
        const std::string geometry = Xdo({"getwindowgeometry", menu}).output;
        const size_t at = geometry.find("Geometry: ");
        ASSERT_NE(at, std::string::npos) << geometry;
        const int width = std::stoi(geometry.substr(at + 10));
        const int height = std::stoi(geometry.substr(geometry.find('x', at) + 1));
        Click(width / 2, height * (2 * item + 1) / (2 * kItems), menu);
    };
    chooseFromMenu(0);
    ASSERT_TRUE(WaitUntil([&] { return RunLog().find("recognition stopped: " + audio + "/talk.wav") != std::string::npos; },
                          std::chrono::seconds(30)))
        << RunLog();
    // The answer that was under way goes nowhere.
    release();
    ASSERT_TRUE(WaitUntil([&] { return RunLog().find("speech text size: ") != std::string::npos; }, std::chrono::seconds(30)));
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Recognition), 1);
    EXPECT_EQ(RunLog().find("recognition finished: "), std::string::npos);

    // Started again with the action cell, it finishes; the menu's third item recognises it again.
    Click(kActionX, kFirstRowY);
    ASSERT_TRUE(WaitUntil([&] { return Occurrences(RunLog(), "recognition finished: ") == 1; }, std::chrono::seconds(60)));
    {
        std::lock_guard<std::mutex> guard(gate->lock);
        gate->held = true;
    }
    chooseFromMenu(2);
    ASSERT_TRUE(WaitUntil([&] { return RunLog().find("recognition again: ") != std::string::npos; }, std::chrono::seconds(30)))
        << RunLog();
    ASSERT_TRUE(WaitUntil([&] { return waitingCount() == 3; }, std::chrono::seconds(30)));

    // The file is being recognised again: the close asks, and OK ends the program in order
    // without waiting for the answer under way.
    Click(kCloseX, kCloseY);
    const std::string question = WaitForOtherFocusedWindow();
    ASSERT_FALSE(question.empty());
    EXPECT_TRUE(program_.Running());
    Click(kQuestionOkX, kNoticeOkY, question);
    ExpectOrderlyEnd();
    release();
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Recognition), 3);
}

TEST_F(EndToEndTest, ATerminationSignalWhileAFileDialogIsOpenEndsInOrder)
{
    // The open-file dialog.
    StartProgram();
    Click(kAddX, kToolbarY);
    ASSERT_TRUE(WaitForFocusedWindow("选择文件"));
    ASSERT_TRUE(program_.Signal(SIGTERM));
    ExpectOrderlyEnd();
    EXPECT_NE(RunLog().find(TestSupport::LogEntry("WinMain", "signal 15: closing")), std::string::npos);

    // The folder chooser, once a file is done.
    const std::string audio = dir_ / "audio";
    fs::create_directories(audio);
    ASSERT_TRUE(MakeToneFile(audio + "/memo.wav", 20, {550}, 120));
    StartProgram();
    ASSERT_TRUE(AddThroughDialog({audio + "/memo.wav"}, 1));
    Click(kStartAllX, kToolbarY);
    ASSERT_TRUE(WaitUntil([&] { return Occurrences(RunLog(), "recognition finished: ") == 1; }, std::chrono::seconds(60)));
    Click(kSaveX, kToolbarY);
    ASSERT_TRUE(WaitForFocusedWindow("选择保存目录"));
    ASSERT_TRUE(program_.Signal(SIGTERM));
    ExpectOrderlyEnd();
    EXPECT_EQ(std::distance(fs::directory_iterator(MovedTemp()), fs::directory_iterator()), 1);
}

TEST_F(EndToEndTest, UpdateNowInTheAboutWindowEndsTheProgramOnce)
{
    // An update server that knows a newer version (its list of files is missing).
    LoopbackHttpServer updates;
    updates.Server().Get("/version/Talvora", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"({"latest-version":"9.9.9","minimum-required":"0"})", "application/json");
    });
    updates.Start();
    WriteFile(AppData() + "/config.ini", "[Talvora]\nUiLanguage=zh\nUpdateUrl=" + updates.Url() + "\n");
    StartProgram(1);
    ASSERT_NE(RunLog().find("update msg: 1, 9.9.9"), std::string::npos) << RunLog();

    Click(kAboutX, kAboutY);
    const std::string about = WaitForOtherFocusedWindow();
    ASSERT_FALSE(about.empty());
    Click(kAboutOkX, kAboutOkY, about);
    ExpectOrderlyEnd();
    const std::string log = RunLog();
    EXPECT_NE(log.find(TestSupport::LogEntryStart("CAboutAppDlg::OnClick", "update now")), std::string::npos) << log;
    EXPECT_LT(log.find("update now"), log.find("main close"));
    // The exit moved this run's temporary folder away, as any end does.
    EXPECT_TRUE(fs::is_directory(MovedTemp()));
    EXPECT_FALSE(fs::exists(AppData() + "/Temp"));
}

TEST_F(EndToEndTest, TheSettingsWindowSwitchesTheNextFileToTheLocalRecognizer)
{
    const std::string audio = dir_ / "audio";
    fs::create_directories(audio);
    ASSERT_TRUE(MakeToneFile(audio + "/memo.wav", 20, {440}, 120));
    StartProgram();
    EXPECT_EQ(Trim(Xdo({"getwindowname", window_}).output), "Talvora");

    Click(kSettingsX, kAboutY);
    const std::string settings = WaitForOtherFocusedWindow();
    ASSERT_FALSE(settings.empty());
    EXPECT_NE(Xdo({"getwindowgeometry", settings}).output.find("Geometry: 560x600"), std::string::npos);
    Picture("SettingsDlg");
    Click(kLocalOptionX, kLocalOptionY, settings);
    Click(kSettingsOkX, kSettingsOkY, settings);
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<std::string> windows = ProgramWindows();
        return std::find(windows.begin(), windows.end(), settings) == windows.end();
    }, std::chrono::seconds(30)));
    EXPECT_NE(ReadFile(AppData() + "/config.ini").find("Recognizer=local-en"), std::string::npos);

    ASSERT_TRUE(AddThroughDialog({audio + "/memo.wav"}, 1));
    Click(kStartAllX, kToolbarY);
    ASSERT_TRUE(WaitUntil([&] { return Occurrences(RunLog(), "recognition finished: ") == 1; }, std::chrono::seconds(60)))
        << RunLog();
    // The title says so, and the cloud service heard nothing.
    EXPECT_EQ(Trim(Xdo({"getwindowname", window_}).output), "Talvora · 本地英文识别");
    EXPECT_NE(RunLog().find(TestSupport::LogEntry("RtmpPlayer::ApplySettings", "files started from now on go to the recognizer local-en")),
              std::string::npos);
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Token), 0);
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Recognition), 0);
    Picture("MainWindow-local");

    Click(kCloseX, kCloseY);
    const std::string question = WaitForOtherFocusedWindow();
    ASSERT_FALSE(question.empty());
    Click(kQuestionOkX, kNoticeOkY, question);
    ExpectOrderlyEnd();
}

}  // namespace
