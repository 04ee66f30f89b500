#pragma once

#include <string>

// Well-known folders of the program. Narrow paths are UTF-8 with "/" separators.
namespace AppPaths {

// The local application data folder + "/Talvora", created (this level only) on first use and
// cached for the life of the process.
std::string GetAppDataDir();

// This run's own temporary folder: a folder of its own inside GetAppDataDir() + "/Temp" (both
// mode 0700), marked alive for as long as the run holds it, so other runs on the same data folder
// never move or delete it. Made whenever it is missing; the first one of a run also clears out
// the folders of runs that ended without moving theirs away. The folder always exists.
std::string GetTempDir();

// Moves this run's temporary folder, with every job folder in it, as "Temp" into the user's own
// temporary folder, replacing the previous run's; other runs' folders stay. Leaves it in place
// (and logs why) when that folder is not safe to use.
void ClearTempDir();

// The folder of the running executable, without a trailing "/".
std::string GetModuleDir();

// The settings file: in the application data folder, or (besideProgram) in the folder
// "Talvora" inside the program folder.
std::string GetConfigPath(bool besideProgram);

// The application data folder as the update check computes it: uncached, nothing created
// but the platform's own data folder. Empty when there is no home folder.
std::string GetUpdateDataDir();

}  // namespace AppPaths
