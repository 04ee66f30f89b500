#include "base/AppPaths.h"
#include "base/AppVersion.h"
#include "base/CMiniDumpHandler.h"
#include "base/LogFile.h"
#include "base/TextConvert.h"
#include "engine/CData.h"
#include "engine/CredentialsFile.h"

#include <string>

int main(int /*argc*/, char** /*argv*/)
{

    const std::wstring dumpFolder = AnsiToWide(PubUtils::GetAppDataDir()) + L"/crashDumps";
    CMiniDumpHandler dumpHandler(false, dumpFolder.c_str());

    CredentialsFile::Apply(CData::Instance(), CredentialsFile::DefaultPath());

    WriteLog(Info, "WinMain", "start app %s", WideToAnsi(kAppVersion).c_str());
    return 0;
}
