#pragma once

#include <sys/types.h>

namespace Platform {

// Collects a child process's exit status on a background thread once it ends, for children
// that nobody waits for, so they leave no zombie behind while this process lives on.
void ReapInBackground(pid_t pid);

}  // namespace Platform
