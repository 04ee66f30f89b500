#pragma once

#include <optional>
#include <string>
#include <vector>

// What the program was asked to do by its arguments:
//   talvora [FILE...]                       the window, with the files in its list
//   talvora --transcribe FILE... [--output DIR|-] [--format txt|srt|vtt|json|tsv]
//           [--recognizer cloud|local-en|whisper-api] [--language CODE]
//                                           no window: the files' texts written into DIR
//   talvora --help | --version
struct CommandLine {
    enum class Mode { Window, Transcribe, Help, Version, Invalid };
    enum class Format { Txt, Srt, Vtt, Json, Tsv };

    Mode mode = Mode::Window;
    // Absolute, so that a running instance (with another working folder) finds them too.
    std::vector<std::string> files;
    std::string outputFolder;  // absolute; the working folder when not given
    bool toStandardOutput = false;  // "--output -": the texts go to standard output, no file is written
    Format format = Format::Txt;
    // "cloud", "local-en" or "whisper-api"; empty: the setting in config.ini decides.
    std::string recognizer;
    // Chosen for this run; none: the setting in config.ini decides.
    std::optional<std::string> language;
    std::string error;  // Invalid: the one-line reason
    // The window's: options of Qt's own (with their values), handed to Qt as given, and options
    // nobody knows, which are only warned about. --transcribe refuses both.
    std::vector<std::string> toolkitArguments;
    std::vector<std::string> ignoredOptions;

    static CommandLine Parse(int argc, char** argv);
    static const char* Usage();
};
