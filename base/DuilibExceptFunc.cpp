#include "base/DuilibExceptFunc.h"

#include "base/LogFile.h"
#include "base/TextConvert.h"

void DuilibExceptFunc(const wchar_t* message)
{
    if (message == nullptr)
        return;
    WriteLog(Warning, "DuilibExceptFunc", "%s", WideToAnsi(message).c_str());
}
