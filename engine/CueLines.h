#pragma once

#include <cstddef>
#include <string>
#include <vector>

// How a subtitle's text falls into lines a reader takes in at a glance: at most two, each of at
// most 42 characters (code points) of a Latin script, or 20 where CJK characters stand, broken
// only at blanks between words or next to a CJK character.
namespace CueLines {

constexpr int kLatinLine = 42;
constexpr int kCjkLine = 20;

// A stretch of text that no line break falls inside: a word of a Latin script, or a CJK
// character with the punctuation that has to stay with it.
struct Word {
    std::string text;   // UTF-8, without the blanks after it
    std::string after;  // the blanks after it
    int width = 0;      // code points of `text`
    int blanks = 0;     // code points of `after`
    int letters = 0;    // code points of `text` that are no blanks
    bool cjk = false;   // it holds a CJK character, so a line that takes it is a short one
};

// `text` (UTF-8) without the blanks at its ends, as words; a word too long for a line of its own
// is cut into pieces that fit one.
std::vector<Word> Words(const std::string& text);

// Where the second line starts when words [first, last) are laid out in the most even lines:
// `last` when one line holds them all, -1 when two lines do not.
std::ptrdiff_t SecondLine(const std::vector<Word>& words, size_t first, size_t last);

// Words [first, last) as their one or two lines, "\n" between them. They must fit (SecondLine
// is not -1).
std::string Text(const std::vector<Word>& words, size_t first, size_t last);

// Two texts run together as one: a blank between them, unless a CJK character meets the join.
std::string Joined(const std::string& before, const std::string& after);

}  // namespace CueLines
