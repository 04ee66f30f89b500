#pragma once

#include <string>

// Files that other people's programs or a hostile local user may have put in the way: only a
// regular file is taken, a symbolic link in its place is not followed unless the caller trusts
// the folder, and a FIFO or device under the name never blocks the caller. Every descriptor is
// close-on-exec, so none of them reaches a child program.

// A descriptor for reading `path` (checked on the open descriptor to be a regular file), or -1.
int OpenRegularFile(const std::string& path, bool followLink = false);

// `path` itself (not a link's target) is a regular file.
bool IsRegularFile(const std::string& path);

// Copies the regular file `from` over `to` (created, or replaced in place), with `from`'s
// permission bits. False when `from` is not a regular file or the copy is incomplete.
bool CopyRegularFile(const std::string& from, const std::string& to, bool followLink = false);
