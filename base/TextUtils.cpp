#include "base/TextUtils.h"

#include <openssl/evp.h>

#include <cstdio>

namespace TextUtils {

std::string FormatDuration(int seconds)
{
    const int hours = seconds / 3600;
    const int minutes = (seconds % 3600) / 60;
    const int rest = seconds % 60;
    char buffer[128] = {};
    if (hours != 0)
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hours, minutes, rest);
    else
        std::snprintf(buffer, sizeof buffer, "%02d:%02d", minutes, rest);
    return buffer;
}

std::wstring CutString(std::wstring_view text, std::wstring_view separator, bool fromEnd, bool keepBefore,
                       bool includeSeparator)
{
    if (separator.empty())
        return std::wstring(text);
    const size_t pos = fromEnd ? text.rfind(separator) : text.find(separator);
    if (pos == std::wstring_view::npos)
        return std::wstring(text);
    if (keepBefore)
        return std::wstring(text.substr(0, pos));
    return std::wstring(text.substr(includeSeparator ? pos : pos + 1));
}

std::string Md5Hex(std::string_view text)
{
    if (text.empty())
        return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr) != 1 || length != 16)
        return {};
    std::string hex(32, '0');
    static constexpr char kDigits[] = "0123456789abcdef";
    for (unsigned int i = 0; i < length; ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 0x0F];
    }
    return hex;
}

size_t Utf8PrefixLength(std::string_view text, size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

size_t Utf8CharactersLength(std::string_view text, size_t count)
{
    size_t started = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && started++ == count)
            return i;
    }
    return text.size();
}

std::string CutText(std::string text, size_t limit)
{
    if (text.size() <= limit)
        return text;
    const size_t all = text.size();
    text.resize(Utf8PrefixLength(text, limit));
    text += " ... (" + std::to_string(all - text.size()) + " bytes cut)";
    return text;
}

std::string EscapeControls(std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 0x20 && byte != 0x7F) || c == '\t') {
            out += c;
        } else if (c == '\r' || c == '\n') {
            out += c == '\r' ? "\\r" : "\\n";
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    return out;
}

}  // namespace TextUtils
