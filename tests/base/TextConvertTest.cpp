#include "base/TextConvert.h"

#include <gtest/gtest.h>

TEST(TextConvert, EmptyInputGivesEmptyOutput)
{
    EXPECT_EQ(AnsiToWide(""), L"");
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(WideToAnsi(L""), "");
}

TEST(TextConvert, RoundTripsChineseAndAstralText)
{
    const std::string utf8 = "\xE8\xAF\x86\xE5\x88\xAB\xE4\xB8\xAD a/b.mp3 \xF0\x9F\x8E\xB5";  // "识别中 a/b.mp3 🎵"
    const std::wstring wide = AnsiToWide(utf8);
    ASSERT_EQ(wide.size(), 13u);
    EXPECT_EQ(wide[0], L'\x8BC6');
    EXPECT_EQ(static_cast<uint32_t>(wide.back()), 0x1F3B5u);
    EXPECT_EQ(WideToAnsi(wide), utf8);
    EXPECT_EQ(Utf8ToWide(utf8), wide);
}

TEST(TextConvert, InvalidBytesBecomeReplacementCharacters)
{
    // A stray continuation byte, a truncated sequence, an overlong slash, an encoded surrogate.
    EXPECT_EQ(AnsiToWide("a\x80z"), L"a\xFFFDz");
    EXPECT_EQ(AnsiToWide("x\xE8\xAF"), L"x\xFFFD\xFFFD");
    EXPECT_EQ(AnsiToWide("\xC0\xAF"), L"\xFFFD\xFFFD");
    EXPECT_EQ(AnsiToWide("\xED\xA0\x80"), L"\xFFFD\xFFFD\xFFFD");
    EXPECT_EQ(AnsiToWide("\xF4\x90\x80\x80"), L"\xFFFD\xFFFD\xFFFD\xFFFD");  // past U+10FFFF
}

TEST(TextConvert, UnencodableCharactersBecomeQuestionMarks)
{
    std::wstring text = L"a";
    text.push_back(static_cast<wchar_t>(0xD800));
    text.push_back(static_cast<wchar_t>(0x110000));
    text.push_back(L'b');
    EXPECT_EQ(WideToAnsi(text), "a??b");
}

TEST(TextConvert, StopsAtEmbeddedNul)
{
    EXPECT_EQ(AnsiToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(WideToAnsi(std::wstring(L"ab\0cd", 5)), "ab");
}
