// The conversion against Windows' own, byte for byte.
#include <gtest/gtest.h>
#include <windows.h>

#include "data/text_encoding.h"

namespace {

TEST(Windows1252ToUtf8, AgreesWithTheSystemForEveryByte)
{
    for (int b = 1; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        WCHAR wide[4] = {};
        ASSERT_EQ(MultiByteToWideChar(1252, 0, &byte, 1, wide, 4), 1) << b;
        char utf8[8] = {};
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide, 1, utf8, sizeof utf8, nullptr, nullptr);
        EXPECT_EQ(Windows1252ToUtf8(std::string_view(&byte, 1)), std::string(utf8, n)) << "byte " << b;
    }
}

} // namespace
