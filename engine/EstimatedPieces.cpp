#include "engine/EstimatedPieces.h"

#include "engine/PauseCuts.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

namespace {

constexpr double kSampleRate = 16000;
constexpr size_t kLongestChineseSentence = 20;

size_t CharacterLength(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// The text's characters, each as its UTF-8 bytes.
std::vector<std::string> Characters(const std::string& text)
{
    std::vector<std::string> characters;
    for (size_t i = 0; i < text.size();) {
        const size_t length = std::min(CharacterLength(static_cast<unsigned char>(text[i])), text.size() - i);
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

bool IsBlank(const std::string& c)
{
    return c == " " || c == "\t" || c == "\r" || c == "\n" || c == "\xE3\x80\x80";
}

bool IsChinese(const std::string& c)
{
    // The CJK blocks lie in three-byte UTF-8 from U+2E80 on.
    return c.size() >= 3 && static_cast<unsigned char>(c[0]) >= 0xE2;
}

std::string Trimmed(const std::vector<std::string>& characters, size_t begin, size_t end)
{
    while (begin < end && IsBlank(characters[begin]))
        ++begin;
    while (end > begin && IsBlank(characters[end - 1]))
        --end;
    std::string text;
    for (size_t i = begin; i < end; ++i)
        text += characters[i];
    return text;
}

// A long Chinese sentence in pieces: after its commas, then every 20 characters.
void CutLong(const std::string& sentence, std::vector<std::string>& out)
{
    const std::vector<std::string> characters = Characters(sentence);
    const bool chinese = std::any_of(characters.begin(), characters.end(), IsChinese);
    if (!chinese || characters.size() <= kLongestChineseSentence) {
        out.push_back(sentence);
        return;
    }
    size_t begin = 0;
    for (size_t i = 0; i < characters.size(); ++i) {
        const bool comma = characters[i] == "\xEF\xBC\x8C" || characters[i] == "," || characters[i] == "\xE3\x80\x81";
        const bool last = i + 1 == characters.size();
        if (!comma && !last)
            continue;
        for (size_t from = begin; from <= i; from += kLongestChineseSentence) {
            const std::string piece = Trimmed(characters, from, std::min(from + kLongestChineseSentence, i + 1));
            if (!piece.empty())
                out.push_back(piece);
        }
        begin = i + 1;
    }
}

size_t Weight(const std::string& text)
{
    size_t weight = 0;
    for (const std::string& c : Characters(text))
        weight += IsBlank(c) ? 0 : 1;
    return std::max<size_t>(weight, 1);
}

}  // namespace

std::vector<std::string> EstimatedPieces::Sentences(const std::string& text)
{
    static const char* const kFullStops[] = {"\xE3\x80\x82", "\xEF\xBC\x81", "\xEF\xBC\x9F", "\xEF\xBC\x9B"};
    const std::vector<std::string> characters = Characters(text);
    std::vector<std::string> sentences;
    size_t begin = 0;
    for (size_t i = 0; i < characters.size(); ++i) {
        const std::string& c = characters[i];
        const bool latinEnd = (c == "." || c == "!" || c == "?") && (i + 1 == characters.size() || IsBlank(characters[i + 1]));
        const bool end = latinEnd || std::find(std::begin(kFullStops), std::end(kFullStops), c) != std::end(kFullStops) ||
                         i + 1 == characters.size();
        if (!end)
            continue;
        const std::string sentence = Trimmed(characters, begin, i + 1);
        if (!sentence.empty())
            CutLong(sentence, sentences);
        begin = i + 1;
    }
    return sentences;
}

std::vector<TimedPiece> EstimatedPieces::Place(const std::string& text, const std::string& pcm)
{
    const std::vector<std::string> sentences = Sentences(text);
    if (sentences.empty())
        return {};
    const size_t count = pcm.size() / 2;
    std::vector<std::pair<size_t, size_t>> runs;
    // The samples are little-endian; on such a machine they are read where they lie.
    if constexpr (std::endian::native == std::endian::little)
        runs = SpeechRuns(reinterpret_cast<const int16_t*>(pcm.data()), count);
    if (runs.empty())
        runs.emplace_back(0, count);
    size_t speech = 0;
    for (const auto& [begin, end] : runs)
        speech += end - begin;

    // Speech time (samples counted over the runs only) to the audio's time. A piece starts in
    // the next run when it would start where one ends.
    const auto timeOf = [&runs](size_t offset, bool start) {
        size_t before = 0;
        for (const auto& [begin, end] : runs) {
            const size_t length = end - begin;
            if (offset < before + length || (!start && offset == before + length))
                return static_cast<double>(begin + (offset - before)) / kSampleRate;
            before += length;
        }
        return static_cast<double>(runs.back().second) / kSampleRate;
    };
    size_t total = 0;
    for (const std::string& sentence : sentences)
        total += Weight(sentence);
    std::vector<TimedPiece> pieces;
    size_t done = 0;
    for (const std::string& sentence : sentences) {
        const size_t from = speech * done / total;
        done += Weight(sentence);
        const size_t to = speech * done / total;
        pieces.push_back({timeOf(from, true), timeOf(to, false), sentence, true});
    }
    return pieces;
}
