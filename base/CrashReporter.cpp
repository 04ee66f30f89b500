#include "base/CrashReporter.h"

#include "base/AppVersion.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/platform/AppFolders.h"
#include "base/platform/CrashReportWriter.h"
#include "base/platform/SignalSafeWriter.h"
#include "base/platform/SystemInfo.h"
#include "base/platform/TerminateRecorder.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constinit std::atomic<CrashReporter*> g_activeHandler{nullptr};

bool CopyBounded(char* dest, size_t capacity, const std::string& text)
{
    dest[0] = '\0';
    return Platform::AppendBounded(dest, capacity, text.c_str());
}

bool IsDirectory(const char* path)
{
    struct stat info{};
    return path[0] != '\0' && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

CrashReporter::CrashReporter(bool showMessages, const std::string& dumpFolder) : showMessages_(showMessages)
{
    if (!dumpFolder.empty()) {
        if (!CopyBounded(dumpFolder_, sizeof dumpFolder_, dumpFolder)) {
            WriteLog(Warning, LogTag::kCrashReporterStart, "crash dump folder path too long, reports go beside the program: %s",
                     dumpFolder.c_str());
        } else if (!IsDirectory(dumpFolder_) && mkdir(dumpFolder_, 0700) != 0) {
            WriteLog(Warning, LogTag::kCrashReporterStart, "cannot create the crash dump folder %s: %s", dumpFolder_,
                     Platform::ErrorText(errno).c_str());
        }
    }

    // Everything the handler needs later is prepared now: after a fault it may not allocate,
    // take locks or load libraries.
    const std::string executable = Platform::ExecutablePath();
    const size_t slash = executable.rfind('/');
    if (slash != std::string::npos && executable.size() < kPathSize) {
        CopyBounded(moduleFolder_, sizeof moduleFolder_, executable.substr(0, slash + 1));
        CopyBounded(moduleFileName_, sizeof moduleFileName_, executable.substr(slash + 1));
        CopyBounded(executable_, sizeof executable_, executable);
    }
    CopyBounded(version_, sizeof version_, kAppVersionText);
    clock_.Prepare();
    Platform::PrepareCrashReports();
    Platform::InstallTerminateRecorder();
    PrepareThread();

    g_activeHandler.store(this);
    Platform::SetUnhandledExceptionFilter(&TopLevelExceptionFilter);
}

CrashReporter::~CrashReporter()
{
    CrashReporter* self = this;
    g_activeHandler.compare_exchange_strong(self, nullptr);
    // A thread may have picked this object up just before; it must be done with it before the
    // object goes away. The filter itself stays installed and now declines every fault.
    Platform::WaitForFaultFilters();
}

void CrashReporter::Disarm()
{
    g_activeHandler.store(nullptr);
}

bool CrashReporter::IsArmed()
{
    return g_activeHandler.load() != nullptr;
}

bool CrashReporter::PrepareThread()
{
    return Platform::PrepareThreadForFaults();
}

long TopLevelExceptionFilter(Platform::ExceptionPointers* pointers)
{
    CrashReporter* handler = g_activeHandler.load();
    if (handler == nullptr)
        return Platform::EXCEPTION_CONTINUE_SEARCH;
    return handler->HandleException(pointers);
}

void CrashReporter::BuildDumpPath()
{
    clock_.FormatNow(stamp_);
    dumpPath_[0] = '\0';
    bool fits;
    if (IsDirectory(dumpFolder_)) {
        fits = Platform::AppendBounded(dumpPath_, sizeof dumpPath_, dumpFolder_) &&
               Platform::AppendBounded(dumpPath_, sizeof dumpPath_, "/") &&
               Platform::AppendBounded(dumpPath_, sizeof dumpPath_, stamp_) &&
               Platform::AppendBounded(dumpPath_, sizeof dumpPath_, ".dmp");
    } else {
        fits = Platform::AppendBounded(dumpPath_, sizeof dumpPath_, moduleFolder_) &&
               Platform::AppendBounded(dumpPath_, sizeof dumpPath_, moduleFileName_) &&
               Platform::AppendBounded(dumpPath_, sizeof dumpPath_, ".") &&
               Platform::AppendBounded(dumpPath_, sizeof dumpPath_, stamp_) &&
               Platform::AppendBounded(dumpPath_, sizeof dumpPath_, ".dmp");
    }
    if (!fits)
        dumpPath_[0] = '\0';
}

long CrashReporter::HandleException(Platform::ExceptionPointers* pointers)
{
    if (pointers == nullptr)
        return Platform::EXCEPTION_CONTINUE_SEARCH;
    // The dump lock: taken before the path is formed, so two threads faulting in the same
    // second cannot write into one file; the second waits here until the process has ended.
    Platform::EnterFaultReport(kDeadlineSeconds);
    exception_ = pointers;

    BuildDumpPath();
    // O_NONBLOCK: a FIFO planted under the report's name must not stall the handler.
    const int fd = open(dumpPath_, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        ShowMessage("Failed to create the mini-dump file '%s' (error %d)", errno);
    } else {
        Platform::SetFaultReportFile(fd);
        Platform::CrashReportHeader header;
        header.version = version_;
        header.executable = executable_[0] != '\0' ? executable_ : "unknown";
        header.stamp = stamp_;
        int error = 0;
        if (!Platform::WriteCrashReport(fd, *exception_, header, error))
            ShowMessage("Failed to save the mini-dump file to '%s' (error %d)", error);
        Platform::SetFaultReportFile(-1);
        close(fd);
    }
    Platform::EndProcessNow(0);
}

void CrashReporter::ShowMessage(const char* text, int error) const
{
    if (!showMessages_)
        return;
    // Fills in the "%s" (the dump path) and "%d" (the error code) of the message by hand:
    // printf is not safe here.
    Platform::SignalSafeWriter out(STDERR_FILENO);
    for (const char* at = text; *at != '\0'; ++at) {
        if (at[0] == '%' && at[1] == 's') {
            out.Text(dumpPath_);
            ++at;
        } else if (at[0] == '%' && at[1] == 'd') {
            out.Decimal(error);
            ++at;
        } else {
            out.Text(at, 1);
        }
    }
    out.Text("\n");
}
