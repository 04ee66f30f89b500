#include "engine/SegmentTexts.h"

#include "base/TextConvert.h"
#include "engine/SegmentRecord.h"
#include "engine/FfmpegCommand.h"
#include "engine/SubtitleCues.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string CueTime(int64_t milliseconds, char fractionSeparator)
{
    const int64_t seconds = milliseconds / 1000;
    char text[40];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld%c%03lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60), fractionSeparator,
                  static_cast<long long>(milliseconds % 1000));
    return text;
}

int64_t Milliseconds(double seconds)
{
    return static_cast<int64_t>(std::llround(std::max(seconds, 0.0) * 1000));
}

bool Usable(const SegmentRecord* record)
{
    return record != nullptr && record->resultCode == 0 && !record->text.empty();
}

// A blank line ends a cue in both formats, so the text must not contain one; and "-->" would
// read as a timing line in WebVTT.
std::string CueText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
        // However many dashes stand before it, an arrow keeps only one.
        if (c == '>') {
            while (out.size() >= 2 && out[out.size() - 1] == '-' && out[out.size() - 2] == '-')
                out.pop_back();
        }
        out += c;
    }
    return out;
}

bool IsLatinLetterOrDigit(char32_t c)
{
    return (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') ||
           (c >= 0x00C0 && c <= 0x024F && c != 0x00D7 && c != 0x00F7);
}

// The code point that well-formed UTF-8 starts at `pos`.
char32_t CodePointAt(const std::string& text, size_t pos)
{
    const auto lead = static_cast<uint8_t>(text[pos]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length && pos + i < text.size(); ++i)
        value = (value << 6) | (static_cast<uint8_t>(text[pos + i]) & 0x3F);
    return value;
}

char32_t LastCodePoint(const std::string& text)
{
    size_t pos = text.size() - 1;
    while (pos > 0 && (static_cast<uint8_t>(text[pos]) & 0xC0) == 0x80)
        --pos;
    return CodePointAt(text, pos);
}

}  // namespace

std::string SegmentTexts::Joined(const std::vector<SegmentRecord*>& records)
{
    std::string text;
    for (size_t j = 0; j < records.size(); ++j) {
        if (records[j]->segmentIndex != static_cast<int32_t>(j))
            text += "\r\n";
        if (records[j]->resultCode != 0)
            continue;
        const std::string next = ValidUtf8(records[j]->text);
        // Chinese runs on without blanks; words of a Latin script cut at a segment's end do not.
        if (!text.empty() && !next.empty() && IsLatinLetterOrDigit(LastCodePoint(text)) &&
            IsLatinLetterOrDigit(CodePointAt(next, 0)))
            text += ' ';
        text += next;
    }
    return text;
}

std::string SegmentTexts::AsTextFile(std::string text)
{
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    return text;
}

std::vector<TimedPiece> SegmentTexts::Pieces(const std::vector<SegmentRecord*>& records)
{
    std::vector<TimedPiece> pieces;
    for (const SegmentRecord* record : records) {
        if (!Usable(record))
            continue;
        if (!record->pieces.empty()) {
            pieces.insert(pieces.end(), record->pieces.begin(), record->pieces.end());
            continue;
        }
        const int64_t start = static_cast<int64_t>(record->segmentIndex) * kSegmentSeconds;
        int64_t end = start + kSegmentSeconds;
        if (record->totalSeconds > start)
            end = std::min<int64_t>(end, record->totalSeconds);
        pieces.push_back({static_cast<double>(start), static_cast<double>(end), ValidUtf8(record->text), true});
    }
    return pieces;
}

bool SegmentTexts::HasHeardTimes(const std::vector<SegmentRecord*>& records)
{
    return std::any_of(records.begin(), records.end(), [](const SegmentRecord* record) {
        return Usable(record) && std::any_of(record->pieces.begin(), record->pieces.end(),
                                             [](const TimedPiece& piece) { return !piece.estimated; });
    });
}

std::string SegmentTexts::Timed(const std::vector<SegmentRecord*>& records)
{
    std::string text;
    const auto line = [&text](int64_t seconds, const std::string& said) {
        if (!text.empty())
            text += "\r\n";
        text += "[" + FormatClock(static_cast<int>(seconds)) + "] " + ValidUtf8(said);
    };
    for (const SegmentRecord* record : records) {
        if (!Usable(record))
            continue;
        if (record->pieces.empty())
            line(static_cast<int64_t>(record->segmentIndex) * kSegmentSeconds, record->text);
        for (const TimedPiece& piece : record->pieces)
            line(Milliseconds(piece.start) / 1000, piece.text);
    }
    return text;
}

std::string SegmentTexts::Subtitles(const std::vector<SegmentRecord*>& records, SubtitleFormat format)
{
    std::vector<TimedPiece> pieces = Pieces(records);
    // Made safe before the lines are laid out: the break between a cue's two lines is then the
    // only one in it.
    for (TimedPiece& piece : pieces)
        piece.text = CueText(ValidUtf8(piece.text));
    const bool vtt = format == SubtitleFormat::Vtt;
    const char separator = vtt ? '.' : ',';
    std::string out = vtt ? "WEBVTT\n\n" : "";
    int number = 0;
    for (const SubtitleCue& cue : SubtitleCues::FromPieces(pieces)) {
        if (!vtt)
            out += std::to_string(++number) + "\n";
        out += CueTime(cue.start, separator) + " --> " + CueTime(cue.end, separator) + "\n";
        out += cue.text + "\n\n";
    }
    return out;
}
