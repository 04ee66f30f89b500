#pragma once

#include <cstddef>
#include <string>
#include <vector>
#include <sys/types.h>

namespace Ffmpeg {

// Starts ffmpeg ("ffmpeg" beside the program, else the first on PATH) with these arguments (no
// shell). Its input is /dev/null; its output goes to /dev/null unless `showOutput`, when it
// shares ours. Returns the process ID, or -1 when it could not be started; `spawnError` (when
// given) then holds why (ENOENT: no ffmpeg anywhere).
pid_t StartFfmpeg(std::vector<std::string> arguments, bool showOutput, int* spawnError = nullptr);
// The same with an argument line, split at blanks outside double quotes.
pid_t StartFfmpeg(const std::string& arguments, bool showOutput, int* spawnError = nullptr);

// Starts ffmpeg writing its standard output to `outputFd` and its error output to `errorFd`
// (-1: ours, as for the "Debug" setting). As StartFfmpeg otherwise.
pid_t StartFfmpegDecoder(std::vector<std::string> arguments, int outputFd, int errorFd, int* spawnError = nullptr);

// Ends one ffmpeg started here whose output is no longer wanted (SIGKILL: one blocked opening its
// input would not heed a request), unless it was waited for already: its number may belong to
// another process by then. False when it was not running.
bool StopFfmpeg(pid_t pid);

// Asks every ffmpeg started here and not yet waited for to end (SIGTERM), for an early exit that
// must leave none behind; returns how many were asked. Their workers see a failed cut.
size_t StopRunningFfmpeg();

// Whether ffmpeg can decode the start of `input`: "" when it can (or no verdict could be had),
// else ffmpeg's own reason ("Invalid data found when processing input", "Output file #0 does
// not contain any stream" for a file without audio, ...). Tells a file that is no audio at all
// from a segment whose cut failed.
std::string FfmpegInputProblem(const std::string& input);
// How long that check may take.
inline constexpr int kInputCheckSeconds = 30;

}  // namespace Ffmpeg

// Waits for a started process: without limit when `waitMs` < 1. Returns false when the limit
// passed first; the process is then left running (and collected in the background when it
// ends). A process ID of -1 returns at once. When it ended, `status` (when given) receives its
// wait status (WIFEXITED and friends read it).
bool WaitForProcess(pid_t pid, int waitMs, int* status = nullptr);

// What went wrong with an ended ffmpeg, from its wait status: "" when it exited with 0, else
// "ffmpeg exited with code N" or "ffmpeg was killed by signal N".
std::string DescribeFailedExit(int status);
