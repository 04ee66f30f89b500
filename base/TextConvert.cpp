#include "base/TextConvert.h"

#include <cstdint>
#include <cwctype>

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// Length of the well-formed UTF-8 sequence at text[pos], or 0 when the byte there does not
// start one (RFC 3629: no overlong forms, no surrogates, nothing past U+10FFFF).
size_t DecodeOne(std::string_view text, size_t pos, char32_t& out)
{
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[pos + i]); };
    const uint8_t lead = byte(0);
    if (lead < 0x80) {
        out = lead;
        return 1;
    }
    size_t length;
    char32_t value;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    out = value;
    return length;
}

// The character at text[pos], and pos moved past it: a byte that starts no well-formed sequence
// reads as U+FFFD. False at the end of the text or at a NUL, which ends it (like the C-string
// based original).
bool NextCharacter(std::string_view text, size_t& pos, char32_t& out)
{
    if (pos >= text.size())
        return false;
    size_t length = DecodeOne(text, pos, out);
    if (length == 0) {
        out = kReplacement;
        length = 1;
    }
    if (out == 0)
        return false;
    pos += length;
    return true;
}

std::wstring DecodeUtf8(std::string_view text)
{
    std::wstring result;
    result.reserve(text.size());
    size_t pos = 0;
    char32_t value = 0;
    while (NextCharacter(text, pos, value))
        result.push_back(static_cast<wchar_t>(value));
    return result;
}

// Appends one code point; what UTF-8 cannot hold (a lone surrogate, a value past U+10FFFF)
// becomes '?'.
void AppendUtf8(std::string& out, uint32_t value)
{
    if (value < 0x80) {
        out.push_back(static_cast<char>(value));
    } else if (value < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (value >> 6)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value >= 0xD800 && value <= 0xDFFF) {
        out.push_back('?');
    } else if (value < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (value >> 12)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value <= 0x10FFFF) {
        out.push_back(static_cast<char>(0xF0 | (value >> 18)));
        out.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
        out.push_back('?');
    }
}

}  // namespace

std::string ValidUtf8(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    size_t pos = 0;
    char32_t value = 0;
    while (NextCharacter(text, pos, value))
        AppendUtf8(result, value);
    return result;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b)
{
    size_t posA = 0;
    size_t posB = 0;
    for (;;) {
        char32_t x = 0;
        char32_t y = 0;
        const bool moreA = NextCharacter(a, posA, x);
        const bool moreB = NextCharacter(b, posB, y);
        if (moreA != moreB)
            return false;
        if (!moreA)
            return true;
        if (std::towlower(static_cast<wint_t>(x)) != std::towlower(static_cast<wint_t>(y)))
            return false;
    }
}

std::wstring AnsiToWide(std::string_view text)
{
    return DecodeUtf8(text);
}

std::wstring Utf8ToWide(std::string_view text)
{
    return DecodeUtf8(text);
}

std::string WideToAnsi(std::wstring_view text)
{
    std::string result;
    result.reserve(text.size());
    for (const wchar_t ch : text) {
        if (ch == 0)
            break;
        AppendUtf8(result, static_cast<uint32_t>(ch));
    }
    return result;
}
