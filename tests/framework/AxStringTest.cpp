#include "framework/AxString.h"

#include <gtest/gtest.h>

TEST(AxToWideString, ConvertsShiftJis) {
    EXPECT_EQ(AxToWideString("Vorlan Moto", 932), u"Vorlan Moto");
    // "エラー" in Shift-JIS.
    const std::string error = "\x83\x47\x83\x89\x81\x5b";
    EXPECT_EQ(AxToWideString(error, 932), u"エラー");
}

TEST(AxToWideString, EmptyAndBrokenInputGiveEmpty) {
    EXPECT_EQ(AxToWideString("", 932), u"");
    EXPECT_EQ(AxToWideString("\x83", 932), u"");  // a lead byte with no trail byte
    EXPECT_EQ(AxToWideString("abc", 12345), u"");  // no such code page
    // Embedded zero bytes are converted by length, not cut.
    EXPECT_EQ(AxToWideString(std::string("a\0b", 3), 932), std::u16string(u"a\0b", 3));
}
