// config.ini as the settings functions read and write it: a file of any content, a read of a
// key, a write of a key and the read after it. A value written is read back as it was written,
// and a write never changes what another key reads.
#include "base/platform/IniFile.h"
#include "tests/fuzz/FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>

namespace {

const char* const kSections[] = {"Talvora", "talvora", "Update", ""};
const char* const kKeys[] = {"UpdateUrl", "Debug", "SavePath", "updateurl", "Other"};

// A value that reads back unchanged: printable ASCII, no blank at either end, not wrapped in a
// pair of quotes (the reader takes those off, as the Windows one does).
bool ReadsBackAsWritten(const std::string& value)
{
    for (const char c : value) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    if (!value.empty() && (value.front() == ' ' || value.back() == ' '))
        return false;
    return value.size() < 2 || !((value.front() == '"' && value.back() == '"') || (value.front() == '\'' && value.back() == '\''));
}

// The names above are ASCII.
bool SameName(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::SetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string section = kSections[input.ConsumeIntegralInRange<size_t>(0, std::size(kSections) - 1)];
    const std::string key = kKeys[input.ConsumeIntegralInRange<size_t>(0, std::size(kKeys) - 1)];
    const std::string other = kKeys[input.ConsumeIntegralInRange<size_t>(0, std::size(kKeys) - 1)];
    const std::string value = input.ConsumeRandomLengthString(256);
    const std::string content = input.ConsumeRemainingBytesAsString();

    const std::string path = Fuzz::Folder() + "/config.ini";
    Fuzz::WriteFile(path, content);
    const std::string otherBefore = Platform::GetPrivateProfileString(section, other, "(none)", 4096, path);
    Platform::GetPrivateProfileInt(section, key, -7, path);

    FUZZ_CHECK(Platform::WritePrivateProfileString(section, key, value, path));
    const std::string readBack = Platform::GetPrivateProfileString(section, key, "(none)", 4096, path);
    if (ReadsBackAsWritten(value))
        FUZZ_CHECK(readBack == value);
    if (!SameName(other, key))
        FUZZ_CHECK(Platform::GetPrivateProfileString(section, other, "(none)", 4096, path) == otherBefore);
    return 0;
}
