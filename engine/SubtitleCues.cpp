#include "engine/SubtitleCues.h"

#include "engine/CueLines.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using SubtitleCues::kLongestMilliseconds;
using SubtitleCues::kShortestMilliseconds;

// A piece on its way to cues.
struct Span {
    int64_t start = 0;  // milliseconds
    int64_t end = 0;
    std::string text;
    std::vector<CueLines::Word> words;
};

int64_t Milliseconds(double seconds)
{
    return static_cast<int64_t>(std::llround(std::max(seconds, 0.0) * 1000));
}

// Where each part of words shown for `duration` begins, then the number of words: the fewest
// parts that fit two lines and, with their share of the time, seven seconds; of those the most
// even, which reads best.
std::vector<size_t> PartStarts(const std::vector<CueLines::Word>& words, int64_t duration)
{
    std::vector<int64_t> letters(words.size() + 1, 0);  // of words [0, k)
    for (size_t k = 0; k < words.size(); ++k)
        letters[k + 1] = letters[k] + words[k].letters;
    const double budget = duration <= kLongestMilliseconds
                              ? std::numeric_limits<double>::infinity()
                              : static_cast<double>(letters.back()) * kLongestMilliseconds / static_cast<double>(duration);
    struct Split {
        size_t parts = std::numeric_limits<size_t>::max();
        int64_t unevenness = 0;
        size_t from = 0;  // where its last part begins
    };
    std::vector<Split> best(words.size() + 1);  // of words [0, k)
    best[0].parts = 0;
    for (size_t last = 1; last <= words.size(); ++last) {
        // Words each too slow for one cue of their own can as well share one; cutting them
        // apart would not make them shorter.
        bool allSlow = true;
        for (size_t first = last; first-- > 0;) {
            const int64_t held = letters[last] - letters[first];
            allSlow = allSlow && words[first].letters > budget;
            if ((held > budget && !allSlow) || CueLines::SecondLine(words, first, last) < 0)
                break;
            const Split split{best[first].parts + 1, best[first].unevenness + held * held, first};
            if (split.parts < best[last].parts ||
                (split.parts == best[last].parts && split.unevenness < best[last].unevenness))
                best[last] = split;
        }
    }
    std::vector<size_t> starts{words.size()};
    for (size_t at = words.size(); at > 0; at = best[at].from)
        starts.push_back(best[at].from);
    std::reverse(starts.begin(), starts.end());
    return starts;
}

// Each part's share of `duration`, in proportion to its letters, then moved within a second and
// seven where the duration lets every part have that: the shortest first, for a cue too short
// to read is worse than one a little long.
std::vector<double> Shares(const std::vector<int64_t>& letters, double duration)
{
    const size_t count = letters.size();
    std::vector<double> shares(count, 0);
    std::vector<bool> held(count, false);
    const auto hold = [&](double bound, bool below) {
        for (bool moved = true; moved;) {
            double time = duration, weight = 0;
            for (size_t k = 0; k < count; ++k) {
                if (held[k])
                    time -= shares[k];
                else
                    weight += static_cast<double>(std::max<int64_t>(letters[k], 1));
            }
            moved = false;
            for (size_t k = 0; k < count; ++k) {
                if (held[k])
                    continue;
                shares[k] = time * static_cast<double>(std::max<int64_t>(letters[k], 1)) / weight;
                if (below ? shares[k] < bound : shares[k] > bound) {
                    shares[k] = bound;
                    held[k] = moved = true;
                }
            }
        }
    };
    const auto parts = static_cast<double>(count);
    hold(duration >= parts * kShortestMilliseconds ? kShortestMilliseconds : 0, true);
    if (duration <= parts * kLongestMilliseconds)
        hold(kLongestMilliseconds, false);
    return shares;
}

// The parts of `span` that begin at `starts` as cues, one after the other over its time; each
// gets a millisecond at least, so `span` has to last as many.
void AddCues(std::vector<SubtitleCue>& cues, const Span& span, const std::vector<size_t>& starts)
{
    const size_t parts = starts.size() - 1;
    std::vector<int64_t> letters;
    for (size_t k = 0; k < parts; ++k) {
        letters.push_back(0);
        for (size_t w = starts[k]; w < starts[k + 1]; ++w)
            letters.back() += span.words[w].letters;
    }
    const std::vector<double> shares = Shares(letters, static_cast<double>(span.end - span.start));
    double reached = 0;
    int64_t from = span.start;
    for (size_t k = 0; k < parts; ++k) {
        reached += shares[k];
        const auto left = static_cast<int64_t>(parts - k - 1);
        const int64_t to = left == 0 ? span.end
                                     : std::clamp<int64_t>(span.start + std::llround(reached), from + 1, span.end - left);
        cues.push_back({from, std::min(to, from + kLongestMilliseconds), CueLines::Text(span.words, starts[k], starts[k + 1])});
        from = to;
    }
}

}  // namespace

std::vector<SubtitleCue> SubtitleCues::FromPieces(const std::vector<TimedPiece>& pieces)
{
    std::vector<Span> spans;
    for (const TimedPiece& piece : pieces) {
        Span span{Milliseconds(piece.start), Milliseconds(piece.end), piece.text, CueLines::Words(piece.text)};
        if (!span.words.empty())
            spans.push_back(std::move(span));
    }
    // A player shows cues in the order of their times, one after the other.
    std::stable_sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });

    std::vector<SubtitleCue> cues;
    for (size_t i = 0; i < spans.size(); ++i) {
        Span& span = spans[i];
        Span* next = i + 1 < spans.size() ? &spans[i + 1] : nullptr;
        span.end = std::max(span.end, span.start + kShortestMilliseconds);
        if (next != nullptr)
            span.end = std::min(span.end, next->start);
        const std::vector<size_t> starts = PartStarts(span.words, span.end - span.start);
        const auto parts = static_cast<int64_t>(starts.size() - 1);
        if (span.end - span.start < parts) {
            // No time to show it: what it says is shown with the next piece, from its start.
            if (next != nullptr) {
                next->text = CueLines::Joined(span.text, next->text);
                next->words = CueLines::Words(next->text);
                next->start = span.start;
                continue;
            }
            span.end = span.start + parts;
        }
        AddCues(cues, span, starts);
    }
    return cues;
}
