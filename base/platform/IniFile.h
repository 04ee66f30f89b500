#pragma once

#include <string>
#include <utility>
#include <vector>

// INI files with the semantics of the Windows profile functions: section and key names are
// compared without regard to case, names and values are trimmed, the first matching entry wins,
// and a write creates the file when needed while keeping every other line byte for byte.
// Files are UTF-8 (a leading byte-order mark is skipped); both LF and CR LF line ends are read,
// and a write keeps the line end the file already uses.
//
// Only a regular file is read or written: a FIFO, a device or a folder under the name is
// ignored with a log warning (it reads as missing and is never written), so nothing can make a
// caller wait on it.
//
// Safe across threads and processes: writers hold an exclusive lock on the file's folder and
// replace the file by an atomic rename, so a reader sees either the old or the new file.
namespace Platform {

// Names and values are UTF-8 text; a path is the file system's bytes. The file being text, what
// a read gives and what a write puts into the file are well-formed UTF-8 that ends at its first
// NUL: an ill-formed byte becomes U+FFFD.

// The value as a string, cut to size - 1 characters (the default too); size <= 0 gives "".
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, int size, const std::string& path);

// The value's leading decimal digits as a number (0 when there are none), or the default when
// the file, the section or the key is missing.
int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& path);

// Sets key=value in the section, creating the file and the section when missing. Fails when
// the folder does not exist or cannot be written. Line breaks in the value become blanks, so a
// value can never add lines of its own.
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path);

// Sets several keys of the section in one replacement of the file, in the order given: a reader
// sees all of them changed or none.
bool WritePrivateProfileStrings(const std::string& section, const std::vector<std::pair<std::string, std::string>>& entries,
                                const std::string& path);

}  // namespace Platform
