// The Japanese code arithmetic, the streaming converter both ways, and
// encoded words. Whole-corpus agreement with the peers is in JapanesePeerTest.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "CodecTest.h"
#include "platform/Sjis.h"
#include "textcodec/CodeConverter.h"
#include "textcodec/ConvertFromSjis.h"
#include "textcodec/HeaderWords.h"
#include "textcodec/JapaneseCodes.h"
#include "textcodec/TextCode.h"

using namespace textcodec;

using testutil::Hex;
using tctest::ToSjis;

namespace {

// Every JIS X 0208 position in Shift_JIS.
std::string AllSjisPositions()
{
    std::string sjis;
    for (unsigned row = 0x21; row <= 0x7E; ++row)
        for (unsigned cell = 0x21; cell <= 0x7E; ++cell) {
            const uint16_t jis = static_cast<uint16_t>(row << 8 | cell);
            const uint16_t s = JisToSjis(jis);
            EXPECT_TRUE(platform::IsSjisLeadByte(s >> 8) && SjisToJis(s) == jis) << std::hex << jis;
            sjis += static_cast<char>(s >> 8);
            sjis += static_cast<char>(s & 0xFF);
        }
    return sjis;
}

// A whole conversion through one converter, fed and drained in the given chunk sizes.
std::string Stream(std::string_view in, int from, int to, size_t putChunk, size_t getChunk, bool keepKana = true,
                   bool compose = false)
{
    CodeConverter cv;
    EXPECT_EQ(cv.Init(in.size() + 8), 0);
    EXPECT_EQ(cv.SetCode(from, to), 0);
    cv.KeepHalfKana(keepKana);
    cv.ComposeMarks(compose);
    std::string out, buf(getChunk, '\0');
    auto drain = [&] {
        for (size_t got; (got = cv.Get(buf.data(), buf.size())) > 0;)
            out.append(buf.data(), got);
    };
    for (size_t i = 0; i < in.size(); i += putChunk) {
        EXPECT_EQ(cv.Put(in.data() + i, std::min(putChunk, in.size() - i)), 0);
        drain();
    }
    EXPECT_EQ(cv.EndInput(), 0);
    drain();
    std::string rest(in.size() + 16, '\0');
    out.append(rest.data(), cv.GetRest(rest.data(), rest.size()));
    cv.Term();
    return out;
}

} // namespace

TEST(JapaneseCodes, ArithmeticIsExactAndLeavesOtherValuesAlone)
{
    AllSjisPositions();
    EXPECT_EQ(JisToSjis(0x2422), 0x82A0);
    EXPECT_EQ(SjisToJis(0x889F), 0x3021); // 亜
    for (uint16_t v : {0x2120, 0x217F, 0x7F21, 0x0041, 0x2100})
        EXPECT_EQ(JisToSjis(v), v);
    for (uint16_t v : {0x8120, 0x817F, 0x81FD, 0x9FFD, 0xA040, 0xE03F, 0xF040, 0xFA40})
        EXPECT_EQ(SjisToJis(v), v) << std::hex << v;
    EXPECT_NE(SjisToJis(0xE040), 0xE040);
    EXPECT_NE(SjisToJis(0x9FFC), 0x9FFC);
    // Widening of 0xA1-0xDF is compared with Python's NFKC in JapanesePeerTest.
    EXPECT_EQ(WidenHalfKana(0xA0), 0x0020);
    EXPECT_EQ(WidenHalfKana(0x9F), 0x9F);
    EXPECT_EQ(WidenHalfKana(0xE0), 0xE0);
}

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
        {"\x82\xA0", static_cast<KanjiCode>(7), "\x82\xA0"},
        // No JIS X 0208 code (user area, IBM extensions): full-width space.
        {"\xF0\x40", KanjiCode::Jis, "\x1B$B!!\x1B(B"},
        {"\xFA\x40", KanjiCode::Euc, "\xA1\xA1"},
        // An escaped character (a high and a low user-area code): GETA MARK.
        {"\xF0\x41\xF5\x40", KanjiCode::Jis, "\x1B$B\".\x1B(B"},
        {"a\xF0\x41\xF5\x40\xF0\x40", KanjiCode::Sjis, "a\x81\xAC\xF0\x40"},
        // A lone lead byte at the end; nothing is read past it.
        {"ab\x82", KanjiCode::Jis, "ab\x82"},
        // Every line closes its shift.
        {"\x93\xFA\x96\x7B\r\n\x8C\xEA", KanjiCode::Jis, "\x1B$BF|K\\\x1B(B\r\n\x1B$B8l\x1B(B"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hex(ConvertFromSjis(c.in, c.code)), Hex(c.out)) << Hex(c.in) << " code " << static_cast<int>(c.code);
    const std::string sjis = AllSjisPositions();
    EXPECT_EQ(ToSjis(ConvertFromSjis(sjis, KanjiCode::Jis), TC_JIS7), sjis);
    EXPECT_EQ(ToSjis(ConvertFromSjis(sjis, KanjiCode::Euc), TC_EUC), sjis);
}

