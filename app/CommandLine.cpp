#include "app/CommandLine.h"

#include "engine/RecognizerSetting.h"

#include <filesystem>
#include <optional>
#include <utility>

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

// The program's own options that take a value, as the next argument or after "=".
constexpr const char* kValueOptions[] = {"--output", "--format", "--recognizer", "--language"};

constexpr std::pair<const char*, CommandLine::Format> kFormats[] = {{"txt", CommandLine::Format::Txt},
                                                                    {"srt", CommandLine::Format::Srt},
                                                                    {"vtt", CommandLine::Format::Vtt},
                                                                    {"json", CommandLine::Format::Json},
                                                                    {"tsv", CommandLine::Format::Tsv}};

std::optional<CommandLine::Format> FormatNamed(const std::string& name)
{
    for (const auto& [text, format] : kFormats) {
        if (name == text)
            return format;
    }
    return std::nullopt;
}

const char* FormatName(CommandLine::Format wanted)
{
    for (const auto& [text, format] : kFormats) {
        if (format == wanted)
            return text;
    }
    return "";
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
           "       talvora --transcribe FILE... [--output DIR|-] [--format txt|srt|vtt|json|tsv]\n"
           "               [--recognizer cloud|local-en|whisper-api] [--language CODE]\n"
           "       talvora --help | --version\n"
           "\n"
           "Without --transcribe the window opens with the files in its list (a running window\n"
           "takes them instead). With --transcribe the files are recognised without a window and\n"
           "their texts are written into DIR (default: the working folder) as NAME.txt, NAME.srt,\n"
           "NAME.vtt, NAME.json or NAME.tsv; an existing file is never replaced (NAME (2).txt is\n"
           "used instead). --output - writes to standard output instead: the texts one after\n"
           "another, each after a line naming its file, or the other formats of one file.\n"
           "--recognizer local-en recognises English speech offline, whisper-api sends it to the\n"
           "Whisper-compatible server of WhisperApiUrl in config.ini; by default the setting\n"
           "Recognizer in config.ini decides (cloud when it is not set). --language zh, en, ct\n"
           "(Cantonese) or another ISO-639-1 code overrides the setting Language.\n"
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
        } else if (const std::string option = argument.substr(0, argument.find('=')); IsOneOf(option, kValueOptions)) {
            std::string value;
            const size_t equals = argument.find('=');
            if (equals != std::string::npos) {
                value = argument.substr(equals + 1);
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return Invalid(argument + " needs a value");
            }
            if (option == "--output") {
                if (value.empty())
                    return Invalid("--output needs a folder");
                line.toStandardOutput = value == "-";
                line.outputFolder = line.toStandardOutput ? std::string() : Absolute(value);
                outputGiven = true;
                continue;
            }
            transcribeOnly = true;
            if (option == "--recognizer") {
                if (value != "cloud" && value != "local-en" && value != "whisper-api")
                    return Invalid("unknown recognizer \"" + value + "\" (cloud, local-en or whisper-api)");
                line.recognizer = value;
            } else if (option == "--language") {
                if (value.empty() || !IsLanguageCode(value))
                    return Invalid("unknown language \"" + value + "\" (zh, en, ct or another two-letter ISO-639-1 code)");
                line.language = value;
            } else if (const auto format = FormatNamed(value)) {
                line.format = *format;
            } else {
                return Invalid("unknown format \"" + value + "\" (txt, srt, vtt, json or tsv)");
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
        return Invalid("--output, --format, --recognizer and --language go with --transcribe");
    if (line.mode == Mode::Transcribe && line.files.empty())
        return Invalid("--transcribe needs at least one file");
    if (line.mode == Mode::Transcribe && line.toStandardOutput && line.format != Format::Txt && line.files.size() > 1)
        return Invalid(std::string("--output - writes the ") + FormatName(line.format) + " of one file only");
    if (line.mode == Mode::Transcribe && !outputGiven)
        line.outputFolder = Absolute(".");
    return line;
}
