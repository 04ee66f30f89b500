#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes a zip archive holding each file under its base name, in the given order, deflated at
// level 6. Returns 0, or -1 when the archive cannot be made or a file cannot be added, among
// them anything that is not a file of this user's own with one name and at most `maxFileBytes`
// long (OpenOwnFile; a partly written archive may stay on disk then). Each file goes in as long
// as it was when checked, so one that grows meanwhile (the log) adds nothing unchecked.
int CreateZipFromFiles(const std::string& zipPath, const std::vector<std::string>& files, uint64_t maxFileBytes);