TEST(ConvertToSjis, Forms)
{
    const struct {
        std::string in;
        int code;
        std::string out;
    } cases[] = {
        {"\x1B$B\x24\x22\x1B(B", TC_AUTO_SJIS, "\x82\xA0"},
        {"plain ASCII text\r\n", TC_AUTO, "plain ASCII text\r\n"},
        {"\xA4\xA2", TC_AUTO, "\x82\xA0"},
        {"\xA4\xA2", TC_AUTO_SJIS, "\xA4\xA2"},
        {"a\x1B(Qb", TC_AUTO_SJIS, "a\x1B(Qb"},
        {"\x1B(I\x31", TC_AUTO_SJIS, "\xB1"},
        // A lead byte without its second byte is a geta mark, and never
        // takes the ASCII or the line end after it into a character.
        {"a\x82", TC_SJIS, "a\x81\xAC"},
        {"\x82 a", TC_SJIS, "\x81\xAC a"},
        {"a\x81/.pwn\n", TC_SJIS, "a\x81\xAC/.pwn\n"},
        {"a\x81/.pwn\n", TC_AUTO_SJIS, "a\x81\xAC/.pwn\n"},
        {"\x93\xFA\x82\r\n\x82\xA0", TC_SJIS, "\x93\xFA\x81\xAC\r\n\x82\xA0"},
        {"\xC6\xFC\xA4 x", TC_EUC, "\x93\xFA\x81\xAC x"},
        // An ESC cut short, a JIS byte without its pair: returned unchanged.
        {"a\x1B$", TC_AUTO, "a\x1B$"},
        {"\x1B$B\x24", TC_AUTO, "\x24"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hex(ToSjis(c.in, c.code)), Hex(c.out)) << Hex(c.in) << " code " << c.code;

    // The output is bounded by the size given; a failure leaves it alone.
    std::string out = "old";
    EXPECT_FALSE(ConvertToSjis(out, "0123456789", 9, TC_AUTO_SJIS));
    EXPECT_EQ(out, "old");
    EXPECT_FALSE(ConvertToSjis(out, "abc", 3, 99));
    // Far beyond 64 KiB: no narrow count cuts it.
    std::string jis, sjis;
    for (int i = 0; i < 30000; ++i) {
        jis += "\x1B$B\x24\x22\x24\x24\x1B(Bline\r\n";
        sjis += "\x82\xA0\x82\xA2line\r\n";
    }
    ASSERT_TRUE(ConvertToSjis(out, jis, jis.size(), TC_AUTO_SJIS));
    EXPECT_EQ(out, sjis);
}

// Headers' ISO-2022-JP takes a shorter road; it must arrive where the converter does.
TEST(LineToSjis, JisReadsAsTheConverterReads)
{
    const std::string sjis = AllSjisPositions();
    std::string jis = "a\x1B$B";
    for (size_t i = 0; i < sjis.size(); i += 2) {
        const uint16_t code = SjisToJis(static_cast<uint16_t>(static_cast<uint8_t>(sjis[i]) << 8 |
                                                              static_cast<uint8_t>(sjis[i + 1])));
        jis += static_cast<char>(code >> 8);
        jis += static_cast<char>(code & 0xFF);
    }
    jis += "\x1B(Bz";
    EXPECT_EQ(LineToSjis(jis, TextCode::Jis), "a" + sjis + "z");

    const char* pieces[] = {"\x1B$B", "\x1B$@", "\x1B(B", "\x1B(J", "\x1B(I", "\x1B", "$B", "\x24\x22",
                            "\x30\x21", "\x7E\x7E", "\x21", "\x7F", " ", "\t", "\x0E", "\xB1", "ab", "\r\n"};
    std::mt19937 rng(7);
    for (int round = 0; round < 20000; ++round) {
        std::string line = "\x1B$B";
        for (int k = std::uniform_int_distribution<int>(0, 8)(rng); k > 0; --k)
            line += pieces[std::uniform_int_distribution<size_t>(0, std::size(pieces) - 1)(rng)];
        ASSERT_EQ(Hex(LineToSjis(line, DetectTextCode(line))), Hex(ToSjis(line, TC_AUTO_SJIS))) << Hex(line);
    }
}

TEST(CodeConverter, DetectionOutcomes)
{
    // Invalid bytes too: the put succeeds; the guess is that of the starting state.
    const struct {
        int code;
        const char* text;
        int input, error;
    } cases[] = {
        {TC_AUTO, "\xA4\xA2", TC_EUC, 0},
        {TC_AUTO, "\x82\xA0\x82\xA2", TC_SJIS, 0},
        {TC_AUTO_SJIS, "\xA4\xA2", TC_SJIS, TC_ERR_BADCODE},
        {TC_AUTO, "abc", TC_JIS7, 0},
        {TC_AUTO_SJIS, "abc", TC_SJIS, 0},
        {TC_AUTO_EUC, "abc", TC_EUC, 0},
    };
    for (const auto& c : cases) {
        CodeConverter cv;
        ASSERT_EQ(cv.Init(64), 0);
        ASSERT_EQ(cv.SetCode(c.code, TC_SJIS), 0);
        EXPECT_EQ(cv.Put(c.text, std::strlen(c.text)), 0) << Hex(c.text);
        EXPECT_EQ(cv.Error(), c.error) << Hex(c.text);
        cv.EndInput();
        EXPECT_EQ(cv.InputCode(), c.input) << Hex(c.text) << " code " << c.code;
    }
}

TEST(CodeConverter, ErrorsOfTheStreamingInterface)
{
    CodeConverter cv;
    EXPECT_EQ(cv.Init(3), -1);
    EXPECT_EQ(cv.Error(), TC_ERR_INVALID);

    ASSERT_EQ(cv.Init(8), 0);
    EXPECT_EQ(cv.Put("x", 1), -1); // no work buffer yet
    EXPECT_EQ(cv.Error(), TC_ERR_MODE);
    EXPECT_EQ(cv.SetCode(TC_AUTO, TC_AUTO), -1);
    EXPECT_EQ(cv.Error(), TC_ERR_INVALID);
    EXPECT_EQ(cv.SetCode(6, TC_SJIS), -1);
    ASSERT_EQ(cv.SetCode(TC_SJIS, TC_EUC), 0);
    EXPECT_EQ(cv.Put(nullptr, 1), -1);
    EXPECT_EQ(cv.Error(), TC_ERR_INVALID);
    EXPECT_EQ(cv.Put("123456789", 9), -1);
    EXPECT_EQ(cv.Error(), TC_ERR_OVERFLOW);
    EXPECT_EQ(cv.Put("12345678", 8), 0);
    // Too much for the buffer is refused in place too.
    ASSERT_EQ(cv.Init(4), 0);
    ASSERT_EQ(cv.SetCode(TC_SJIS, TC_SJIS), 0);
    EXPECT_EQ(cv.PutView("12345", 5), -1);
    EXPECT_EQ(cv.Error(), TC_ERR_OVERFLOW);

    // Staged bytes that do not fit: tcGet writes nothing, tcGetRest fails with 515.
    ASSERT_EQ(cv.Init(8), 0);
    ASSERT_EQ(cv.SetCode(TC_SJIS, TC_JIS7), 0);
    ASSERT_EQ(cv.Put("\x82\xA0", 2), 0);
    char out[8];
    EXPECT_EQ(cv.Get(out, 2), 0u);
    EXPECT_EQ(cv.GetRest(out, 2), 0u);
    EXPECT_EQ(cv.Error(), TC_ERR_AREA);
    EXPECT_EQ(cv.Get(out, 8), 5u);
    EXPECT_EQ(std::string(out, 5), "\x1B$B\x24\x22");

    // The classic interface refuses work once terminated.
    CodeConverter classic;
    ASSERT_EQ(tcInit(classic, 32), 0);
    tcTerm(classic);
    EXPECT_EQ(tcPut(classic, "x", 1), -1);
    EXPECT_EQ(tcError(classic), TC_ERR_MODE);
}

TEST(CodeConverter, Writers)
{
    const std::string sjis = "A\x82\xA0\xB1Z"; // A, あ, half-width ｱ, Z
    const struct {
        std::string in;
        int from, to;
        bool keepKana, compose;
        const char* out;
    } cases[] = {
        {sjis, TC_SJIS, TC_EUC, true, false, "41 A4 A2 8E B1 5A"},
        {sjis, TC_SJIS, TC_JIS, true, false, "41 1B 24 42 24 22 1B 28 42 B1 5A"},
        {sjis, TC_SJIS, TC_JIS7, true, false, "41 1B 24 42 24 22 1B 28 42 0E 31 0F 5A"},
        // No closing ESC ( B when the text ends in double-byte shift.
        {"\x82\xA0", TC_SJIS, TC_JIS7, true, false, "1B 24 42 24 22"},
        // Widening and composition of half-width kana.
        {"\xB6\xDE\xCA\xDF\xB1", TC_SJIS, TC_SJIS, false, false, "83 4A 81 4A 83 6E 81 4B 83 41"},
        {"\xB6\xDE\xCA\xDF\xB1\xB6", TC_SJIS, TC_SJIS, false, true, "83 4B 83 70 83 41 83 4A"},
        // SO/SI kana in 7-bit input.
        {"a\x0E\x31\x32\x0F" "b", TC_JIS7, TC_SJIS, true, false, "61 B1 B2 62"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hex(Stream(c.in, c.from, c.to, 64, 64, c.keepKana, c.compose)), c.out) << Hex(c.in);
}

TEST(CodeConverter, ChunkedStreamingMatchesOneShot)
{
    const std::string texts[] = {
        "\x1B$B\x46\x7C\x4B\x5C\x38\x6C\x1B(B text \x1B(I\x31\x32\x1B(B end\r\n",
        "\xC6\xFC\xCB\xDC\xB8\xEC EUC \x8E\xB1 kana\r\n",
        "\x93\xFA\x96\x7B\x8C\xEA SJIS \xB1 kana\r\n",
        "plain\x1B(Qodd\x1B",
    };
    std::mt19937 gen(7);
    for (const auto& t : texts)
        for (int code : {TC_AUTO, TC_AUTO_SJIS, TC_AUTO_EUC})
            for (int to : {TC_SJIS, TC_EUC, TC_JIS, TC_JIS7}) {
                const std::string whole = Stream(t, code, to, t.size(), t.size() * 4 + 16);
                // Decisions taken early in small puts may differ from one-shot
                // detection; the drain size never changes the result.
                for (int round = 0; round < 8; ++round) {
                    const size_t getChunk = 12 + gen() % 7; // room for the longest staged write
                    EXPECT_EQ(Stream(t, code, to, t.size(), getChunk), whole)
                        << Hex(t) << " code " << code << " to " << to << " get " << getChunk;
                }
            }
    // With a concrete input code the put size does not matter either.
    for (const auto& [t, code] : {std::pair{texts[0], TC_JIS}, {texts[1], TC_EUC}, {texts[2], TC_SJIS}}) {
        const std::string whole = Stream(t, code, TC_JIS7, t.size(), 64);
        for (size_t put = 1; put < 6; ++put)
            EXPECT_EQ(Stream(t, code, TC_JIS7, put, 12 + put % 3), whole) << put;
    }
}

TEST(CodeConverter, InputUsedInPlaceThenMoreInput)
{
    // The first bytes are converted where they are; a later put copies what
    // is left of them before adding its own.
    std::string first = "\x1B$B\x24\x22\x24\x24\x24\x26\x1B(B abc \x1B$B\x24";
    const std::string second = "\x28\x1B(B end";
    CodeConverter cv;
    ASSERT_EQ(cv.Init(first.size() + second.size()), 0);
    ASSERT_EQ(cv.SetCode(TC_JIS, TC_SJIS), 0);
    cv.KeepHalfKana(true);
    ASSERT_EQ(cv.PutView(first.data(), first.size()), 0);
    char out[64];
    size_t n = cv.Get(out, 3); // part of it only
    ASSERT_EQ(cv.Put(second.data(), second.size()), 0);
    first.assign(first.size(), 'x'); // the put copied what it still needed
    n += cv.Get(out + n, sizeof out - n);
    n += cv.GetRest(out + n, sizeof out - n);
    EXPECT_EQ(Hex(std::string(out, n)), Hex("\x82\xA0\x82\xA2\x82\xA4 abc \x82\xA6 end"));
}

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

TEST(MimeHeaderEncode, ShortAndPlainValues)
{
    const std::string longAscii(300, 'a');
    const std::pair<std::string, std::string> cases[] = {
        {"\x1B$B\x24\x22\x1B(B", "=?ISO-2022-JP?B?GyRCJCIbKEI=?="},
        {longAscii, longAscii},
        {"a\x1B(Bb", "ab"}, // a shift out of a run that never began is no text
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(MimeHeaderEncode(in), out) << Hex(in);
}

TEST(MimeHeaderEncode, LongRunsSplitIntoWordsThatDecodeBack)
{
    std::string sjis;
    for (int i = 0; i < 40; ++i)
        sjis += "\x82\xA0"; // あ
    const std::string enc = MimeHeaderEncode(ConvertFromSjis(sjis, KanjiCode::Jis));
    std::vector<std::string> words;
    for (size_t pos = 0, fold;; pos = fold + 3) {
        fold = enc.find("\r\n ", pos);
        words.push_back(enc.substr(pos, fold == std::string::npos ? fold : fold - pos));
        if (fold == std::string::npos)
            break;
    }
    ASSERT_GT(words.size(), 1u);
    // Every word stands alone: it starts in JIS X 0208, ends in ASCII, and
    // the words together give the text back.
    std::string joined;
    for (const auto& w : words) {
        EXPECT_TRUE(w.starts_with("=?ISO-2022-JP?B?GyRC") && w.size() <= 75u) << w;
        const std::string jis = MimeHeaderDecode(w);
        EXPECT_TRUE(jis.ends_with("\x1B(B")) << w;
        joined += jis;
    }
    std::string back;
    ASSERT_TRUE(ConvertToSjis(back, joined, joined.size() * 2, TC_JIS));
    EXPECT_EQ(back, sjis);
}
