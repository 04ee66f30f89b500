#pragma once

#include <string>

// Settings in the section "Talvora" of "config.ini". Nothing is cached: every read goes to the
// file, so a changed value counts from the next read on.

int ReadConfigInt(const std::wstring& key, int defaultValue);

// At most size - 1 characters of the value (or of the default).
std::wstring ReadConfigString(const std::wstring& key, const std::wstring& defaultValue, int size);

// Writes to the settings file in the application data folder, then to the copy beside the
// program (only where that folder exists). Failures are ignored.
void WriteConfigString(const std::wstring& key, const std::wstring& value);

// As ReadConfigString, on the settings file in the folder the update check computes.
std::wstring ReadUpdateConfigString(const std::wstring& key, const std::wstring& defaultValue, int size);
