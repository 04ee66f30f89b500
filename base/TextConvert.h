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

// UTF-8 as it would come back from a round trip through a wide string: every byte that starts no
// well-formed character becomes U+FFFD, and the text ends at its first NUL. For texts from
// outside (a server's reply) before they are shown or written.
std::string ValidUtf8(std::string_view text);
