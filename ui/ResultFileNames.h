#pragma once

#include <set>
#include <string>

// Names of the text files of one save into one folder. Two audio files whose names differ only
// in the folder or the extension (talk.mp3, talk.wav) would both become "talk.txt", and the
// later one would silently replace the earlier one; the later one gets "talk (2).txt" instead.
// Names are compared exactly (the file system here is case-sensitive).
class ResultFileNames {
public:
    // The name (without ".txt") to write a result under, derived from the audio file's path: its
    // part after the last "/", without the part from its last ".". Never returns a name twice.
    std::wstring Take(const std::wstring& audioPath);

    // The name proper, before any clash is resolved.
    static std::wstring BaseName(const std::wstring& audioPath);

private:
    std::set<std::wstring> used;
};
