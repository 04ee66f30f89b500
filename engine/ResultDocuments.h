#pragma once

#include <string>
#include <vector>

struct SegmentRecord;

// A file's result as data for other programs: every timed piece with its times (UTF-8).
namespace ResultDocuments {

struct FileFacts {
    std::string file;        // the audio file, as listed
    std::string recognizer;  // the setting's name of the recognizer ("cloud", ...)
    std::string language;    // as chosen; empty: the recognizer's own default
};

// {"file", "duration" (seconds), "recognizer", "language" (null when not chosen), "text" (the
// joined text), "pieces": [{"start", "end" (seconds, to the millisecond), "text", "estimated"}]},
// pretty-printed, ending with a line feed.
std::string Json(const std::vector<SegmentRecord*>& records, const FileFacts& facts);

// A "start\tend\ttext" header line, then one line per piece: its start and end in whole
// milliseconds and its text on one line (tabs and line breaks become blanks).
std::string Tsv(const std::vector<SegmentRecord*>& records);

}  // namespace ResultDocuments
