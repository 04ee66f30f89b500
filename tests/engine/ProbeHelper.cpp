// Probes one file three times; before the third probe it replaces a library file by another
// (args: audio file, library path to replace, library to put there).
#include "base/TextConvert.h"
#include "engine/MediaInfoProbe.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    for (int round = 0; round < 3; ++round) {
        if (round == 2) {
            std::filesystem::remove(argv[2]);
            std::filesystem::create_symlink(argv[3], argv[2]);
        }
        const int duration = ProbeAudioDuration(argv[1]);
        std::printf("load=%d probe=%d\n", LoadMediaInfoLibrary(), duration);
    }
    return 0;
}
