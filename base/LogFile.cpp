#include "base/LogFile.h"

#include "base/TextUtils.h"
#include "base/platform/DebugOutput.h"
#include "base/platform/SystemInfo.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// "日志开始" and "日志结束" in GBK: the banners carry these bytes whatever the locale, so the
// file reads the same as the logs of the Windows builds.
constexpr char kStartWords[] = "\xC8\xD5\xD6\xBE\xBF\xAA\xCA\xBC";
constexpr char kEndWords[] = "\xC8\xD5\xD6\xBE\xBD\xE1\xCA\xF8";

constinit std::atomic<LogFile*> g_processLog{nullptr};

// What a cut entry gives up for its mark ("… (123456 bytes cut)"), so the mark fits where the
// longest whole message would.
constexpr size_t kCutMarkRoom = 32;

void FormatTimestamp(char (&out)[32])
{
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    if (strftime(out, sizeof out, "%Y-%m-%d %H:%M:%S", &local) == 0)
        out[0] = '\0';
}

// Copies `text` into `out` (at least four times the text's length plus one), control characters
// other than tab escaped; a line feed at the very end is kept when `keepFinalLineFeed`.
void EscapeControls(const char* text, size_t length, char* out, bool keepFinalLineFeed)
{
    static constexpr char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 || c == '\t' || (c == '\n' && i + 1 == length && keepFinalLineFeed)) {
            *out++ = static_cast<char>(c);
        } else if (c == '\r' || c == '\n') {
            *out++ = '\\';
            *out++ = c == '\r' ? 'r' : 'n';
        } else {
            *out++ = '\\';
            *out++ = 'x';
            *out++ = kHex[c >> 4];
            *out++ = kHex[c & 0xF];
        }
    }
    *out = '\0';
}

// How much of a message of `length` bytes fits in `room` bytes, never ending inside a UTF-8
// character. Room is left in the escaped copy for the mark that says how much was cut.
size_t KeptLength(const char* text, size_t length, size_t room)
{
    if (length <= room)
        return length;
    return TextUtils::Utf8PrefixLength(std::string_view(text, length), room - kCutMarkRoom);
}

}  // namespace

void WriteLog(int level, const char* tag, const char* format, ...)
{
    LogFile* log = g_processLog.load(std::memory_order_acquire);
    if (log == nullptr)
        return;
    va_list args;
    va_start(args, format);
    log->WriteV(level, tag, format, args);
    va_end(args);
}

LogFile::LogFile(const std::string& path)
{
    Open(path);
}

LogFile::LogFile(const std::string& path, ProcessWideTag) : processWide_(true)
{
    Open(path);
    g_processLog.store(this, std::memory_order_release);
}

LogFile::~LogFile()
{
    Close();
    if (processWide_) {
        LogFile* self = this;
        g_processLog.compare_exchange_strong(self, nullptr);
    }
}

void LogFile::Close()
{
    std::lock_guard<std::mutex> guard(lock_);
    if (file_ != nullptr) {
        WriteBanner(kEndWords);
        std::fclose(file_);
        file_ = nullptr;
    }
}

void LogFile::Open(const std::string& path)
{
    if (path.empty())
        return;
    const int saved = errno;
    // Close-on-exec: the children the program starts (ffmpeg, the updater) get no share of it,
    // and so no share of its lock either. Non-blocking, so a FIFO in its place cannot hold up the
    // start; only a regular file is taken.
    const int fd = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    struct stat info{};
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        close(fd);
    } else if (fd >= 0) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        // Another run (the window, a transcriber, a second start) may be writing to the file:
        // each run holds a shared lock for its life, and only a run that gets the file to itself
        // may empty it. The others append.
        if (info.st_size > kMaxSizeAtOpen && flock(fd, LOCK_EX | LOCK_NB) == 0 && ftruncate(fd, 0) != 0) {
            // Left as it is: appending to a long log loses nothing.
        }
        flock(fd, LOCK_SH | LOCK_NB);
        file_ = fdopen(fd, "ab+");
        if (file_ == nullptr)
            close(fd);
    }
    if (file_ != nullptr)
        WriteBanner(kStartWords);
    errno = saved;
}

void LogFile::WriteBanner(const char* words)
{
    char timestamp[32];
    FormatTimestamp(timestamp);
    std::fprintf(file_, "********************%s%s************************\r\n", words, timestamp);
    std::fflush(file_);
}

bool LogFile::IsOpen() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return file_ != nullptr;
}

void LogFile::Write(int level, const char* tag, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteV(level, tag, format, args);
    va_end(args);
}

void LogFile::WriteV(int level, const char* tag, const char* format, va_list args)
{
    // Taken before anything here can touch errno, so an Error entry reports the caller's failure.
    const int lastError = errno;
    int errnoAfter = lastError;
    if (format == nullptr)
        return;
    if (tag == nullptr)
        tag = "";
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (file_ == nullptr)
            return;
        std::memset(buffer_, 0, sizeof buffer_);
        const int length = std::vsnprintf(buffer_, sizeof buffer_, format, args);
        if (length <= 0) {
            errno = lastError;
            return;
        }
        // A long entry (a server's reply, a long path list) is kept in part rather than lost:
        // its start usually says what it was, and the mark says how much is missing.
        const size_t kept = KeptLength(buffer_, static_cast<size_t>(length), kBufferSize - 1);
        char cutMark[64] = "";
        if (kept < static_cast<size_t>(length))
            std::snprintf(cutMark, sizeof cutMark, "\xE2\x80\xA6 (%zu bytes cut)", static_cast<size_t>(length) - kept);
        // The mark goes on the entry's own line.
        EscapeControls(buffer_, kept, escaped_, cutMark[0] == '\0');
        const size_t escapedLength = std::strlen(escaped_);
        std::memcpy(escaped_ + escapedLength, cutMark, std::strlen(cutMark) + 1);
        const char* message = escaped_;
        // The text only changes once a second, and entries come much faster.
        const time_t now = time(nullptr);
        if (now != stampSecond_) {
            FormatTimestamp(stamp_);
            stampSecond_ = now;
        }
        const char* timestamp = stamp_;
        const int thread = Platform::CurrentThreadId();
        switch (level) {
        case Info:
            std::fprintf(file_, "%s [%d]%s:\t\t%s\r\n", timestamp, thread, tag, message);
            break;
        case Warning:
            std::fprintf(file_, "%s warning>>> [%d]%s:\t\t%s\r\n", timestamp, thread, tag, message);
            Platform::OutputDebugText("warning >>>");
            break;
        case Error:
            std::fprintf(file_, "%s Error>>>>> [%d]%s:\t\t%s ", timestamp, thread, tag, message);
            if (lastError != 0) {
                const std::string text = Platform::ErrorText(lastError);
                errnoAfter = 0;
                std::fprintf(file_, "LastError info: %s\r\n", text.c_str());
                Platform::OutputDebugText("Error >>>>>");
                Platform::OutputDebugText(text.c_str());
            } else {
                std::fputs("\r\n", file_);
            }
            break;
        default:
            break;
        }
        Platform::OutputDebugText(message);
        Platform::OutputDebugText("\r\n");
        std::fflush(file_);
    }
    errno = errnoAfter;
}
