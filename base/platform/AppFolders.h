#pragma once

#include <string>

// Where the desktop keeps per-user data and temporary files, and where the program lives.
// All paths are narrow UTF-8 strings with "/" separators.
namespace Platform {

// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share (the passwd entry's
// home when HOME is unset). The folder is created with its parents when missing, as the
// Windows equivalent always exists. Empty when no home can be found.
std::string LocalAppDataFolder();

// ${TMPDIR:-/tmp}/talvora-<uid>, created with mode 0700. Returns an empty string when the
// folder exists but is not a real directory owned by this user (someone else could read or
// redirect what is put there).
std::string UserTempFolder();

// Full path of the running executable (from /proc/self/exe); empty when unknown.
std::string ExecutablePath();

// Moves folder `from` to `to`, replacing whatever is at `to`. Renames when both are on one file
// system, else copies and then deletes the source. Returns false when the move failed; a
// failed copy leaves the source in place.
bool MoveFolderReplacing(const std::string& from, const std::string& to);

}  // namespace Platform
