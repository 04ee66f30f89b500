#pragma once

#include "engine/Recognizer.h"

#include <cstdint>
#include <string>
#include <vector>

// One subtitle as a player shows it.
struct SubtitleCue {
    int64_t start = 0;  // milliseconds of the file
    int64_t end = 0;
    std::string text;   // one or two lines (CueLines), "\n" between them
};

// Subtitles that can be read while they show, made from timed pieces of text.
namespace SubtitleCues {

constexpr int64_t kShortestMilliseconds = 1000;
constexpr int64_t kLongestMilliseconds = 7000;

// The cues of `pieces` (seconds of the file, in any order, UTF-8), in the order of their starts,
// each ending at or before the next one starts. A piece shorter than a second is lengthened to
// one as far as the next piece leaves room; one left no time at all runs into the next. A piece
// longer than seven seconds, or with more text than two lines hold, is cut between its words
// into the fewest parts that fit both, the piece's time shared in proportion to their letters
// (blanks not counted), yet a second at least and seven at most for each where the piece's time
// allows that. Words said so slowly that each alone would show longer than seven seconds are
// shown together, for seven seconds from the start of their share. A piece of nothing but blanks
// gives no cue.
std::vector<SubtitleCue> FromPieces(const std::vector<TimedPiece>& pieces);

}  // namespace SubtitleCues
