// The names of the text files a save writes, made from the audio files' names (whatever the
// user's files are called): one name per file, never one handed out before under any letter
// case, never a path of its own.
#include "engine/ResultFileNames.h"
#include "tests/fuzz/FuzzSupport.h"

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
    std::set<std::string> given;
    for (int file = 0; file < 16 && input.remaining_bytes() > 0; ++file) {
        const std::string path = input.ConsumeRandomLengthString(300);
        const std::string name = names.Take(path);
        FUZZ_CHECK(name.find('/') == std::string::npos);
        FUZZ_CHECK(name.size() + 4 <= 255);
        // Two names that differ only in case are one file on many file systems: never both.
        // Bytes that are no UTF-8 have no case; they stay as they are.
        const QString text = QString::fromStdString(name + ".txt");
        const bool utf8 = text.toStdString() == name + ".txt";
        FUZZ_CHECK(given.insert(utf8 ? text.toCaseFolded().toStdString() : name + ".txt").second);
    }
    return 0;
}
