#pragma once

#include <set>
#include <string>

// Names of the text files of one save into one folder. Two audio files whose names differ only
// in the folder or the extension (talk.mp3, talk.wav) would both become "talk.txt", and a file
// of that name may already be in the folder (a text the user may have edited since): the later
// one, or the new one, gets "talk (2).txt" instead, never replacing anything. Names are compared
// without regard to case, since the folder may be on a file system that ignores it (vfat,
// exFAT, SMB shares), where "Talk.txt" and "talk.txt" are one file. Paths and names are UTF-8.
class ResultFileNames {
public:
    // Names for a save into `folder` of files ending in `extension`: the files in the folder
    // when this is made are taken already. Without a folder only the names handed out are.
    explicit ResultFileNames(const std::string& folder = {}, const std::string& extension = ".txt");

    // The name (without the extension) to write a result under, derived from the audio file's path: its
    // part after the last "/", without the part from its last ".". Never returns a name twice,
    // nor one of a file already in the folder.
    std::string Take(const std::string& audioPath);

    // The name (without the extension) of a file of this audio file's names in the folder that
    // already holds exactly `bytes`, or "" when none does: saving the same text again adds no
    // copy.
    std::string HoldingAlready(const std::string& audioPath, const std::string& bytes) const;

    // The name proper, before any clash is resolved.
    static std::string BaseName(const std::string& audioPath);

    const std::string& Extension() const { return extension; }

private:
    bool IsTaken(const std::string& fileName) const;
    void MarkTaken(const std::string& fileName);

    // The name proper, shortened (at a character) so that with " (N)" and the extension it
    // still fits a file system's 255 bytes.
    std::string FittingBaseName(const std::string& audioPath) const;

    std::string folder;
    std::string extension;
    std::set<std::string> used;  // whole file names, case-folded
};
