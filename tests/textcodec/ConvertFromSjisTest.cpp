#include <gtest/gtest.h>

#include "TestSupport.h"
#include "textcodec/ConvertFromSjis.h"
#include "textcodec/ConvertToSjis.h"

using tctest::Hex;

TEST(ConvertFromSjis, DocumentedExamples)
{
    EXPECT_EQ(Hex(ConvertFromSjis("\x82\xA0" "a", KANJI_JIS)), "1B 24 42 24 22 1B 28 42 61");
    EXPECT_EQ(Hex(ConvertFromSjis("\xB1", KANJI_JIS)), "1B 24 42 25 22 1B 28 42");
    // Sound marks stay separate characters.
    EXPECT_EQ(Hex(ConvertFromSjis("\xB6\xDE", KANJI_JIS)), "1B 24 42 25 2B 21 2B 1B 28 42");
    EXPECT_EQ(Hex(ConvertFromSjis("\x82\xA0" "a\xB1", KANJI_EUC)), "A4 A2 61 A5 A2");
    EXPECT_EQ(ConvertFromSjis("\x82\xA0", KANJI_SJIS), "\x82\xA0");
    EXPECT_EQ(ConvertFromSjis("\x82\xA0", 7), "\x82\xA0");
}

TEST(ConvertFromSjis, CharactersWithoutJisCodeBecomeFullWidthSpace)
{
    // User-defined area and IBM extensions have no JIS X 0208 code.
    EXPECT_EQ(Hex(ConvertFromSjis("\xF0\x40", KANJI_JIS)), "1B 24 42 21 21 1B 28 42");
    EXPECT_EQ(Hex(ConvertFromSjis("\xFA\x40", KANJI_EUC)), "A1 A1");
}

TEST(ConvertFromSjis, LoneLeadByteAtTheEndIsASingleByte)
{
    // Nothing is read past the end of the text.
    std::string text("ab\x82", 3);
    EXPECT_EQ(Hex(ConvertFromSjis(text, KANJI_JIS)), "61 62 82");
    EXPECT_EQ(Hex(ConvertFromSjis(text, KANJI_EUC)), "61 62 82");
}

TEST(ConvertFromSjis, LinesStayWholeAndShiftsClose)
{
    std::string jis = ConvertFromSjis("\x93\xFA\x96\x7B\r\n\x8C\xEA", KANJI_JIS);
    EXPECT_EQ(jis, "\x1B$BF|K\\\x1B(B\r\n\x1B$B8l\x1B(B");
}

TEST(ConvertFromSjis, EveryJisX0208PositionRoundTrips)
{
    std::string sjis;
    for (unsigned row = 0x21; row <= 0x7E; ++row)
        for (unsigned cell = 0x21; cell <= 0x7E; ++cell) {
            uint16_t s = JisToSjis(static_cast<uint16_t>(row << 8 | cell));
            sjis += static_cast<char>(s >> 8);
            sjis += static_cast<char>(s & 0xFF);
        }
    for (int code : {KANJI_JIS, KANJI_EUC}) {
        std::string out = ConvertFromSjis(sjis, code);
        std::string back;
        ASSERT_TRUE(ConvertToSjis(back, out, out.size(), code == KANJI_JIS ? TC_JIS7 : TC_EUC));
        EXPECT_EQ(back, sjis) << code;
    }
}
