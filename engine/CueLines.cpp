#include "engine/CueLines.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace {

// The wide characters of East Asian writing and their punctuation. Emoji are drawn wide as well,
// but a Latin text with one is still read at a Latin pace.
bool IsCjk(UChar32 c)
{
    const int32_t width = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
    return (width == U_EA_WIDE || width == U_EA_FULLWIDTH) && !u_hasBinaryProperty(c, UCHAR_EMOJI_PRESENTATION);
}

UChar32 Before(const icu::UnicodeString& text, int32_t at)
{
    return text.char32At(text.moveIndex32(at, -1));
}

// Where a line may break, ending with the text's end. ICU knows which punctuation must not start
// or end a line; of its places, only those after a blank or next to a CJK character are kept, so
// that a Latin word stays whole (no break after its hyphen or slash). Without ICU's data the
// text is one word, which is then cut where it has to be.
std::vector<int32_t> Breaks(const icu::UnicodeString& text)
{
    std::vector<int32_t> breaks;
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::BreakIterator> lines(icu::BreakIterator::createLineInstance(icu::Locale::getRoot(), status));
    if (U_SUCCESS(status)) {
        lines->setText(text);
        for (int32_t at = lines->next(); at != icu::BreakIterator::DONE && at < text.length(); at = lines->next()) {
            const UChar32 before = Before(text, at), next = text.char32At(at);
            if (!u_isUWhiteSpace(next) && (u_isUWhiteSpace(before) || IsCjk(before) || IsCjk(next)))
                breaks.push_back(at);
        }
    }
    breaks.push_back(text.length());
    return breaks;
}

CueLines::Word MakeWord(const icu::UnicodeString& text, int32_t from, int32_t to)
{
    CueLines::Word word;
    int32_t end = from;
    for (int32_t at = from; at < to; at = text.moveIndex32(at, 1)) {
        const UChar32 c = text.char32At(at);
        if (u_isUWhiteSpace(c)) {
            ++word.blanks;
            continue;
        }
        word.width += word.blanks + 1;
        word.blanks = 0;
        ++word.letters;
        word.cjk = word.cjk || IsCjk(c);
        end = text.moveIndex32(at, 1);
    }
    text.tempSubStringBetween(from, end).toUTF8String(word.text);
    text.tempSubStringBetween(end, to).toUTF8String(word.after);
    return word;
}

int LineLimit(bool cjk)
{
    return cjk ? CueLines::kCjkLine : CueLines::kLatinLine;
}

}  // namespace

std::vector<CueLines::Word> CueLines::Words(const std::string& utf8)
{
    const icu::UnicodeString whole = icu::UnicodeString::fromUTF8(utf8);
    int32_t begin = 0, end = whole.length();
    while (begin < end && u_isUWhiteSpace(whole.char32At(begin)))
        begin = whole.moveIndex32(begin, 1);
    while (end > begin && u_isUWhiteSpace(Before(whole, end)))
        end = whole.moveIndex32(end, -1);
    const icu::UnicodeString text(whole, begin, end - begin);
    if (text.isEmpty())
        return {};

    std::vector<Word> words;
    int32_t from = 0;
    for (const int32_t to : Breaks(text)) {
        // A word longer than a line (an address, a run of CJK punctuation) goes on in the next.
        Word word = MakeWord(text, from, to);
        while (word.width > LineLimit(word.cjk)) {
            const int32_t cut = text.moveIndex32(from, LineLimit(word.cjk));
            words.push_back(MakeWord(text, from, cut));
            from = cut;
            word = MakeWord(text, from, to);
        }
        words.push_back(std::move(word));
        from = to;
    }
    return words;
}

std::ptrdiff_t CueLines::SecondLine(const std::vector<Word>& words, size_t first, size_t last)
{
    bool cjk = false;
    int oneLine = 0;
    for (size_t k = first; k < last; ++k) {
        cjk = cjk || words[k].cjk;
        oneLine += words[k].width + (k + 1 < last ? words[k].blanks : 0);
    }
    const int limit = LineLimit(cjk);
    if (oneLine <= limit)
        return static_cast<std::ptrdiff_t>(last);
    std::ptrdiff_t best = -1;
    int bestLonger = 0;
    int reached = 0;  // words [first, k) with the blanks after them
    for (size_t k = first + 1; k < last; ++k) {
        reached += words[k - 1].width + words[k - 1].blanks;
        const int longer = std::max(reached - words[k - 1].blanks, oneLine - reached);
        if (longer <= limit && (best < 0 || longer < bestLonger)) {
            best = static_cast<std::ptrdiff_t>(k);
            bestLonger = longer;
        }
    }
    return best;
}

std::string CueLines::Text(const std::vector<Word>& words, size_t first, size_t last)
{
    const auto second = static_cast<size_t>(SecondLine(words, first, last));
    std::string text;
    for (size_t k = first; k < last; ++k) {
        text += words[k].text;
        if (k + 1 < last)
            text += k + 1 == second ? std::string("\n") : words[k].after;
    }
    return text;
}

std::string CueLines::Joined(const std::string& before, const std::string& after)
{
    if (before.empty() || after.empty())
        return before + after;
    const icu::UnicodeString a = icu::UnicodeString::fromUTF8(before), b = icu::UnicodeString::fromUTF8(after);
    return IsCjk(Before(a, a.length())) || IsCjk(b.char32At(0)) ? before + after : before + " " + after;
}
