// The real program as a process of its own: start-up in order, credentials, crash reports left
// in its folder, one instance per user, the orderly end on a termination signal, and a start
// without any display.
#include "base/AppVersion.h"
#include "base/TextUtils.h"
#include "ProgramProcess.h"
#include "speech_double/LoopbackPort.h"
#include "support/AudioFiles.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

// A server on 127.0.0.1 that takes one connection and never says a word.
class SilentServer {
public:
    SilentServer()
    {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) == 0 && listen(listener_, 4) == 0 &&
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~SilentServer()
    {
        for (int fd : {listener_, connection_})
            if (fd >= 0)
                close(fd);
    }
    int Port() const { return port_; }
    bool WaitForConnection(std::chrono::milliseconds limit)
    {
        pollfd ready{listener_, POLLIN, 0};
        if (port_ == 0 || poll(&ready, 1, static_cast<int>(limit.count())) != 1)
            return false;
        connection_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        return connection_ >= 0;
    }

private:
    int listener_ = -1;
    int connection_ = -1;
    int port_ = 0;
};

std::string StartEntry()
{
    return TestSupport::LogEntry("WinMain", std::string("start app ") + kAppVersionText);
}

class AppStartupTest : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(AppData());
        fs::create_directories(dir_ / "tmp");
        // The update check goes to a port nobody listens on, so it fails at once.
        WriteFile(AppData() + "/config.ini", "[Talvora]\nUpdateUrl=http://127.0.0.1:" +
                                                 std::to_string(SpeechDouble::UnusedLoopbackPort()) + "\n");
    }

    std::string AppData() const { return dir_ / "data/Talvora"; }
    std::string Log() const { return ReadFile(AppData() + "/Talvora.log"); }
    std::map<std::string, std::string> Environment() const
    {
        std::map<std::string, std::string> environment{{"XDG_DATA_HOME", dir_ / "data"}, {"TMPDIR", dir_ / "tmp"},
                                                       {"QT_QPA_PLATFORM", "offscreen"}, {"TALVORA_DEBUG_OUTPUT", ""}};
        environment.insert(locale_.begin(), locale_.end());
        return environment;
    }
    bool Start(AppTest::ProgramProcess& program)
    {
        return program.Start({TALVORA_APP}, Environment(), dir_ / "output.txt");
    }
    // Waits for the window and for the end of its update check, so the check's outcome is in the
    // log before the test ends the program (an end stops a check still under way).
    bool WaitForStart(size_t count = 1)
    {
        return WaitForLog(StartEntry(), count) && WaitForLog("update msg: 2, ", 2 * count);
    }
    bool WaitForLog(const std::string& part, size_t count = 1)
    {
        return WaitUntil([&] { return Occurrences(Log(), part) >= count; }, std::chrono::seconds(30));
    }
    // One of the process's threads carries `name`.
    static bool ThreadRuns(pid_t pid, const std::string& name)
    {
        std::error_code error;
        for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
            if (ReadFile(task.path().string() + "/comm") == name + "\n")
                return true;
        }
        return false;
    }
    static size_t Occurrences(const std::string& text, const std::string& part)
    {
        return TestSupport::CountOccurrences(text, part);
    }
    // The position of the first line that matches `pattern`, or npos.
    static size_t LineAt(const std::string& log, const std::string& pattern)
    {
        std::smatch match;
        if (!std::regex_search(log, match, std::regex(pattern)))
            return std::string::npos;
        return static_cast<size_t>(match.position(0));
    }
    // A client of the running instance's socket made with perl (part of every Debian system),
    // run through `runAs`: sends the paths `prefix`0 to `prefix`<count - 1> as the program
    // would, and says whether it connected and what the instance answered.
    std::string AskInstance(const std::vector<std::string>& runAs, int count, const std::string& prefix) const
    {
        static const char script[] = R"(
            $SIG{PIPE} = "IGNORE";
            my ($name, $count, $prefix) = @ARGV;
            socket(my $s, AF_UNIX, SOCK_STREAM, 0) or die "socket: $!";
            connect($s, pack_sockaddr_un("\0" . $name)) or do { print "not connected: $!\n"; exit 0 };
            print "connected\n";
            my $request = join("", map { "$prefix$_\0" } 0 .. $count - 1);
            while (length $request) {
                my $wrote = syswrite($s, $request);
                last unless $wrote;
                substr($request, 0, $wrote) = "";
            }
            shutdown($s, 1);
            my $answer = "";
            sysread($s, $answer, 1);
            print "answer=[$answer]\n";
        )";
        const std::string name = "Talvora." + std::to_string(getuid()) + "." + TextUtils::Md5Hex(AppData()).substr(0, 16);
        std::vector<std::string> argv = runAs;
        argv.insert(argv.end(), {"/usr/bin/perl", "-MSocket", "-e", script, name, std::to_string(count), prefix});
        const ChildResult result = RunChild(argv, {}, std::chrono::seconds(30));
        return result.output;
    }
    // Starts the program, waits for its window, ends it with SIGTERM; returns its log.
    std::string RunOnce()
    {
        const size_t starts = Occurrences(Log(), StartEntry());
        AppTest::ProgramProcess program;
        EXPECT_TRUE(Start(program));
        EXPECT_TRUE(WaitForStart(starts + 1)) << ReadFile(dir_ / "output.txt");
        EXPECT_TRUE(program.Signal(SIGTERM));
        EXPECT_EQ(program.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir_ / "output.txt");
        return Log();
    }

    TempDir dir_;
    // The system's language the program starts under (none: the one the tests run under).
    std::map<std::string, std::string> locale_;
};

