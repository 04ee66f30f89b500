#include "base/DuilibExceptFunc.h"

#include "base/LogFile.h"

void DuilibExceptFunc(const std::string& message)
{
    WriteLog(Warning, "DuilibExceptFunc", "%s", message.c_str());
}
