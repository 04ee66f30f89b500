#include "base/TextUtils.h"

#include <gtest/gtest.h>

using TextUtils::CutString;
using TextUtils::FormatDuration;
using TextUtils::Md5Hex;

TEST(FormatDuration, Table)
{
    const std::pair<int, const char*> cases[] = {
        {0, "00:00"},        {59, "00:59"},       {61, "01:01"},        {3599, "59:59"},
        {3600, "01:00:00"},  {86399, "23:59:59"}, {360000, "100:00:00"}, {3661, "01:01:01"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(FormatDuration(seconds), text) << seconds;
}

TEST(CutString, TheThreeFormsTheCallersUse)
{
    EXPECT_EQ(CutString(L"/home/u/a/b.mp3", L"/", true, false, false), L"b.mp3");
    EXPECT_EQ(CutString(L"/home/u/a/b.mp3", L".", true, false, true), L".mp3");
    EXPECT_EQ(CutString(L"b.tar.mp3", L".", true, true, false), L"b.tar");
}

TEST(CutString, FirstOccurrenceAndMissingSeparator)
{
    EXPECT_EQ(CutString(L"a.b.c", L".", false, true, false), L"a");
    EXPECT_EQ(CutString(L"a.b.c", L".", false, false, false), L"b.c");
    EXPECT_EQ(CutString(L"a.b.c", L".", false, false, true), L".b.c");
    EXPECT_EQ(CutString(L"noext", L".", true, false, true), L"noext");
    EXPECT_EQ(CutString(L"noext", L".", true, true, false), L"noext");
    EXPECT_EQ(CutString(L"", L".", true, true, false), L"");
    // keepBefore never includes the separator, whatever includeSeparator says.
    EXPECT_EQ(CutString(L"x.y", L".", true, true, true), L"x");
    EXPECT_EQ(CutString(L"trailing.", L".", true, false, false), L"");
}

TEST(Md5Hex, Rfc1321TestSuite)
{
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"), "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Hex, EmptyTextGivesEmptyStringAndDigestsAreStable)
{
    EXPECT_EQ(Md5Hex(""), "");
    EXPECT_EQ(Md5Hex("/tmp/a b/\xE9\x9F\xB3.wav"), Md5Hex("/tmp/a b/\xE9\x9F\xB3.wav"));
    EXPECT_EQ(Md5Hex(std::string("a\0b", 3)).size(), 32u);
    EXPECT_NE(Md5Hex(std::string("a\0b", 3)), Md5Hex("a"));
}

TEST(Utf8CharactersLength, CountsCharactersNotBytes)
{
    const std::string text = "a\xE8\xAF\x86\xF0\x9F\x8E\xB5z";  // "a识🎵z"
    EXPECT_EQ(TextUtils::Utf8CharactersLength(text, 0), 0u);
    EXPECT_EQ(TextUtils::Utf8CharactersLength(text, 1), 1u);
    EXPECT_EQ(TextUtils::Utf8CharactersLength(text, 2), 4u);
    EXPECT_EQ(TextUtils::Utf8CharactersLength(text, 3), 8u);
    EXPECT_EQ(TextUtils::Utf8CharactersLength(text, 4), text.size());
    EXPECT_EQ(TextUtils::Utf8CharactersLength(text, 50), text.size());
    EXPECT_EQ(TextUtils::Utf8CharactersLength("", 3), 0u);
}
