#pragma once

#include <string>
#include <string_view>

// Crossings between the program's text forms. On this platform the "ANSI code page" of file
// paths, log messages and settings is UTF-8, and wide strings hold one code point per wchar_t.
// Invalid input never fails: undecodable bytes become U+FFFD when widening, and characters that
// cannot be encoded (lone surrogates, values past U+10FFFF) become '?' when narrowing.

std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

// `text` as well-formed UTF-8, read as the widening above reads it: every byte that starts no
// well-formed sequence becomes U+FFFD, and the text ends at its first NUL. The same as the way
// to wide text and back, without the detour.
std::string ValidUtf8(std::string_view text);

// Whether two UTF-8 texts differ at most in letter case: compared character by character through
// towlower, each read as the widening above reads it.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);
