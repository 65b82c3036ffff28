#include <gtest/gtest.h>

#include "TestSupport.h"
#include "textcodec/ConvertFromSjis.h"
#include "textcodec/ConvertToSjis.h"

using tctest::Hex;

TEST(ConvertFromSjis, Forms)
{
    const struct {
        std::string in;
        KanjiCode code;
        std::string out;
    } cases[] = {
        {"\x82\xA0" "a", KanjiCode::Jis, "\x1B$B$\"\x1B(Ba"},
        {"\xB1", KanjiCode::Jis, "\x1B$B%\"\x1B(B"},
        {"\xB6\xDE", KanjiCode::Jis, "\x1B$B%+!+\x1B(B"}, // sound marks stay separate
        {"\x82\xA0" "a\xB1", KanjiCode::Euc, "\xA4\xA2" "a\xA5\xA2"},
        {"\x82\xA0", KanjiCode::Sjis, "\x82\xA0"},
        {"\x82\xA0", static_cast<KanjiCode>(7), "\x82\xA0"},
        // No JIS X 0208 code (user area, IBM extensions): full-width space.
        {"\xF0\x40", KanjiCode::Jis, "\x1B$B!!\x1B(B"},
        {"\xFA\x40", KanjiCode::Euc, "\xA1\xA1"},
        // A lone lead byte at the end; nothing is read past it.
        {"ab\x82", KanjiCode::Jis, "ab\x82"},
        {"ab\x82", KanjiCode::Euc, "ab\x82"},
        // Every line closes its shift.
        {"\x93\xFA\x96\x7B\r\n\x8C\xEA", KanjiCode::Jis, "\x1B$BF|K\\\x1B(B\r\n\x1B$B8l\x1B(B"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hex(ConvertFromSjis(c.in, c.code)), Hex(c.out)) << Hex(c.in) << " code " << static_cast<int>(c.code);
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
    for (KanjiCode code : {KanjiCode::Jis, KanjiCode::Euc}) {
        std::string out = ConvertFromSjis(sjis, code);
        EXPECT_EQ(tctest::ToSjis(out, code == KanjiCode::Jis ? TC_JIS7 : TC_EUC), sjis) << static_cast<int>(code);
    }
}
