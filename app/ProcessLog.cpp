#include "base/AppPaths.h"
#include "base/LogFile.h"
#include "maintenance/CheckUploadLog.h"

namespace {

// Both objects live in this one file because their order matters: statics of one file are
// initialised top to bottom, so the first-use hook of the application data folder is in place
// before the log's path resolves that folder for the first time: the crash reports of earlier
// runs are sent before this run's log is opened.
const bool g_firstUseHookInstalled = PubUtils::SetAppDataFirstUseHook(&CheckUploadLog);

// Constructed before main() and destroyed after it returns, so the log outlives everything that
// writes to it; its destructor writes the end banner.
CLogFile g_logFile(PubUtils::GetAppDataDir() + "/Talvora.log", CLogFile::ProcessWide);

}  // namespace
