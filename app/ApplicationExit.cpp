#include "app/ApplicationExit.h"

#include "base/AppPaths.h"
#include "base/CrashReporter.h"
#include "base/LogFile.h"
#include "base/LogTags.h"

void LeaveApplication()
{
    WriteLog(Info, LogTag::kApplicationExit, "app exit");
    CrashReporter::Disarm();
    AppPaths::ClearTempDir();
}
