// The whole program as a user meets it: the real executable on a virtual X display (Xvfb),
// driven through its window with real mouse clicks and key presses (xdotool), recognising two
// generated audio files through the speech double, and saving their texts.
//
// With TALVORA_SCREENSHOTS set to a folder, the test also saves pictures of the window there.
#include "ProgramProcess.h"
#include "speech_double/LoopbackPort.h"
#include "speech_double/SpeechDouble.h"
#include "support/AudioFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
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
        WriteFile(AppData() + "/config.ini", "[Talvora]\nUpdateUrl=http://127.0.0.1:" +
                                                 std::to_string(SpeechDouble::UnusedLoopbackPort()) + "\n");
    }

    void TearDown() override
    {
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
    std::string Log() const { return ReadFile(AppData() + "/Talvora.log"); }
    static size_t Occurrences(const std::string& text, const std::string& part)
    {
        size_t count = 0;
        for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1))
            ++count;
        return count;
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
    void Click(int x, int y)
    {
        EXPECT_EQ(Xdo({"mousemove", "--window", window_, std::to_string(x), std::to_string(y), "click", "1"}).exitCode, 0);
    }
    void Type(const std::string& text)
    {
        EXPECT_EQ(Xdo({"type", "--delay", "10", text}).exitCode, 0);
        EXPECT_EQ(Xdo({"key", "Return"}).exitCode, 0);
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
};

TEST_F(EndToEndTest, TwoFilesAreAddedRecognisedAndSavedThroughTheWindow)
{
    const std::string audio = dir_ / "audio files";
    const std::string out = dir_ / "saved texts";
    fs::create_directories(audio);
    fs::create_directories(out);
    // Two segments for the first file, one for the second.
    ASSERT_TRUE(MakeToneFile(audio + "/meeting one.wav", 130, {440, 660}, 120));
    ASSERT_TRUE(MakeToneFile(audio + "/memo.mp3", 20, {550}, 120));

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
    ASSERT_TRUE(program_.Start({TALVORA_APP}, env, dir_ / "program.txt"));
    ASSERT_TRUE(WaitUntil([&] { return Log().find("WinMain:\t\tstart app v1.0.8\r\n") != std::string::npos; },
                          std::chrono::seconds(30)))
        << ReadFile(dir_ / "program.txt");
    // The update check (to a port nobody listens on) has ended.
    ASSERT_TRUE(WaitUntil([&] { return Occurrences(Log(), "update msg: 2, ") == 2; }, std::chrono::seconds(30)));
    const ChildResult found = Xdo({"search", "--sync", "--onlyvisible", "--class", "Talvora"});
    ASSERT_EQ(found.exitCode, 0);
    window_ = Trim(found.output.substr(0, found.output.find('\n')));
    EXPECT_NE(Xdo({"getwindowgeometry", window_}).output.find("Geometry: 800x600"), std::string::npos);

    // Add both files through the open-file dialog: into the folder, then both names.
    Click(kAddX, kToolbarY);
    ASSERT_TRUE(WaitForFocusedWindow("选择文件"));
    Type(audio + "/");
    Type("\"meeting one.wav\" \"memo.mp3\"");
    ASSERT_TRUE(WaitUntil([&] { return WindowNamed("选择文件").empty(); }, std::chrono::seconds(30)));
    Picture("MainWindow-added");

    // Recognise all; the tick dispatches the second segment.
    Click(kStartAllX, kToolbarY);
    ASSERT_TRUE(WaitUntil([&] { return Occurrences(Log(), "recognition finished: ") == 2; }, std::chrono::seconds(60)))
        << Log();
    EXPECT_EQ(speech_->RequestCount(SpeechDouble::Endpoint::Recognition), 3);
    Picture("MainWindow-done");

    // Save both texts into a folder picked in the folder chooser.
    Click(kSaveX, kToolbarY);
    ASSERT_TRUE(WaitForFocusedWindow("选择保存目录"));
    Type(out);
    ASSERT_TRUE(WaitUntil([&] { return Exists(out + "/meeting one.txt") && Exists(out + "/memo.txt"); },
                          std::chrono::seconds(30)));
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(out + "/meeting one.txt") == "tone 440tone 660"; }));
    EXPECT_EQ(ReadFile(out + "/memo.txt"), "tone 550");
    Picture("MainWindow-saved");

    // Close with the title bar's button: the program ends in order, with exit code 0.
    Click(kCloseX, kCloseY);
    EXPECT_EQ(program_.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir_ / "program.txt");
    const std::string log = Log();
    const size_t close = log.find("RtmpPlayer::Close:\t\tmain close\r\n");
    const size_t exit = log.find("CData::PostAppExit:\t\tapp exit\r\n");
    ASSERT_NE(close, std::string::npos) << log;
    ASSERT_NE(exit, std::string::npos) << log;
    EXPECT_LT(close, exit);
    EXPECT_GT(log.rfind("************************"), exit);
    EXPECT_TRUE(fs::is_empty(AppData() + "/crashDumps"));
}

}  // namespace
