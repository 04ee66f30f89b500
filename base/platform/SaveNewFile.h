#pragma once

#include <functional>
#include <string>

// What became of one save.
struct SaveNewFileResult {
    enum class Step { None, Create, Write, Flush, Name };

    bool saved = false;
    // The file name it was saved under, or the name it failed at (empty when it failed before
    // any name was tried).
    std::string name;
    Step failedAt = Step::None;
    int error = 0;  // errno of the failed step

    // The failure in the system's words ("No space left on device").
    std::string Reason() const;
};

// Writes `bytes` as a new file in `folder` and never replaces a file there, whoever put it there
// and whenever: the text goes to a temporary file in the folder first, and takes a name only once
// every byte has been written and flushed to the disk. `nextName` hands out the file name to try
// (without folder); it is asked again for as long as the name it gave is taken. A failure at any
// step leaves nothing behind, neither the temporary file nor the name.
SaveNewFileResult SaveNewFile(const std::string& folder, const std::function<std::string()>& nextName,
                              const std::string& bytes);
