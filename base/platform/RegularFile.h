#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Files that other people's programs or a hostile local user may have put in the way: only a
// regular file is taken, a symbolic link in its place is not followed unless the caller trusts
// the folder, and a FIFO or device under the name never blocks the caller. Every descriptor is
// close-on-exec, so none of them reaches a child program.

// A descriptor for reading `path` (checked on the open descriptor to be a regular file), or -1.
int OpenRegularFile(const std::string& path, bool followLink = false);

// A descriptor for reading `path` when it is a file this user made and nobody else can reach
// under another name: a regular file (a link in its place is not followed) with one name only,
// owned by the effective user and at most `maxBytes` long; else -1. A second name (a hard link)
// could be anything the user owns, the credentials say, planted where a report would be. All of
// it is checked on the open descriptor; `size` receives the length it was checked with.
int OpenOwnFile(const std::string& path, uint64_t maxBytes, uint64_t* size = nullptr);

// Writes all of `bytes` to `fd`, going on after interruptions; false (errno set) when a write
// fails or writes nothing.
bool WriteAll(int fd, std::string_view bytes);

// Appends what `fd` holds from here to its end to `out`, stopping early once more than `limit`
// bytes were read; false (errno set) when a read fails.
bool ReadAll(int fd, std::string& out, size_t limit = SIZE_MAX);

// `path` itself (not a link's target) is a regular file.
bool IsRegularFile(const std::string& path);

// Copies the regular file `from` over `to` (created, or replaced in place), with `from`'s
// permission bits, in the kernel where it can (no bytes through this process). False when `from`
// is not a regular file or the copy is incomplete, or when `cancelled` (asked between pieces of
// the copy) said so: errno is ECANCELED then.
bool CopyRegularFile(const std::string& from, const std::string& to, bool followLink = false,
                     const std::function<bool()>& cancelled = {});
