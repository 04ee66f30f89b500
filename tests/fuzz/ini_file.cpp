// config.ini as the settings functions read and write it: a file of any content, a read of a
// key, a write of a key and the read after it. A value written is read back as it was written,
// and a write never changes what another key reads.
#include "base/TextConvert.h"
#include "base/platform/IniFile.h"
#include "tests/fuzz/FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cwctype>

namespace {

const wchar_t* const kSections[] = {L"Talvora", L"talvora", L"Update", L""};
const wchar_t* const kKeys[] = {L"UpdateUrl", L"Debug", L"SavePath", L"updateurl", L"Other"};

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

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](wchar_t x, wchar_t y) { return std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y)); });
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
    const std::wstring section = kSections[input.ConsumeIntegralInRange<size_t>(0, std::size(kSections) - 1)];
    const std::wstring key = kKeys[input.ConsumeIntegralInRange<size_t>(0, std::size(kKeys) - 1)];
    const std::wstring other = kKeys[input.ConsumeIntegralInRange<size_t>(0, std::size(kKeys) - 1)];
    const std::string value = input.ConsumeRandomLengthString(256);
    const std::string content = input.ConsumeRemainingBytesAsString();

    const std::wstring path = AnsiToWide(Fuzz::Folder() + "/config.ini");
    Fuzz::WriteFile(WideToAnsi(path), content);
    const std::wstring otherBefore = Platform::GetPrivateProfileString(section, other, L"(none)", 4096, path);
    Platform::GetPrivateProfileInt(section, key, -7, path);

    FUZZ_CHECK(Platform::WritePrivateProfileString(section, key, AnsiToWide(value), path));
    const std::wstring readBack = Platform::GetPrivateProfileString(section, key, L"(none)", 4096, path);
    if (ReadsBackAsWritten(value))
        FUZZ_CHECK(readBack == AnsiToWide(value));
    if (!SameName(other, key))
        FUZZ_CHECK(Platform::GetPrivateProfileString(section, other, L"(none)", 4096, path) == otherBefore);
    return 0;
}
