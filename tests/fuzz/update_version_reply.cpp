// The update server's version reply ({"latest-version": ..., "minimum-required": ...}), as the
// update check reads it, and the comparisons made with what it says.
#include "maintenance/UpdateCheck.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::SetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    UpdateCheck checker;
    const std::string body(reinterpret_cast<const char*>(data), size);
    const bool known = checker.ReadVersionReply(body);
    FUZZ_CHECK(known || checker.LatestVersion().empty());
    checker.IsUpdateAvailable();
    checker.IsUpdateRequired();
    return 0;
}
