#include <gtest/gtest.h>

#include "platform/Sjis.h"
#include "textcodec/JapaneseCodes.h"

// Widening of 0xA1-0xDF is compared with Python's NFKC in JapanesePeerTest.

TEST(JapaneseCodes, ArithmeticIsExactBothWaysOverAllPositions)
{
    for (unsigned row = 0x21; row <= 0x7E; ++row) {
        for (unsigned cell = 0x21; cell <= 0x7E; ++cell) {
            uint16_t jis = static_cast<uint16_t>(row << 8 | cell);
            uint16_t sjis = JisToSjis(jis);
            ASSERT_TRUE(platform::IsSjisLeadByte(sjis >> 8)) << std::hex << jis;
            ASSERT_EQ(SjisToJis(sjis), jis) << std::hex << jis;
        }
    }
    EXPECT_EQ(JisToSjis(0x2422), 0x82A0);
    EXPECT_EQ(SjisToJis(0x889F), 0x3021); // 亜
}

TEST(JapaneseCodes, ValuesOutsideTheRangesAreUnchanged)
{
    for (uint16_t v : {0x2120, 0x217F, 0x7F21, 0x0041, 0x2100})
        EXPECT_EQ(JisToSjis(v), v);
    for (uint16_t v : {0x8120, 0x817F, 0x81FD, 0x9FFD, 0xA040, 0xE03F, 0xF040, 0xFA40})
        EXPECT_EQ(SjisToJis(v), v) << std::hex << v;
    EXPECT_NE(SjisToJis(0xE040), 0xE040);
    EXPECT_NE(SjisToJis(0x9FFC), 0x9FFC);
    EXPECT_EQ(WidenHalfKana(0xA0), 0x0020);
    EXPECT_EQ(WidenHalfKana(0x9F), 0x9F);
    EXPECT_EQ(WidenHalfKana(0xE0), 0xE0);
}
