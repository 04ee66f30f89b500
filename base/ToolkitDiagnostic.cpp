#include "base/ToolkitDiagnostic.h"

#include "base/LogFile.h"
#include "base/LogTags.h"

void LogToolkitDiagnostic(const std::string& message)
{
    WriteLog(Warning, LogTag::kToolkitDiagnostic, "%s", message.c_str());
}
