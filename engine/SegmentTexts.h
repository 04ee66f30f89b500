#pragma once

#include "engine/Recognizer.h"

#include <string>
#include <vector>

struct SegmentRecord;

// What a file's finished segments say, in the forms the user takes away (UTF-8; a service's bytes
// that are no UTF-8 become U+FFFD): one text, as the
// window shows and saves it, and subtitles of cues a viewer can read.
namespace SegmentTexts {

// The segments' texts joined without separators, but for one blank where a letter or digit of a
// Latin script stands on both sides of the join; a segment missing from the sequence (not
// finished yet) leaves a line break in its place. `records` as TranscriptionJobs::GetFinishedSegments
// gives them: ascending segment order.
std::string Joined(const std::vector<SegmentRecord*>& records);

// Each segment's text after its start time ("[00:02:00] ..."), one segment per line (CR LF
// between them), so a long recording can be read against its audio; a segment with timed pieces
// gives one line per piece, after the piece's start. A segment without text (or that failed)
// gives no line.
std::string Timed(const std::vector<SegmentRecord*>& records);

// A text as a .txt file holds it: UTF-8, ending with a line feed (an empty text stays empty).
std::string AsTextFile(std::string text);

enum class SubtitleFormat { Srt, Vtt };

// Every finished segment's text as timed pieces, in seconds of the file: the recognizer's, or for a
// segment without them one piece from its start to its end (the last one clipped at the file's
// duration), marked estimated. A segment without text (or that failed) gives none.
std::vector<TimedPiece> Pieces(const std::vector<SegmentRecord*>& records);

// Whether some finished segment's text came in pieces timed by what the recognizer heard (not
// estimated).
bool HasHeardTimes(const std::vector<SegmentRecord*>& records);

// The pieces (as Pieces gives them) as cues of one or two short lines, shown from one to seven
// seconds each (SubtitleCues), at times to the millisecond; a segment without text (or that
// failed) writes no cue. Cue texts hold no blank line and no "-->". UTF-8.
std::string Subtitles(const std::vector<SegmentRecord*>& records, SubtitleFormat format);

}  // namespace SegmentTexts