TEST_F(AppStartupTest, TheWindowsSpeakTheSystemsLanguageUnlessTheSettingSaysOtherwise)
{
    locale_ = {{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANGUAGE", ""}, {"LANG", "en_US.UTF-8"}};
    EXPECT_NE(RunOnce().find(TestSupport::LogEntry("UiLanguage::Install", "windows in en (system en-US)")),
              std::string::npos)
        << Log();
    WriteFile(AppData() + "/config.ini", ReadFile(AppData() + "/config.ini") + "UiLanguage=zh\n");
    EXPECT_NE(RunOnce().find(TestSupport::LogEntry("UiLanguage::Install", "windows in zh (system en-US)")),
              std::string::npos)
        << Log();
}

TEST_F(AppStartupTest, CredentialsAreReadBeforeTheStartEntryAndTheSecretIsNeverLogged)
{
    WriteFile(AppData() + "/credentials.json", R"([{"api_key": "k", "secret_key": "PrivateSecretKey0123"}])");
    const std::string log = RunOnce();
    const size_t read = LineAt(log, R"(\[\d+\])" + TestSupport::LogEntry("CredentialsFile::Read",
                                                                    R"(1 credential pair\(s\) read from [^\r]*/credentials\.json)"));
    const size_t start = log.find(StartEntry());
    ASSERT_NE(read, std::string::npos) << log;
    ASSERT_NE(start, std::string::npos) << log;
    EXPECT_LT(read, start);
    EXPECT_EQ(log.find("PrivateSecretKey0123"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(AppData() + "/crashDumps"));
}

TEST_F(AppStartupTest, MissingOrMalformedCredentialsStillStart)
{
    std::string log = RunOnce();
    EXPECT_NE(log.find("credentials.json not found; the built-in credential pair is used\r\n"), std::string::npos) << log;

    WriteFile(AppData() + "/credentials.json", R"([{"api_key": "k", "secret_key": "PrivateSecretKey0123"})");
    log = RunOnce();
    EXPECT_NE(LineAt(log, R"(warning>>> \[\d+\])" +
                              TestSupport::LogEntry("CredentialsFile::Read",
                                                    R"([^\r]*credentials\.json is not used: it is not valid JSON )"
                                                    R"(\(line 1, column \d+\); the built-in credential pair stays in use)")),
              std::string::npos)
        << log;
    EXPECT_EQ(Occurrences(log, StartEntry()), 2u);
    EXPECT_EQ(log.find("PrivateSecretKey0123"), std::string::npos);
}

TEST_F(AppStartupTest, ATerminationSignalClosesTheWindowInOrderAndTheProcessEndsWithZero)
{
    const auto expectOrderlyEnd = [](const std::string& log) {
        const size_t start = log.find(StartEntry());
        const size_t signal = log.find(TestSupport::LogEntry("WinMain", "signal 15: closing"));
        const size_t close = log.find(TestSupport::LogEntry("RtmpPlayer::Close", "main close"));
        const size_t exit = log.find(TestSupport::LogEntry("CData::PostAppExit", "app exit"));
        ASSERT_NE(start, std::string::npos) << log;
        ASSERT_NE(signal, std::string::npos) << log;
        ASSERT_NE(close, std::string::npos) << log;
        ASSERT_NE(exit, std::string::npos) << log;
        EXPECT_LT(start, signal);
        EXPECT_LT(signal, close);
        EXPECT_LT(close, exit);
        // The log's end banner is the last thing written.
        const size_t banner = log.rfind("************************");
        ASSERT_NE(banner, std::string::npos);
        EXPECT_GT(banner, exit);
    };
    expectOrderlyEnd(RunOnce());
    EXPECT_TRUE(fs::is_empty(AppData() + "/crashDumps"));

    // A signal at the very start, long before the window stands, is kept until the window can
    // close in order. Sent while the child still has it blocked, it arrives at the first moment
    // the program lets it in, whatever the machine's speed.
    fs::remove(AppData() + "/Talvora.log");
    AppTest::ProgramProcess early;
    ASSERT_TRUE(early.Start({TALVORA_APP}, Environment(), dir_ / "output.txt", -1, {SIGTERM}));
    ASSERT_TRUE(early.Signal(SIGTERM));
    EXPECT_EQ(early.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir_ / "output.txt");
    EXPECT_EQ(early.TermSignal(), 0);
    expectOrderlyEnd(Log());

    // An update check whose server never answers would hold its thread for a minute: the end
    // stops it instead of tearing the process down under it.
    SilentServer silent;
    WriteFile(AppData() + "/config.ini", "[Talvora]\nUpdateUrl=http://127.0.0.1:" + std::to_string(silent.Port()) + "\n");
    fs::remove(AppData() + "/Talvora.log");
    AppTest::ProgramProcess hanging;
    ASSERT_TRUE(Start(hanging));
    ASSERT_TRUE(WaitForLog(StartEntry()));
    ASSERT_TRUE(silent.WaitForConnection(std::chrono::seconds(30)));
    EXPECT_TRUE(hanging.Signal(SIGTERM));
    EXPECT_EQ(hanging.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir_ / "output.txt");
    expectOrderlyEnd(Log());
    EXPECT_EQ(Log().find("still running"), std::string::npos) << Log();
}

TEST_F(AppStartupTest, OnlyRegularCrashReportsAreSentAndNothingPlantedHoldsTheStart)
{
    std::mutex lock;
    std::vector<std::string> bodies;
    TestSupport::LoopbackHttpServer server;
    server.Server().Post("/upload", [&](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard<std::mutex> guard(lock);
        bodies.push_back(request.get_file_value("file").content);
        response.set_content("stored", "text/plain");
    });
    server.Start();
    const auto received = [&] {
        std::lock_guard<std::mutex> guard(lock);
        return bodies;
    };

    const std::string dumps = AppData() + "/crashDumps";
    fs::create_directories(dumps);
    WriteFile(AppData() + "/credentials.json", R"([{"api_key": "k", "secret_key": "PrivateSecretKey0123"}])");
    WriteFile(dumps + "/20261209083300.dmp", "a real report");
    // A FIFO would hold the start in its open for good; a link named like a report would send
    // the secret key.
    ASSERT_EQ(mkfifo((dumps + "/20261209083301.dmp").c_str(), 0600), 0);
    fs::create_symlink("../credentials.json", dumps + "/20261209083302.dmp");

    std::map<std::string, std::string> env = Environment();
    env["TALVORA_LOG_URL"] = server.Url() + "/upload";
    AppTest::ProgramProcess program;
    ASSERT_TRUE(program.Start({TALVORA_APP}, env, dir_ / "output.txt"));
    ASSERT_TRUE(WaitForStart()) << ReadFile(dir_ / "output.txt");
    ASSERT_TRUE(WaitUntil([&] { return received().size() == 1; }, std::chrono::seconds(30)));
    // The upload thread ends by itself; the program is closed only after it, as a user would.
    EXPECT_TRUE(WaitUntil([&] { return !ThreadRuns(program.Pid(), "log upload"); }, std::chrono::seconds(30)));
    EXPECT_TRUE(program.Signal(SIGTERM));
    EXPECT_EQ(program.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir_ / "output.txt");

    // The archive names its entries in plain text.
    const std::string body = received()[0];
    EXPECT_NE(body.find("20261209083300.dmp"), std::string::npos);
    EXPECT_NE(body.find("config.ini"), std::string::npos);
    EXPECT_EQ(body.find("20261209083301.dmp"), std::string::npos);
    EXPECT_EQ(body.find("20261209083302.dmp"), std::string::npos);
    EXPECT_FALSE(fs::exists(dumps + "/20261209083300.dmp"));
    EXPECT_TRUE(fs::is_fifo(dumps + "/20261209083301.dmp"));
    EXPECT_TRUE(fs::is_symlink(dumps + "/20261209083302.dmp"));
    EXPECT_NE(ReadFile(AppData() + "/credentials.json").find("PrivateSecretKey0123"), std::string::npos);
}

TEST_F(AppStartupTest, ASecondStartAsksTheRunningOneAndHandsItsFilesOver)
{
    const std::string one = dir_ / "one.wav";
    const std::string two = dir_ / "two words 二.mp3";
    ASSERT_TRUE(MakeToneFile(one, 2, {440}, 2));
    ASSERT_TRUE(MakeToneFile(two, 2, {550}, 2));
    AppTest::ProgramProcess first;
    ASSERT_TRUE(first.Start({TALVORA_APP, one}, Environment(), dir_ / "output.txt"));
    ASSERT_TRUE(WaitForStart()) << ReadFile(dir_ / "output.txt");
    EXPECT_TRUE(WaitForLog(TestSupport::LogEntry("RtmpPlayer::AddFiles", "the command line gave 1 files, added 1"))) << Log();

    // The file already listed is skipped and the missing one left out, as the dialog would.
    // (Through a shell only to read its standard error too.)
    const ChildResult second = RunChild({"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", TALVORA_APP, one, two, dir_ / "missing.wav"},
                                        Environment(), std::chrono::seconds(30));
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_NE(second.output.find("talvora: " + (dir_ / "missing.wav") + " is not a file; it is not added\n"), std::string::npos)
        << second.output;
    ASSERT_TRUE(WaitForLog(TestSupport::LogEntry("PubUtils::CheckSingleInstance", "another start asked for the main window")));
    EXPECT_TRUE(WaitForLog(TestSupport::LogEntry("RtmpPlayer::AddFiles", "another start gave 2 files, added 1"))) << Log();
    EXPECT_TRUE(WaitForLog(TestSupport::LogEntry("PubUtils::CheckSingleInstance",
                                                 "1 of the 3 paths another start sent are not files that can be added; the first: " +
                                                     (dir_ / "missing.wav"))))
        << Log();
    // The second start wrote only its banners.
    EXPECT_EQ(Occurrences(Log(), "start app"), 1u);
    EXPECT_TRUE(first.Running());

    // Another user's data folder (here: another data folder) is another instance.
    TempDir other;
    fs::create_directories(other / "data/Talvora");
    WriteFile(other / "data/Talvora/config.ini", ReadFile(AppData() + "/config.ini"));
    AppTest::ProgramProcess third;
    std::map<std::string, std::string> env = Environment();
    env["XDG_DATA_HOME"] = other / "data";
    ASSERT_TRUE(third.Start({TALVORA_APP}, env, dir_ / "output-third.txt"));
    ASSERT_TRUE(WaitUntil([&] { return Occurrences(ReadFile(other / "data/Talvora/Talvora.log"), "update msg: 2, ") >= 2; },
                          std::chrono::seconds(30)));
    EXPECT_TRUE(third.Signal(SIGTERM));
    EXPECT_EQ(third.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir_ / "output-third.txt");

    EXPECT_TRUE(first.Signal(SIGTERM));
    EXPECT_EQ(first.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir_ / "output.txt");
    // Once it has ended, a new start is the first again.
    AppTest::ProgramProcess again;
    ASSERT_TRUE(Start(again));
    EXPECT_TRUE(WaitForStart(2));
    EXPECT_TRUE(again.Signal(SIGTERM));
    EXPECT_EQ(again.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir_ / "output.txt");
}

TEST_F(AppStartupTest, AStartThatEndsAtOnceLeavesTheCrashReportsAlone)
{
    std::atomic<int> posts{0};
    TestSupport::LoopbackHttpServer server;
    server.Server().Post("/upload", [&](const httplib::Request&, httplib::Response& response) {
        ++posts;
        response.set_content("stored", "text/plain");
    });
    server.Start();
    const std::string report = AppData() + "/crashDumps/20261209083300.dmp";
    fs::create_directories(AppData() + "/crashDumps");
    WriteFile(report, "a real report");
    std::map<std::string, std::string> env = Environment();
    env["TALVORA_LOG_URL"] = server.Url() + "/upload";

    const std::pair<std::vector<std::string>, int> starts[] = {
        {{"--version"}, 0}, {{"--help"}, 0}, {{"--transcribe", "a.wav", "--no-such-option"}, 2}};
    for (const auto& [arguments, status] : starts) {
        std::vector<std::string> argv{TALVORA_APP};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        EXPECT_EQ(RunChild(argv, env, std::chrono::seconds(30)).exitCode, status) << arguments.back();
    }
    // The stamp is written before any post: without it, none was begun.
    EXPECT_EQ(ReadFile(AppData() + "/config.ini").find("UploadLogTime"), std::string::npos);
    EXPECT_EQ(ReadFile(report), "a real report");
    EXPECT_EQ(posts.load(), 0);
}

TEST_F(AppStartupTest, TheInstanceBoundsWhatOneRequestMayCost)
{
    AppTest::ProgramProcess program;
    ASSERT_TRUE(Start(program));
    ASSERT_TRUE(WaitForStart()) << ReadFile(dir_ / "output.txt");

    // More paths than the list takes: dropped unanswered, with one warning.
    const std::string tooMany = AskInstance({}, 150, dir_ / "x");
    EXPECT_NE(tooMany.find("connected\nanswer=[]"), std::string::npos) << tooMany;
    EXPECT_TRUE(WaitForLog("a later start sent more than 100 paths or 409600 bytes; its request is ignored")) << Log();
    // Paths that are no files: one warning for the request, and the request is answered.
    const std::string missing = AskInstance({}, 30, dir_ / "missing");
    EXPECT_NE(missing.find("answer=[Y]"), std::string::npos) << missing;
    EXPECT_TRUE(WaitForLog("30 of the 30 paths another start sent are not files that can be added; the first: " +
                           (dir_ / "missing0")))
        << Log();
    EXPECT_TRUE(program.Signal(SIGTERM));
    EXPECT_EQ(program.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir_ / "output.txt");
    EXPECT_EQ(Occurrences(Log(), "a later start sent more than"), 1u) << Log();
    EXPECT_EQ(Occurrences(Log(), "paths another start sent are not files"), 1u) << Log();
}

TEST_F(AppStartupTest, AnotherUsersStartIsRefused)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "starting a client as another user needs root";
    AppTest::ProgramProcess program;
    ASSERT_TRUE(Start(program));
    ASSERT_TRUE(WaitForStart()) << ReadFile(dir_ / "output.txt");

    const std::string answer = AskInstance({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"}, 1, dir_ / "x");
    EXPECT_NE(answer.find("connected\nanswer=[]"), std::string::npos) << answer;
    EXPECT_TRUE(WaitForLog(TestSupport::LogEntryStart("PubUtils::CheckSingleInstance", "a start by another user (uid 65534, process ")))
        << Log();
    EXPECT_TRUE(program.Signal(SIGTERM));
    EXPECT_EQ(program.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir_ / "output.txt");
    EXPECT_EQ(Log().find("another start"), std::string::npos) << Log();
    EXPECT_EQ(Occurrences(Log(), "a start by another user"), 1u) << Log();
}

TEST_F(AppStartupTest, TwoStartsAtOnceEndWithBothFilesInOneWindow)
{
    const std::string one = dir_ / "one.wav";
    const std::string two = dir_ / "two.wav";
    ASSERT_TRUE(MakeToneFile(one, 2, {440}, 2));
    ASSERT_TRUE(MakeToneFile(two, 2, {550}, 2));
    for (int pair = 0; pair < 5; ++pair) {
        fs::remove(AppData() + "/Talvora.log");
        AppTest::ProgramProcess first;
        AppTest::ProgramProcess second;
        ASSERT_TRUE(first.Start({TALVORA_APP, one}, Environment(), dir_ / "output.txt"));
        ASSERT_TRUE(second.Start({TALVORA_APP, two}, Environment(), dir_ / "output.txt"));
        // One of them hands its file over and ends; the other is the window.
        ASSERT_TRUE(WaitUntil([&] { return !first.Running() || !second.Running(); }, std::chrono::seconds(60)))
            << ReadFile(dir_ / "output.txt");
        AppTest::ProgramProcess& window = first.Running() ? first : second;
        AppTest::ProgramProcess& handed = first.Running() ? second : first;
        EXPECT_EQ(handed.Wait(std::chrono::seconds(1)), 0) << ReadFile(dir_ / "output.txt");
        EXPECT_TRUE(WaitForLog(TestSupport::LogEntry("RtmpPlayer::AddFiles", "the command line gave 1 files, added 1"))) << Log();
        EXPECT_TRUE(WaitForLog(TestSupport::LogEntry("RtmpPlayer::AddFiles", "another start gave 1 files, added 1"))) << Log();
        EXPECT_TRUE(WaitForStart()) << ReadFile(dir_ / "output.txt");
        EXPECT_TRUE(window.Signal(SIGTERM));
        EXPECT_EQ(window.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir_ / "output.txt");
        EXPECT_EQ(Occurrences(Log(), "start app"), 1u) << Log();
    }
}

TEST_F(AppStartupTest, WithoutAnyDisplayItSaysSoAndEnds)
{
    std::map<std::string, std::string> env = Environment();
    env["QT_QPA_PLATFORM"] = "";
    env["DISPLAY"] = "";
    env["WAYLAND_DISPLAY"] = "";
    const ChildResult result = RunChild({TALVORA_APP}, env, std::chrono::seconds(30));
    EXPECT_EQ(result.exitCode, 0);
    // An error entry without a failed system call of its own ends with a blank, carrying no
    // stale error text of some earlier call.
    EXPECT_NE(Log().find("Error>>>>> "), std::string::npos);
    EXPECT_NE(Log().find(TestSupport::LogEntry("WinMain", "no display to show the window on: DISPLAY and WAYLAND_DISPLAY are unset ")),
              std::string::npos) << Log();
    EXPECT_EQ(Log().find("start app"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(AppData() + "/crashDumps"));
}

}  // namespace
