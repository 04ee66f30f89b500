#pragma once

#include "engine/HeardWord.h"
#include "engine/Recognizer.h"

#include <vector>

// Words heard one after another, in order, as timed pieces a subtitle can show one at a time: a
// new piece begins after a pause of half a second or more, and before a word that would make the
// piece last longer than seven seconds. A piece's text is its words with a blank between them,
// its times its first word's start and its last word's end; none is marked estimated.
std::vector<TimedPiece> HeardSentences(const std::vector<HeardWord>& words);
