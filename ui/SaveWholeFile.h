#pragma once

#include <string>

// Writes `bytes` as the whole content of `path`, through a temporary file in the same folder
// that takes the name only once everything is on disk: a failure half-way leaves no cut-off
// text under the name. False when the file cannot be created (`opened` false) or not everything
// reached it.
bool SaveWholeFile(const std::string& path, const std::string& bytes, bool& opened);
