#pragma once

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

enum LogLevel { Info = 1, Warning = 2, Error = 3 };

// Writes one entry to the process-wide log: level, a tag naming the writer ("Class::Method"),
// and a printf format. Already composed text goes in as the argument of "%s", never as the
// format. Callable from any thread at any time; without a process-wide log it does nothing.
void WriteLog(int level, const char* tag, const char* format, ...) __attribute__((format(printf, 3, 4)));

// The log file "Talvora.log": one entry per line, each flushed at once so the file is complete
// up to the last entry even after a crash. Entries from several threads never interleave.
// Messages carry text from outside (server replies, file names), so their control characters
// are escaped ("\r", "\n", "\xNN"; a tab stays) and no message can forge an entry of its own.
// A single line feed that ends a message stays as it is: nothing can follow it on that line.
// A message longer than the buffer is cut, with a mark saying how many bytes were left out.
class LogFile {
public:
    struct ProcessWideTag {};
    static constexpr ProcessWideTag ProcessWide{};

    // Opens (or creates) the file at `path`; a file of more than 1 MiB is emptied first, but only
    // when no other run has it open (each run holds a shared lock on it for its life). An empty
    // path, or a file that cannot be opened or is not a regular file, leaves a log that drops
    // every entry.
    explicit LogFile(const std::string& path);
    // As above, and makes this the log that WriteLog writes to until it is destroyed.
    LogFile(const std::string& path, ProcessWideTag);
    // Writes the end banner and closes the file; later entries are dropped.
    ~LogFile();
    // As the destructor, for a process that ends without destroying its objects.
    void Close();

    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    void Write(int level, const char* tag, const char* format, ...) __attribute__((format(printf, 4, 5)));
    void WriteV(int level, const char* tag, const char* format, va_list args) __attribute__((format(printf, 4, 0)));

    bool IsOpen() const;

    static constexpr size_t kBufferSize = 2048;
    static constexpr long kMaxSizeAtOpen = 1048576;

private:
    void Open(const std::string& path);
    void WriteBanner(const char* words);

    mutable std::mutex lock_;
    FILE* file_ = nullptr;
    char buffer_[kBufferSize] = {};
    // The message with its control characters escaped: at most four bytes for each of buffer_'s.
    char escaped_[4 * kBufferSize] = {};
    time_t stampSecond_ = -1;
    char stamp_[32] = {};
    bool processWide_ = false;
};
