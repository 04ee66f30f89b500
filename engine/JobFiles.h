#pragma once

#include <functional>
#include <string>

namespace JobFiles {

// Makes the job folder of an audio file (the temporary folder + "/" + the MD5 of its path) and
// copies the file into it as "input" + the path's last four characters. Returns the copy's
// path, or "" when the path is shorter than four characters or the copy fails (logged).
// Only regular files are copied (links followed); anything else is refused without blocking.
// The copy is made in the kernel; `cancelled` is asked between its pieces, and a cancelled copy
// is removed and gives "" without a log line.
std::string GetCopyByFile(const std::string& path, const std::function<bool()>& cancelled = {});

// Removes the segment files ("1.pcm", "2.pcm", ...) an earlier job left in a job folder, so a
// file added again at the same path never shows the previous file's audio.
void RemoveSegmentFiles(const std::string& jobFolder);

}  // namespace JobFiles

// Reads a whole file byte for byte into `out`. 0 on success; -1 when it cannot be opened, in
// which case `out` is left as it was.
int ReadFileContent(const std::string& path, std::string* out);
