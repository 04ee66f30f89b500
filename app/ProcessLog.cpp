#include "app/ProcessLog.h"
#include "app/TerminationSignals.h"
#include "base/AppPaths.h"
#include "base/LogFile.h"
#include "maintenance/CheckUploadLog.h"

namespace {

// These objects live in this one file because their order matters: statics of one file are
// initialised top to bottom. Termination signals are caught first of all, since the crash-report
// check below may take a while; a signal in that time closes the program in order later on.
// Then the first-use hook of the application data folder is in place before the log's path
// resolves that folder for the first time: the crash reports of earlier runs are sent before
// this run's log is opened.
const bool g_terminationSignalsCaught = (CatchTerminationSignals(), true);
const bool g_firstUseHookInstalled = PubUtils::SetAppDataFirstUseHook(&CheckUploadLog);

// Constructed before main() and destroyed after it returns, so the log outlives everything that
// writes to it; its destructor writes the end banner.
CLogFile g_logFile(PubUtils::GetAppDataDir() + "/Talvora.log", CLogFile::ProcessWide);

}  // namespace

void CloseProcessLog()
{
    g_logFile.Close();
}
