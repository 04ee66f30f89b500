#include "app/CommandLine.h"
#include "app/ProcessEnd.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "app/Transcriber.h"
#include "base/AppPaths.h"
#include "base/AppVersion.h"
#include "base/CrashReporter.h"
#include "base/ToolkitDiagnostic.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/TextConvert.h"
#include "base/TextUtils.h"
#include "app/ApplicationExit.h"
#include "engine/RecognizerSetting.h"
#include "maintenance/UpdateCheck.h"
#include "maintenance/CrashReportCheck.h"
#include "skin/EmbeddedSkin.h"
#include "ui/MainWindow.h"
#include "ui/UiLanguage.h"
#include "ui/toolkit/UiToolkit.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The names a second start finds this one by.
constexpr char kInstanceName[] = "Talvora";
constexpr char kMainWindowClass[] = "Talvora";
// The program's icon, kept in the skin archive with the window images.
constexpr wchar_t kIconImage[] = L"app_icon.png";

// A display the windows can go to, or a platform chosen explicitly (offscreen, vnc, ...).
bool HasDisplay()
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

// The program's icon in the sizes desktops show for a window. Not the 256-pixel image itself:
// X servers without big requests refuse a property that large, and the window would have no
// icon at all.
QIcon WindowIcon()
{
    const QPixmap image = UiToolkit::GetImage(kIconImage);
    QIcon icon;
    if (image.isNull())
        return icon;
    for (int side : {16, 32, 48, 64, 128})
        icon.addPixmap(image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return icon;
}

}  // namespace

// The log (app/ProcessLog.cpp) is a static object: it is open before this runs and closes after
// it returns. Every way out goes through EndProcess, which stops and waits for the threads the
// program let run (workers, the update check, the crash-report upload).
int main(int argc, char** argv)
{
    // A write to a socket or pipe whose reader has gone must come back as an error (EPIPE) to
    // the code that wrote, never end the whole program.
    std::signal(SIGPIPE, SIG_IGN);

    const CommandLine line = CommandLine::Parse(argc, argv);
    switch (line.mode) {
    case CommandLine::Mode::Help:
        std::fputs(CommandLine::Usage(), stdout);
        return EndProcess(0);
    case CommandLine::Mode::Version:
        std::printf("talvora %s\n", kAppVersionText);
        return EndProcess(0);
    case CommandLine::Mode::Invalid:
        std::fprintf(stderr, "talvora: %s\n%s", line.error.c_str(), CommandLine::Usage());
        return EndProcess(2);
    case CommandLine::Mode::Transcribe: {
        // No window, so no display and no single-instance lock: it may run beside the window.
        CrashReporter dumpHandler(false, AppPaths::GetAppDataDir() + "/crashDumps");
        WriteLog(Info, LogTag::kProgram, "start transcriber %s", kAppVersionText);
        StartUploadLogCheck(AppPaths::GetAppDataDir());
        Transcriber transcriber(line);
        return EndProcess(transcriber.Run());
    }
    case CommandLine::Mode::Window:
        break;
    }
    // The window takes no options of its own beyond its files: an unknown one is not worth
    // refusing to start over.
    for (const std::string& option : line.ignoredOptions)
        WriteLog(Warning, LogTag::kProgram, "%s", ("unknown option " + option + " ignored").c_str());
    // Whichever window gets the files leaves these out; the person who typed them hears it here.
    for (const std::string& file : line.files) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error))
            std::fprintf(stderr, "talvora: %s is not a file; it is not added\n", TextUtils::EscapeControls(file).c_str());
    }

    switch (SingleInstance::CheckSingleInstance(kInstanceName, kMainWindowClass, line.files)) {
    case SingleInstance::InstanceRole::kFirst:
        break;
    case SingleInstance::InstanceRole::kHandedOver:
        return EndProcess(0);
    case SingleInstance::InstanceRole::kUnreachable:
        std::fprintf(stderr, "talvora: the running window cannot be reached%s\n",
                     line.files.empty() ? "" : "; the files were not added");
        return EndProcess(1);
    }

    CrashReporter dumpHandler(false, AppPaths::GetAppDataDir() + "/crashDumps");

    // Without any display Qt would abort, and the crash handler would file that as a crash.
    // The error entry reports errno: only what the check itself leaves there belongs to it.
    errno = 0;
    if (!HasDisplay()) {
        WriteLog(Error, LogTag::kProgram, "%s", "no display to show the window on: DISPLAY and WAYLAND_DISPLAY are unset");
        std::fprintf(stderr, "talvora: no display (DISPLAY and WAYLAND_DISPLAY are unset)\n");
        return EndProcess(0);
    }

    // Qt gets the program's name and its own options, nothing else: the files are the program's.
    std::vector<char*> qtArgv;
    if (argc > 0)
        qtArgv.push_back(argv[0]);
    std::vector<std::string> toolkitArguments = line.toolkitArguments;
    for (std::string& argument : toolkitArguments)
        qtArgv.push_back(argument.data());
    int qtArgc = static_cast<int>(qtArgv.size());
    qtArgv.push_back(nullptr);
    QApplication application(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("Talvora"));
    QApplication::setDesktopFileName(QStringLiteral("talvora"));
    UiToolkit::SetDiagnosticHook(&LogToolkitDiagnostic);
    // Before the first window: every text is translated as its window is built.
    UiLanguage::SetUp();
    // Opened when the window reads its layout, once it is mapped: the zip library (and OpenSSL's,
    // which it brings) is loaded then, not before the window appears.
    InstallEmbeddedSkinOnFirstRead();

    // Declared after the application object, so the window goes before the application does, and
    // the check after the window that shows it. The recognizer comes with the user's credentials.
    UpdateCheck updateChecker;
    MainWindow player(MakeRecognizer(ReadRecognizerSetting()), &updateChecker);
    player.SetExitSequence(&LeaveApplication);
    // The window shows itself as early as it can (libcurl's set-up and the update check wait
    // until it stands); when its layout cannot be built the loop below still ends, through the
    // window's final message. What follows is not needed for the first picture, so it comes after.
    player.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 800, 600);
    errno = 0;
    if (!UiToolkit::HasSkinArchive())
        WriteLog(Error, LogTag::kProgram, "%s", "the embedded skin cannot be read; the windows stay empty");
    const QIcon icon = WindowIcon();
    QApplication::setWindowIcon(icon);
    player.SetIcon(icon);
    player.CenterWindow();

    SingleInstance::ListenForLaterInstances(
        [&player](const std::vector<std::string>& paths) { player.AddFiles(paths, "another start"); });
    // The program's own close: it never asks. Without a window the loop is ended directly.
    CloseOnTerminationSignals([&player] {
        if (!player.IsWindow())
            return false;
        player.Close();
        return true;
    });

    WriteLog(Info, LogTag::kProgram, "start app %s", kAppVersionText);
    // Only now, with the window standing: a start that ends at once would end the upload too.
    StartUploadLogCheck(AppPaths::GetAppDataDir());
    if (!line.files.empty())
        player.AddFiles(line.files, "the command line");

    UiToolkit::MessageLoop();

    UiToolkit::ReleaseSkinArchive();
    const int status = EndProcess(0);
    // Then, in this order: the main window object, the application object and the crash handler
    // go as they leave scope; the log closes last, after main returns.
    return status;
}
