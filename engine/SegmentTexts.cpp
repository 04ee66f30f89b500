#include "engine/SegmentTexts.h"

#include "base/TextConvert.h"
#include "engine/CAudioSegment.h"
#include "engine/FfmpegCommand.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string CueTime(int64_t seconds, char fractionSeparator)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld%c000", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60), fractionSeparator);
    return text;
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

bool IsLatinLetterOrDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
           (c >= 0x00C0 && c <= 0x024F && c != 0x00D7 && c != 0x00F7);
}

}  // namespace

std::wstring SegmentTexts::Joined(const std::vector<CAudioSegment*>& records)
{
    std::wstring text;
    for (size_t j = 0; j < records.size(); ++j) {
        if (records[j]->segmentIndex != static_cast<int32_t>(j))
            text += L"\r\n";
        if (records[j]->resultCode != 0)
            continue;
        const std::wstring next = Utf8ToWide(records[j]->text);
        // Chinese runs on without blanks; words of a Latin script cut at a segment's end do not.
        if (!text.empty() && !next.empty() && IsLatinLetterOrDigit(text.back()) && IsLatinLetterOrDigit(next.front()))
            text += L' ';
        text += next;
    }
    return text;
}

std::string SegmentTexts::AsTextFile(const std::wstring& text)
{
    std::string bytes = WideToAnsi(text);
    if (!bytes.empty() && bytes.back() != '\n')
        bytes += '\n';
    return bytes;
}

std::wstring SegmentTexts::Timed(const std::vector<CAudioSegment*>& records)
{
    std::wstring text;
    for (const CAudioSegment* record : records) {
        if (record == nullptr || record->resultCode != 0 || record->text.empty())
            continue;
        if (!text.empty())
            text += L"\r\n";
        text += L"[" + Utf8ToWide(FormatClock(record->segmentIndex * kSegmentSeconds)) + L"] " + Utf8ToWide(record->text);
    }
    return text;
}

std::string SegmentTexts::Subtitles(const std::vector<CAudioSegment*>& records, SubtitleFormat format)
{
    const bool vtt = format == SubtitleFormat::Vtt;
    std::string out = vtt ? "WEBVTT\n\n" : "";
    int cue = 0;
    for (const CAudioSegment* record : records) {
        if (record == nullptr || record->resultCode != 0 || record->text.empty())
            continue;
        const int64_t start = static_cast<int64_t>(record->segmentIndex) * kSegmentSeconds;
        int64_t end = start + kSegmentSeconds;
        if (record->totalSeconds > start)
            end = std::min<int64_t>(end, record->totalSeconds);
        if (!vtt)
            out += std::to_string(++cue) + "\n";
        const char separator = vtt ? '.' : ',';
        out += CueTime(start, separator) + " --> " + CueTime(end, separator) + "\n";
        out += CueText(record->text) + "\n\n";
    }
    return out;
}
