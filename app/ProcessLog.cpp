#include "app/ProcessLog.h"
#include "app/TerminationSignals.h"
#include "base/AppPaths.h"
#include "base/LogFile.h"

namespace {

// These objects live in this one file because their order matters: statics of one file are
// initialised top to bottom. Termination signals are caught first of all, so a signal at any
// moment of the start closes the program in order later on.
const bool g_terminationSignalsCaught = (CatchTerminationSignals(), true);

// Constructed before main() and destroyed after it returns, so the log outlives everything that
// writes to it; its destructor writes the end banner.
LogFile g_logFile(AppPaths::GetAppDataDir() + "/Talvora.log", LogFile::ProcessWide);

}  // namespace

void CloseProcessLog()
{
    g_logFile.Close();
}
