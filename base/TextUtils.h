#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace TextUtils {

// "mm:ss" below an hour, "hh:mm:ss" from an hour on; hours are never folded into days.
std::string FormatDuration(int seconds);

// Cuts `text` at the first (or, with fromEnd, the last) `separator`. keepBefore returns what
// stands before it; otherwise what follows it, with the separator when includeSeparator is set.
// A text without the separator comes back unchanged.
std::wstring CutString(std::wstring_view text, std::wstring_view separator, bool fromEnd, bool keepBefore,
                       bool includeSeparator);

// MD5 of the text's bytes as 32 lowercase hex digits; an empty text gives an empty string.
std::string Md5Hex(std::string_view text);

// The length of the longest prefix of UTF-8 `text` of at most `limit` bytes that does not end
// inside a character.
size_t Utf8PrefixLength(std::string_view text, size_t limit);

// The length in bytes of the first `count` characters of UTF-8 `text`, or of all of it when it
// has no more; every byte that is not a continuation byte starts a character.
size_t Utf8CharactersLength(std::string_view text, size_t count);

// `text` when it has at most `limit` bytes; else its first bytes (never ending inside a UTF-8
// character) and " ... (N bytes cut)". For texts from outside that reach logs, boxes and lines.
std::string CutText(std::string text, size_t limit);

// `text` with every control character but tab written out ("\\r", "\\n", "\\x1b", "\\x00" ...),
// so that a text from outside can neither drive a terminal nor end a C string early.
std::string EscapeControls(std::string_view text);

}  // namespace TextUtils
