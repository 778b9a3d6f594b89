// Texture names converted from the game's code page.
#include <gtest/gtest.h>

#include "data/text_encoding.h"

namespace {

TEST(Windows1252ToUtf8, AsciiPassesAndEveryOtherByteBecomesItsCharacter)
{
    EXPECT_EQ(Windows1252ToUtf8(""), "");
    EXPECT_EQ(Windows1252ToUtf8("GRASS002.BMP"), "GRASS002.BMP");
    EXPECT_EQ(Windows1252ToUtf8("CAF\xC9\xE9.BMP"), "CAF\xC3\x89\xC3\xA9.BMP");
    // Where 1252 differs from Latin-1: the euro sign, quotes, a trade mark, Y with diaeresis.
    EXPECT_EQ(Windows1252ToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(Windows1252ToUtf8("\x91\x94"), "\xE2\x80\x98\xE2\x80\x9D");
    EXPECT_EQ(Windows1252ToUtf8("\x99"), "\xE2\x84\xA2");
    EXPECT_EQ(Windows1252ToUtf8("\x8A\x9F"), "\xC5\xA0\xC5\xB8");
    EXPECT_EQ(Windows1252ToUtf8("\xA0\xFF"), "\xC2\xA0\xC3\xBF");
}

TEST(Windows1252ToUtf8, UndefinedBytesBecomeTheControlsOfTheSameNumber)
{
    EXPECT_EQ(Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
}

} // namespace
