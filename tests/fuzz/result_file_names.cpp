// The names of the text files a save writes, made from the audio files' names (whatever the
// user's files are called): one name per file, never one handed out before under any letter
// case, never a path of its own.
#include "base/TextConvert.h"
#include "tests/fuzz/FuzzSupport.h"
#include "ui/ResultFileNames.h"

#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

#include <set>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::SetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    ResultFileNames names;
    std::set<std::wstring> given;
    for (int file = 0; file < 16 && input.remaining_bytes() > 0; ++file) {
        const std::wstring path = AnsiToWide(input.ConsumeRandomLengthString(300));
        const std::wstring name = names.Take(path);
        FUZZ_CHECK(name.find(L'/') == std::wstring::npos);
        FUZZ_CHECK(given.insert(QString::fromStdWString(name + L".txt").toCaseFolded().toStdWString()).second);
    }
    return 0;
}
