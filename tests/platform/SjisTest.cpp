#include "platform/Sjis.h"

#include <gtest/gtest.h>

TEST(Sjis, CutsOnlyBetweenCharacters)
{
    // "あい" in Shift_JIS is 82 A0 82 A2; a lone lead byte at the end is one byte.
    const struct {
        std::string_view text;
        std::size_t max;
        std::string_view want;
    } cases[] = {
        {"a\x82\xa0\x82\xa2", 4, "a\x82\xa0"},
        {"a\x82\xa0\x82\xa2", 5, "a\x82\xa0\x82\xa2"},
        {"abc", 2, "ab"},
        {"ab\x82", 3, "ab\x82"},
        {"\x82\x5c" "b", 1, ""}, // 5C looks like a backslash but belongs to the character
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::CutSjis(c.text, c.max), c.want) << c.text << " " << c.max;
    EXPECT_EQ(platform::OneLineValue(std::string("a\r\nb\0c", 6), '?'), "a??b?c");
}
