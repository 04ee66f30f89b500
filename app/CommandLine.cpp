#include "app/CommandLine.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string Absolute(const std::string& path)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

// Qt's own command-line options that take a value as the next argument, and those that stand
// alone; either may also come with two dashes.
constexpr const char* kToolkitValueOptions[] = {"-style",       "-stylesheet",      "-platform",     "-platformpluginpath",
                                                "-platformtheme", "-plugin",        "-qwindowgeometry", "-qwindowicon",
                                                "-qwindowtitle", "-session",        "-display",      "-geometry"};
constexpr const char* kToolkitFlagOptions[] = {"-reverse", "-nograb", "-dograb", "-sync", "-widgetcount", "-testability"};

std::string SingleDash(const std::string& option)
{
    return option.rfind("--", 0) == 0 ? option.substr(1) : option;
}

bool IsOneOf(const std::string& option, const auto& names)
{
    for (const char* name : names) {
        if (option == name)
            return true;
    }
    return false;
}

CommandLine Invalid(const std::string& reason)
{
    CommandLine line;
    line.mode = CommandLine::Mode::Invalid;
    line.error = reason;
    return line;
}

}  // namespace

const char* CommandLine::Usage()
{
    return "Usage: talvora [FILE...]\n"
           "       talvora --transcribe FILE... [--output DIR] [--format txt|srt|vtt] [--recognizer cloud|local-en|whisper-api]\n"
           "       talvora --help | --version\n"
           "\n"
           "Without --transcribe the window opens with the files in its list (a running window\n"
           "takes them instead). With --transcribe the files are recognised without a window and\n"
           "their texts are written into DIR (default: the working folder) as NAME.txt, NAME.srt\n"
           "or NAME.vtt; an existing file is never replaced (NAME (2).txt is used instead).\n"
           "--recognizer local-en recognises English speech offline, whisper-api sends it to the\n"
           "Whisper-compatible server of WhisperApiUrl in config.ini; by default the setting\n"
           "Recognizer in config.ini decides (cloud when it is not set).\n"
           "Exit status: 0 every file gave text, 1 some file failed, 2 bad arguments.\n";
}

CommandLine CommandLine::Parse(int argc, char** argv)
{
    CommandLine line;
    bool optionsEnd = false;
    bool outputGiven = false;
    bool transcribeOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (optionsEnd || argument.empty() || argument[0] != '-' || argument == "-") {
            line.files.push_back(Absolute(argument));
            continue;
        }
        if (argument == "--") {
            optionsEnd = true;
        } else if (argument == "--help" || argument == "-h") {
            line.mode = Mode::Help;
            return line;
        } else if (argument == "--version") {
            line.mode = Mode::Version;
            return line;
        } else if (argument == "--transcribe") {
            line.mode = Mode::Transcribe;
        } else if (argument == "--output" || argument.rfind("--output=", 0) == 0 || argument == "--format" ||
                   argument.rfind("--format=", 0) == 0 || argument == "--recognizer" ||
                   argument.rfind("--recognizer=", 0) == 0) {
            const bool output = argument.rfind("--output", 0) == 0;
            const bool recognizer = argument.rfind("--recognizer", 0) == 0;
            std::string value;
            const size_t equals = argument.find('=');
            if (equals != std::string::npos) {
                value = argument.substr(equals + 1);
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return Invalid(argument + " needs a value");
            }
            if (recognizer) {
                if (value != "cloud" && value != "local-en" && value != "whisper-api")
                    return Invalid("unknown recognizer \"" + value + "\" (cloud, local-en or whisper-api)");
                line.recognizer = value;
                transcribeOnly = true;
            } else if (output) {
                if (value.empty())
                    return Invalid("--output needs a folder");
                line.outputFolder = Absolute(value);
                outputGiven = true;
            } else if (value == "txt" || value == "srt" || value == "vtt") {
                line.format = value == "srt" ? Format::Srt : value == "vtt" ? Format::Vtt : Format::Txt;
                transcribeOnly = true;
            } else {
                return Invalid("unknown format \"" + value + "\" (txt, srt or vtt)");
            }
        } else {
            // Not the program's: the window passes Qt's own on and ignores the rest; whether this
            // is the window is known only at the end.
            const std::string name = SingleDash(argument.substr(0, argument.find('=')));
            if (IsOneOf(name, kToolkitValueOptions)) {
                line.toolkitArguments.push_back(argument);
                if (argument.find('=') == std::string::npos && i + 1 < argc)
                    line.toolkitArguments.push_back(argv[++i]);
            } else if (IsOneOf(name, kToolkitFlagOptions) || name.rfind("-qmljsdebugger", 0) == 0) {
                line.toolkitArguments.push_back(argument);
            } else {
                line.ignoredOptions.push_back(argument);
            }
        }
    }
    if (line.mode == Mode::Transcribe && !line.ignoredOptions.empty())
        return Invalid("unknown option " + line.ignoredOptions.front());
    if (line.mode == Mode::Transcribe && !line.toolkitArguments.empty())
        return Invalid("unknown option " + line.toolkitArguments.front());
    if (line.mode != Mode::Transcribe && (outputGiven || transcribeOnly))
        return Invalid("--output, --format and --recognizer go with --transcribe");
    if (line.mode == Mode::Transcribe && line.files.empty())
        return Invalid("--transcribe needs at least one file");
    if (line.mode == Mode::Transcribe && !outputGiven)
        line.outputFolder = Absolute(".");
    return line;
}
