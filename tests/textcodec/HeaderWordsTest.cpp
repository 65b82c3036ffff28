#include <gtest/gtest.h>

#include "TestSupport.h"
#include "textcodec/ConvertFromSjis.h"
#include "textcodec/HeaderWords.h"

using tctest::Hex;

TEST(MimeHeaderDecode, Forms)
{
    const std::string pad(700, 'x');
    const std::string unfinished = "a =?ISO-2022-JP?B?YWI=?= b =?ISO-2022-JP?B?YWJj";
    const std::pair<std::string, std::string> cases[] = {
        {"=?iso-2022-jp?B?GyRCJCIbKEI=?=", "\x1B$B$\"\x1B(B"},
        {"Re: =?ISO-2022-JP?B?GyRCJCIbKEI=?= x", "Re: \x1B$B$\"\x1B(B x"},
        // Text between words, folding included, is kept.
        {"=?ISO-2022-JP?B?YWI=?=\r\n\t=?ISO-2022-JP?B?Y2Q=?=", "ab\r\n\tcd"},
        // Pads and characters outside the alphabet drop the bytes built from them.
        {"=?ISO-2022-JP?B?YQ==?=", "a"},
        {"=?ISO-2022-JP?B?YWJjZA?=", "abc"}, // cut to a multiple of 4
        {"", ""},
        {"plain", "plain"},
        {unfinished, unfinished},
        {pad + " =?ISO-2022-JP?B?YWI=?=", pad + " ab"},
        // Q words follow RFC 2047; bad or cut escapes are kept, nothing read past the end.
        {"=?ISO-2022-JP?Q?a_b=3D=1b?= tail", "a b=\x1B tail"},
        {"=?ISO-2022-JP?Q?=e9?=", "\xE9"},
        {"=?ISO-2022-JP?Q?=G1=4", "=G1=4"},
        {"=?ISO-2022-JP?Q?x=", "x="},
        {"=?ISO-2022-JP?Q?a?= =?ISO-2022-JP?B?Yg==?=", "a b"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(Hex(MimeHeaderDecode(in)), Hex(out)) << in;
}

TEST(MimeHeaderEncode, DocumentedExamples)
{
    EXPECT_EQ(MimeHeaderEncode("plain ASCII"), "plain ASCII");
    std::string w = MimeHeaderEncode("\x1B$B\x24\x22\x1B(B");
    EXPECT_EQ(w, "=?ISO-2022-JP?B?GyRCJCIbKEI=?=");
    EXPECT_EQ(w.size(), 30u);
    std::string longAscii(300, 'a');
    EXPECT_EQ(MimeHeaderEncode(longAscii), longAscii);
    // A shift out of a run that never began is plain text.
    EXPECT_EQ(MimeHeaderEncode("a\x1B(Bb"), "a\x1B(Bb");
}

TEST(MimeHeaderEncode, LongRunsSplitIntoWords)
{
    std::string sjis;
    for (int i = 0; i < 40; ++i)
        sjis += "\x82\xA0"; // あ
    std::string enc = MimeHeaderEncode(ConvertFromSjis(sjis, KanjiCode::Jis));
    std::vector<std::string> words;
    size_t pos = 0;
    for (;;) {
        size_t fold = enc.find("\r\n\t", pos);
        words.push_back(enc.substr(pos, fold == std::string::npos ? std::string::npos : fold - pos));
        if (fold == std::string::npos)
            break;
        pos = fold + 3;
    }
    ASSERT_GT(words.size(), 2u);
    for (size_t i = 0; i < words.size(); ++i) {
        EXPECT_TRUE(words[i].starts_with("=?ISO-2022-JP?B?GyRC")) << words[i];
        EXPECT_TRUE(words[i].ends_with("?=")) << words[i];
        if (i + 1 < words.size()) {
            EXPECT_TRUE(words[i].ends_with("GyhK?=")) << words[i];
        }
        EXPECT_LE(words[i].size(), 76u);
    }
    // Decoding gives the text back: each join is ESC ( J, the fold, ESC $ B.
    std::string dec = MimeHeaderDecode(enc);
    std::string joined;
    const std::string join = "\x1B(J\r\n\t\x1B$B";
    for (size_t i = 0; i < dec.size(); ++i) {
        if (dec.compare(i, join.size(), join) == 0)
            i += join.size() - 1;
        else
            joined += dec[i];
    }
    EXPECT_EQ(joined, ConvertFromSjis(sjis, KanjiCode::Jis));
}

TEST(MimeHeaderEncode, LongValuesGrowWithoutBound)
{
    std::string sjis;
    for (int i = 0; i < 2000; ++i)
        sjis += "\x8A\xBF"; // 漢
    std::string enc;
    EncodeHeaderWords(enc, ConvertFromSjis(sjis, KanjiCode::Jis));
    EXPECT_GT(enc.size(), 5000u);
    std::string dec;
    DecodeHeaderWords(dec, enc);
    size_t kanji = 0;
    for (size_t i = 0; i + 1 < dec.size(); ++i)
        if (dec.compare(i, 2, "\x34\x41") == 0)
            ++kanji, ++i;
    EXPECT_EQ(kanji, 2000u);
}
