#include "base/PrintTime.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/platform/SystemInfo.h"

PrintTime::PrintTime(std::string label) : label_(std::move(label)), start_(Platform::TickCount())
{
    WriteLog(Info, LogTag::kPrintTimeStart, "<< %s", label_.c_str());
}

PrintTime::~PrintTime()
{
    // Unsigned 32-bit subtraction keeps the difference right across a wrap of the tick counter.
    const uint32_t elapsed = Platform::TickCount() - start_;
    WriteLog(Info, LogTag::kPrintTimeEnd, "%s >> %lu ms", label_.c_str(), static_cast<unsigned long>(elapsed));
}
