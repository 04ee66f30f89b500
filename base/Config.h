#pragma once

#include <string>
#include <utility>
#include <vector>

// Settings in the section "Talvora" of "config.ini". Nothing is cached: every read goes to the
// file, so a changed value counts from the next read on. Keys and values are UTF-8.

int ReadConfigInt(const std::string& key, int defaultValue);

// At most size - 1 characters of the value (or of the default).
std::string ReadConfigString(const std::string& key, const std::string& defaultValue, int size);

// Writes to the settings file in the application data folder, then to the copy beside the
// program (only where that folder exists). Failures are ignored.
void WriteConfigString(const std::string& key, const std::string& value);

// Writes several keys at once, each file replaced once, so a reader sees all of them or none.
// False when the settings file in the application data folder could not be written.
bool WriteConfigStrings(const std::vector<std::pair<std::string, std::string>>& entries);

// As ReadConfigString, on the settings file in the folder the update check computes.
std::string ReadUpdateConfigString(const std::string& key, const std::string& defaultValue, int size);
