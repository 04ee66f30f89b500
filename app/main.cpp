#include "base/AppVersion.h"
#include "base/LogFile.h"
#include "base/TextConvert.h"

int main(int /*argc*/, char** /*argv*/)
{
    WriteLog(Info, "WinMain", "start app %s", WideToAnsi(kAppVersion).c_str());
    return 0;
}
