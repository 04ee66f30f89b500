// The "ver" file, the manifest of the installed version the update check reads from the data
// folder, and the comparison of a manifest with the files it lists.
#include "maintenance/UpdateCheck.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr char kLatest[] =
    R"({"version":"1.0.9","files":[{"path":"Talvora","size":3,"digest":"a9993e364706816aba3e25717850c26c9cd0d89d"},)"
    R"({"path":"skin/a.png","size":0,"digest":"da39a3ee5e6b4b0d3255bfef95601890afd80709"}]})";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::SetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fuzz::WriteFile(Fuzz::DataFolder() + "/ver", data, size);
    UpdateCheck checker;
    FUZZ_CHECK(checker.LoadLocalManifest());
    checker.IsUpdateAvailable();
    checker.IsUpdateRequired();
    if (checker.ReadLatestManifest(kLatest))
        checker.CompareManifest();
    return 0;
}
