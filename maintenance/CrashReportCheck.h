#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The crash-report upload: when earlier runs left crash reports, the newest four go into a zip
// archive with the log and the settings, the archive is posted to the maker's log server, and
// the reports are deleted once the server has taken it. The stamp "UploadLogTime" allows this
// at most once per stamp interval (60 in twelve-digit "%Y%m%d%H%M" arithmetic). Only the 20
// newest reports are kept, so the folder stays bounded however long the server stays away.

// What one file may be at most to count as a report (or to go into the archive at all): a real
// report is a few KiB and the log is emptied at start once past 1 MiB, while a sparse file of
// 2 GB planted among the reports took 12 s to pack.
constexpr uint64_t kMaxCrashReportBytes = 16u << 20;

// The whole check, on the calling thread: lists the reports, keeps the 20 newest, and uploads
// the newest four when the stamp allows, deleting them only after an HTTP 2xx answer.
void CheckUploadLog(const std::string& appDir);

// CheckUploadLog on a thread of its own ("log upload"), counted by LiveThreads so the program's
// end stops its transfer and waits for it. Only a start that goes on to run calls it: a start
// that ends at once would end the transfer under way, and the reports must outlive that.
void StartUploadLogCheck(const std::string& appDir);

// The full paths of the folder's reports, newest first (by creation time, else modification
// time; equal times by name, so reports made within one tick of the clock are all listed), at
// most `max`. A report is a regular file (not a link, FIFO, device or folder) with one name,
// owned by this user and at most kMaxCrashReportBytes long, checked on an open descriptor.
std::vector<std::string> ListNewestFiles(const std::string& folder, size_t max);

// Builds the archive and posts it, both on the calling thread; true when the server took it.
bool UploadLogFiles(const std::vector<std::string>& files, const std::string& url);

// The archive of `files` (at most the first 20) in the temporary folder; empty when none was made.
// Inputs that are not files of this user's own as a report is (missing, a link, FIFO or device,
// a second name of another file, too big) are left out, so a missing log or settings file does
// not hold back the crash reports.
std::string CreateLogZip(const std::vector<std::string>& files);

// `path` when it can be read, else the path of a copy in the temporary folder.
std::string GetReadableFile(const std::string& path);
