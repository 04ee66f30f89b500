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

TEST(TextConvert, ValidUtf8IsTheRoundTripThroughWideText)
{
    const std::string cases[] = {
        "",
        "plain ascii",
        "\xE8\xAF\x86\xE5\x88\xAB\xE4\xB8\xAD \xF0\x9F\x8E\xB5",
        "a\x80z",
        "x\xE8\xAF",
        "\xC0\xAF",
        "\xED\xA0\x80",
        "\xF4\x90\x80\x80",
        "\xFF\xFE binary",
        std::string("ab\0cd", 5),
        std::string("\x80\0\x80", 3),
    };
    for (const std::string& text : cases)
        EXPECT_EQ(ValidUtf8(text), WideToAnsi(AnsiToWide(text))) << testing::PrintToString(text);
    EXPECT_EQ(ValidUtf8("a\x80z"), "a\xEF\xBF\xBDz");
}

TEST(TextConvert, SameTextIgnoringCaseComparesCharacters)
{
    EXPECT_TRUE(SameTextIgnoringCase("UpdateUrl", "updateURL"));
    EXPECT_TRUE(SameTextIgnoringCase("", ""));
    EXPECT_FALSE(SameTextIgnoringCase("Debug", "Debugs"));
    EXPECT_FALSE(SameTextIgnoringCase("", "a"));
    EXPECT_TRUE(SameTextIgnoringCase("\xE8\xAF\x86", "\xE8\xAF\x86"));
    EXPECT_FALSE(SameTextIgnoringCase("\xE8\xAF\x86", "\xE8\xAF\x87"));
    // Ill-formed bytes are all U+FFFD, and a NUL ends a text, as when reading them wide.
    EXPECT_TRUE(SameTextIgnoringCase("a\x80", "a\xFF"));
    EXPECT_TRUE(SameTextIgnoringCase("a\x80", "a\xEF\xBF\xBD"));
    EXPECT_TRUE(SameTextIgnoringCase(std::string("ab\0cd", 5), "AB"));
}
