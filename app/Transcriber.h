#pragma once

#include "app/CommandLine.h"

// The program without a window (talvora --transcribe): the files go through the same job
// manager, pacing, retries, credentials and endpoints as in the window, and each file's text is
// written into the output folder under the window's naming rules. Progress goes to standard
// error: one line per finished segment, or a live line when standard error is a terminal.
class Transcriber {
public:
    explicit Transcriber(const CommandLine& line) : line_(line) {}

    // The exit status: 0 every file gave its text, 1 some file failed, 2 the output folder
    // cannot be made, 130 ended by a termination signal.
    int Run();

private:
    const CommandLine& line_;
};
