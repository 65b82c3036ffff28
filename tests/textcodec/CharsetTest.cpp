// Header words and texts in charsets other than the Japanese legacy ones.
// The expected header texts are what Python's email package decodes.
#include "textcodec/Charsets.h"
#include "textcodec/ConvertFromSjis.h"
#include "textcodec/HeaderWords.h"

#include <gtest/gtest.h>


using namespace textcodec;

TEST(DecodeHeaderToSjis, AnyCharsetAndSplitWords)
{
    const std::pair<std::string, std::string> cases[] = {
        {"=?UTF-8?B?5pel5pys?= =?UTF-8?B?6Kqe?=", "日本語"},
        {"=?UTF-8?Q?=E6=97?=\r\n =?UTF-8?Q?=A5?=", "日"}, // one character split between words
        {"=?utf-8?q?M=C3=BCller_und?= Co", "Müller und Co"},
        {"=?ISO-8859-1?Q?J=FCrgen?= =?ISO-8859-15?Q?=A4?=", "Jürgen€"},
        {"=?KOI8-R?B?8NLJ18XU?=", "Привет"},
        {"=?GB2312?B?1tDOxA==?= =?Big5?B?pKSk5Q==?=", "中文中文"},
        {"=?EUC-KR?B?x9Gx27jm?=", "한글멩"},
        {"=?x-sjis?B?k/qWe4zq?= =?EUC-JP?B?xvzL3Ljs?=", "日本語日本語"},
        {"Re: =?UTF-8?B?8J+YgA==?= a =?ISO-2022-JP?B?GyRCJCIbKEI=?=", "Re: 😀 a あ"},
        {"=?UTF-8?B?5pel5pys6Kqe?=", "日本語"}, // no pad
        // Unknown charsets and unfinished words stay as they are.
        {"=?x-unknown?Q?abc?= =?UTF-8?Q?abc", "=?x-unknown?Q?abc?= =?UTF-8?Q?abc"},
        {"=?UTF-8?B?/w==?=", "〓"},
        {"Grüße 한국어 😀 =?UTF-8?B?5pel?=", "Grüße 한국어 😀 日"}, // raw 8-bit UTF-8
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(SjisToUtf8(DecodeHeaderToSjis(in)), out) << in;
}

// Decoded in well under a second; a search that restarted on every word
// would run for minutes and hit the test's time-out. The speed itself is
// measured by the benchmark.
TEST(DecodeHeaderToSjis, ManyWordsAreDecodedInOnePass)
{
    std::string value, broken;
    for (int i = 0; i < 200000; ++i) {
        value += "=?ISO-2022-JP?Q?ab?= ";
        broken += "=?x?Q?";
    }
    EXPECT_EQ(MimeHeaderDecode(value).size(), 600000u);
    // The blanks between the words go (RFC 2047), the last one stays.
    EXPECT_EQ(DecodeHeaderToSjis(value + broken).size(), 400001u + broken.size());
}

TEST(Utf8ToSjis, CharactersOutsideCp932SurviveTheRoundTrip)
{
    const std::string kept[] = {"日本語 ｶﾅ ΑΩ Жж ①", "Müller 한국어 𠮷 😀 \xEE\x80\x80", "～"};
    for (const auto& text : kept)
        EXPECT_EQ(ConvertFromSjis(Utf8ToSjis(text), KanjiCode::Utf8), text);
    // Other converters' forms of the JIS characters map to them.
    EXPECT_EQ(Utf8ToSjis("\xE3\x80\x9C\xE2\x88\x92"), "\x81\x60\x81\x7C");
    // Invalid bytes, lone halves of an escape and code points past its range.
    EXPECT_EQ(SjisToUtf8(Utf8ToSjis("a\xC3\x28\xF0\x9F")), "a〓(〓〓");
    EXPECT_EQ(SjisToUtf8("\xF0\x40x\xF9\xFC"), "〓x〓");
    EXPECT_EQ(SjisToUtf8(Utf8ToSjis("\xF3\xA0\x84\x80")), "〓");
    EXPECT_EQ(CanonicalCharset(" \"Windows-31J\" "), "SHIFT_JIS");
    EXPECT_EQ(CanonicalCharset("utf-8*en"), "UTF-8");
    EXPECT_EQ(CanonicalCharset("no-such-set"), "");
}

TEST(EncodeUtf8HeaderWords, WholeCharactersInShortWordsThatDecodeBack)
{
    const std::string values[] = {"Subject: Re: " + std::string(30, 'x') + " 日本語のテスト😀、とても長い件名 (long) end",
                                  "From: Müller  <m@x.de>", "Subject: plain  =?ascii?= text"};
    for (const auto& value : values) {
        std::string enc = EncodeUtf8HeaderWords(value);
        for (size_t at = 0, end; at < enc.size(); at = end + 1) {
            end = std::min(enc.find(' ', at), enc.size());
            EXPECT_LE(end - at, 75u) << enc;
        }
        for (size_t at; (at = enc.find("\r\n")) != std::string::npos;)
            enc.erase(at, 2);
        EXPECT_EQ(SjisToUtf8(DecodeHeaderToSjis(enc)), value) << enc;
    }
}
