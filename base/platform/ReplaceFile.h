#pragma once

#include <string>
#include <sys/types.h>

namespace Platform {

// Puts `content` under `path` all at once: a reader sees either the old file or the new one,
// never half of one, and a crash or a full disk leaves the old one in place. The bytes go to a
// temporary file in the same folder (created with mode 0600, then given `mode`), are flushed to
// the disk, and the temporary file is renamed over `path`; the folder is flushed after that so
// the new name survives a power cut. False (errno set, nothing left behind) when a step fails.
bool ReplaceFile(const std::string& path, const std::string& content, mode_t mode);

}  // namespace Platform
