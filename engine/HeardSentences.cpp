#include "engine/HeardSentences.h"

#include <algorithm>

namespace {

constexpr double kSentencePause = 0.5;
constexpr double kLongestPiece = 7.0;
// Times are sample counts divided by the sample rate and added up: a pause of exactly half a
// second may come out a hair short of it.
constexpr double kSlack = 1e-6;

}  // namespace

std::vector<TimedPiece> HeardSentences(const std::vector<HeardWord>& words)
{
    std::vector<TimedPiece> pieces;
    for (const HeardWord& word : words) {
        const bool first = pieces.empty();
        if (first || word.start - pieces.back().end >= kSentencePause - kSlack ||
            word.end - pieces.back().start > kLongestPiece + kSlack) {
            pieces.push_back({word.start, word.end, word.text, false});
        } else {
            pieces.back().end = word.end;
            pieces.back().text += " " + word.text;
        }
        // One word drawn out over noise still makes a piece a reader has time for.
        TimedPiece& piece = pieces.back();
        piece.end = std::min(piece.end, piece.start + kLongestPiece);
    }
    return pieces;
}
