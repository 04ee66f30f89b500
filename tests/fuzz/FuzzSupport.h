#pragma once

// What every fuzz target shares: a private folder for the files a parser reads (the settings
// and data folders point into it), the process-wide log (written to /dev/null, so the escaping
// of hostile text runs on every input without filling a disk), and a check that stops the run
// with a message when a property of the parsed result does not hold.

#include "base/LogFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#define FUZZ_CHECK(condition)                                                                    \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                        \
        }                                                                                        \
    } while (false)

namespace Fuzz {

inline void RemoveFolder();

// Created on first use under /dev/shm (memory, so the files of every input cost no disk), or
// under TMPDIR; removed when the run ends. XDG_DATA_HOME points into it, so the program's
// data folder ("<folder>/data/Talvora") is private to the run.
inline const std::string& Folder()
{
    // Never destroyed: it is removed at exit, after the statics have gone.
    static const std::string* folder = [] {
        std::error_code ignored;
        std::string base = std::filesystem::is_directory("/dev/shm", ignored) ? "/dev/shm" : "";
        if (base.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            base = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
        }
        std::string path = base + "/talvora-fuzz-XXXXXX";
        if (mkdtemp(path.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        mkdir((path + "/data").c_str(), 0700);
        mkdir((path + "/data/Talvora").c_str(), 0700);
        setenv("XDG_DATA_HOME", (path + "/data").c_str(), 1);
        setenv("TMPDIR", path.c_str(), 1);
        std::atexit(RemoveFolder);
        return new std::string(path);
    }();
    return *folder;
}

inline void RemoveFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(Folder(), ignored);
}

// The program's data folder, as GetUpdateDataDir and GetAppDataDir name it.
inline std::string DataFolder()
{
    return Folder() + "/data/Talvora";
}

inline void WriteFile(const std::string& path, const void* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wbe");
    if (file == nullptr) {
        std::perror(path.c_str());
        std::abort();
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
}

inline void WriteFile(const std::string& path, const std::string& text)
{
    WriteFile(path, text.data(), text.size());
}

// The folder, the environment and the log; called from LLVMFuzzerInitialize.
inline void SetUp()
{
    Folder();
    static LogFile log("/dev/null", LogFile::ProcessWide);
}

}  // namespace Fuzz
