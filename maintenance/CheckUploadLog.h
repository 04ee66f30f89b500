#pragma once

#include <string>
#include <vector>

// The crash-report upload at start-up: when earlier runs left crash reports, the newest four go
// into a zip archive with the log and the settings, the archive is posted to the maker's log
// server on a thread of its own, and the reports are deleted. The stamp "UploadLogTime" allows
// this at most once per stamp interval (60 in twelve-digit "%Y%m%d%H%M" arithmetic).

// Runs once per process with the application data folder, as the first-use hook of
// PubUtils::GetAppDataDir (before the log is open).
void CheckUploadLog(const std::string& appDir);

// The full paths of the folder's newest regular files (by creation time, else modification
// time), newest first, at most `max`. Of files with the same time only one is listed. Links,
// FIFOs, devices and folders are passed over.
std::vector<std::string> ListNewestFiles(const std::string& folder, size_t max);

// Builds the archive now and posts it on a new thread.
void UploadLogFiles(const std::vector<std::string>& files, const std::string& url);

// The archive of `files` (at most the first 20) in the temporary folder; empty when none was made.
// Inputs that are not regular files (missing, or a link, FIFO or device in the file's place) are
// left out, so a missing log or settings file does not hold back the crash reports.
std::string CreateLogZip(const std::vector<std::string>& files);

// `path` when it can be read, else the path of a copy in the temporary folder.
std::string GetReadableFile(const std::string& path);
