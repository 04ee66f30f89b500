#include "app/ApplicationExit.h"

#include "base/AppPaths.h"
#include "base/CMiniDumpHandler.h"
#include "base/LogFile.h"

void LeaveApplication()
{
    WriteLog(Info, "CData::PostAppExit", "app exit");
    CMiniDumpHandler::Disarm();
    PubUtils::ClearTempDir();
}
