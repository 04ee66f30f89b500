#pragma once

#include <string>
#include <vector>

// Writes a zip archive holding each file under its base name, in the given order, deflated at
// level 6. Returns 0, or -1 when the archive cannot be made or a file cannot be added, among
// them anything that is not a regular file (a partly written archive may stay on disk then).
int CreateZipFromFiles(const std::string& zipPath, const std::vector<std::string>& files);
