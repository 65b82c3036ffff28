#include <gtest/gtest.h>

#include <random>
#include <string>

#include "TestSupport.h"
#include "textcodec/CodeConverter.h"
#include "textcodec/ConvertToSjis.h"

using tctest::Hex;
using tctest::ToSjis;

namespace {

// Runs a whole conversion through one converter, feeding and draining in
// the given chunk sizes.
std::string Stream(std::string_view in, int from, int to, size_t putChunk, size_t getChunk,
                   bool keepKana = true, bool compose = false, int* error = nullptr)
{
    CodeConverter cv;
    EXPECT_EQ(cv.Init(in.size() + 8), 0);
    EXPECT_EQ(cv.SetCode(from, to), 0);
    cv.KeepHalfKana(keepKana);
    cv.ComposeMarks(compose);
    std::string out;
    std::string buf(getChunk, '\0');
    int lastError = 0;
    for (size_t i = 0; i < in.size(); i += putChunk) {
        size_t n = std::min(putChunk, in.size() - i);
        EXPECT_EQ(cv.Put(in.data() + i, n), 0);
        if (cv.Error())
            lastError = cv.Error();
        size_t got;
        while ((got = cv.Get(buf.data(), buf.size())) > 0)
            out.append(buf.data(), got);
    }
    EXPECT_EQ(cv.EndInput(), 0);
    size_t got;
    while ((got = cv.Get(buf.data(), buf.size())) > 0)
        out.append(buf.data(), got);
    if (cv.Error())
        lastError = cv.Error();
    std::string rest(in.size() + 16, '\0');
    size_t r = cv.GetRest(rest.data(), rest.size());
    out.append(rest.data(), r);
    cv.Term();
    if (error)
        *error = lastError;
    return out;
}

} // namespace

TEST(ConvertToSjis, Forms)
{
    const struct {
        std::string in;
        int code;
        std::string out;
    } cases[] = {
        {"\x1B$B\x24\x22\x1B(B", TC_AUTO_SJIS, "\x82\xA0"},
        {"plain ASCII text\r\n", TC_AUTO_SJIS, "plain ASCII text\r\n"},
        {"plain ASCII text\r\n", TC_AUTO, "plain ASCII text\r\n"},
        {"\xA4\xA2", TC_AUTO, "\x82\xA0"},
        {"\xA4\xA2", TC_AUTO_SJIS, "\xA4\xA2"},
        {"a\x1B(Qb", TC_AUTO_SJIS, "a\x1B(Qb"},
        {"\x1B(I\x31", TC_AUTO_SJIS, "\xB1"},
        // A lead byte at the end, an ESC cut short: returned unchanged.
        {"a\x82", TC_SJIS, "a\x82"},
        {"a\x1B$", TC_AUTO, "a\x1B$"},
        {"\x1B$B\x24", TC_AUTO, "\x24"},
        // A lead byte followed by a byte that cannot follow it shifts the held byte on.
        {"\x82 a", TC_SJIS, "\x82 a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hex(ToSjis(c.in, c.code)), Hex(c.out)) << Hex(c.in) << " code " << c.code;
}

TEST(ConvertToSjis, DetectionOutcomes)
{
    CodeConverter cv;
    ASSERT_EQ(cv.Init(64), 0);
    ASSERT_EQ(cv.SetCode(TC_AUTO, TC_SJIS), 0);
    ASSERT_EQ(cv.Put("\xA4\xA2", 2), 0);
    EXPECT_EQ(cv.DetectionState(), 7);
    EXPECT_EQ(cv.Phase(), 2);
    ASSERT_EQ(cv.EndInput(), 0);
    EXPECT_EQ(cv.InputCode(), TC_EUC);

    // Bytes invalid for Shift_JIS keep the state and report 514; the call succeeds.
    ASSERT_EQ(cv.Init(64), 0);
    ASSERT_EQ(cv.SetCode(TC_AUTO_SJIS, TC_SJIS), 0);
    EXPECT_EQ(cv.Put("\xA4\xA2", 2), 0);
    EXPECT_EQ(cv.Error(), TC_ERR_BADCODE);
    EXPECT_EQ(cv.DetectionState(), 5);

    // A decided state settles the code during the put.
    ASSERT_EQ(cv.Init(64), 0);
    ASSERT_EQ(cv.SetCode(TC_AUTO, TC_SJIS), 0);
    ASSERT_EQ(cv.Put("\x82\xA0\x82\xA2", 4), 0);
    EXPECT_EQ(cv.Phase(), 3);
    EXPECT_EQ(cv.InputCode(), TC_SJIS);

    // Undecided texts take the guess of the starting state.
    for (auto [code, guess] : {std::pair{TC_AUTO, TC_JIS7}, {TC_AUTO_SJIS, TC_SJIS}, {TC_AUTO_EUC, TC_EUC}}) {
        ASSERT_EQ(cv.Init(64), 0);
        ASSERT_EQ(cv.SetCode(code, TC_SJIS), 0);
        ASSERT_EQ(cv.Put("abc", 3), 0);
        ASSERT_EQ(cv.EndInput(), 0);
        EXPECT_EQ(cv.InputCode(), guess) << code;
    }
}

TEST(ConvertToSjis, ErrorsOfTheStreamingInterface)
{
    CodeConverter cv;
    EXPECT_EQ(cv.Init(3), -1);
    EXPECT_EQ(cv.Error(), TC_ERR_INVALID);
    EXPECT_STREQ(tcErrorText(cv.Error()), "invalid argument");

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
    EXPECT_EQ(cv.Put("9", 1), -1);

    // Staged bytes that do not fit: tcGet writes nothing, tcGetRest fails with 515.
    ASSERT_EQ(cv.Init(8), 0);
    ASSERT_EQ(cv.SetCode(TC_SJIS, TC_JIS7), 0);
    ASSERT_EQ(cv.Put("\x82\xA0", 2), 0);
    char out[8];
    EXPECT_EQ(cv.Get(out, 2), 0u);
    EXPECT_EQ(cv.GetRest(out, 2), 0u);
    EXPECT_EQ(cv.Error(), TC_ERR_AREA);
    EXPECT_STREQ(tcErrorText(515), "Area short");
    EXPECT_EQ(cv.Get(out, 8), 5u);
    EXPECT_EQ(std::string(out, 5), "\x1B$B\x24\x22");
}

TEST(ConvertToSjis, OutputIsBoundedBySize)
{
    std::string out = "old";
    EXPECT_FALSE(ConvertToSjis(out, "0123456789", 9, TC_AUTO_SJIS));
    EXPECT_EQ(out, "old");
    EXPECT_FALSE(ConvertToSjis(out, "abc", 3, 99));
    EXPECT_TRUE(ConvertToSjis(out, "", 4, TC_AUTO));
    EXPECT_EQ(out, "");
}

TEST(ConvertToSjis, LongTextConvertsWhole)
{
    // Far beyond 64 KiB: no narrow count cuts it.
    std::string jis, sjis;
    for (int i = 0; i < 30000; ++i) {
        jis += "\x1B$B\x24\x22\x24\x24\x1B(Bline\r\n";
        sjis += "\x82\xA0\x82\xA2line\r\n";
    }
    ASSERT_GT(jis.size(), 300000u);
    std::string out;
    ASSERT_TRUE(ConvertToSjis(out, jis, jis.size(), TC_AUTO_SJIS));
    EXPECT_EQ(out, sjis);
}

TEST(CodeConverter, ChunkedStreamingMatchesOneShot)
{
    std::string texts[] = {
        std::string("\x1B$B\x46\x7C\x4B\x5C\x38\x6C\x1B(B text \x1B(I\x31\x32\x1B(B end\r\n"),
        std::string("\xC6\xFC\xCB\xDC\xB8\xEC EUC \x8E\xB1 kana\r\n"),
        std::string("\x93\xFA\x96\x7B\x8C\xEA SJIS \xB1 kana\r\n"),
        std::string("plain\x1B(Qodd\x1B"),
    };
    std::mt19937 gen(7);
    for (const auto& t : texts) {
        for (int code : {TC_AUTO, TC_AUTO_SJIS, TC_AUTO_EUC}) {
            for (int to : {TC_SJIS, TC_EUC, TC_JIS, TC_JIS7}) {
                std::string whole = Stream(t, code, to, t.size(), t.size() * 4 + 16);
                // Decisions taken early in small puts may differ from one-shot
                // detection; the drain size never changes the result.
                for (int round = 0; round < 8; ++round) {
                    size_t getChunk = 12 + gen() % 7; // room for the longest staged write
                    EXPECT_EQ(Stream(t, code, to, t.size(), getChunk), whole)
                        << Hex(t) << " code " << code << " to " << to << " get " << getChunk;
                }
            }
        }
    }
    // With a concrete input code the put size does not matter either.
    for (const auto& [t, code] : {std::pair{texts[0], TC_JIS}, {texts[1], TC_EUC}, {texts[2], TC_SJIS}}) {
        std::string whole = Stream(t, code, TC_JIS7, t.size(), 64);
        for (size_t put = 1; put < 6; ++put)
            EXPECT_EQ(Stream(t, code, TC_JIS7, put, 12 + put % 3), whole) << put;
    }
}

TEST(CodeConverter, Writers)
{
    const std::string sjis = "A\x82\xA0\xB1Z"; // A, あ, half-width ｱ, Z
    EXPECT_EQ(Hex(Stream(sjis, TC_SJIS, TC_EUC, 64, 64)), "41 A4 A2 8E B1 5A");
    EXPECT_EQ(Hex(Stream(sjis, TC_SJIS, TC_JIS, 64, 64)), "41 1B 24 42 24 22 1B 28 42 B1 5A");
    EXPECT_EQ(Hex(Stream(sjis, TC_SJIS, TC_JIS7, 64, 64)), "41 1B 24 42 24 22 1B 28 42 0E 31 0F 5A");
    // No closing ESC ( B when the text ends in double-byte shift.
    EXPECT_EQ(Hex(Stream("\x82\xA0", TC_SJIS, TC_JIS7, 64, 64)), "1B 24 42 24 22");
    // Widening and composition of half-width kana.
    EXPECT_EQ(Hex(Stream("\xB6\xDE\xCA\xDF\xB1", TC_SJIS, TC_SJIS, 64, 64, false, false)),
              "83 4A 81 4A 83 6E 81 4B 83 41");
    EXPECT_EQ(Hex(Stream("\xB6\xDE\xCA\xDF\xB1\xB6", TC_SJIS, TC_SJIS, 64, 64, false, true)),
              "83 4B 83 70 83 41 83 4A");
    EXPECT_EQ(Hex(Stream("\xB6\xDF", TC_SJIS, TC_SJIS, 64, 64, false, true)), "83 4A 81 4B");
    // SO/SI kana in 7-bit input.
    EXPECT_EQ(Hex(Stream("a\x0E\x31\x32\x0F" "b", TC_JIS7, TC_SJIS, 64, 64)), "61 B1 B2 62");
}

TEST(CodeConverter, ProcessWideInterface)
{
    ASSERT_EQ(tcInit(32), 0);
    ASSERT_EQ(tcSetCode(TC_AUTO_SJIS, TC_SJIS), 0);
    tcKeepHalfKana(1);
    tcComposeMarks(0);
    ASSERT_EQ(tcPut("\x1B$B\x24\x22\x1B(B", 8), 0);
    ASSERT_EQ(tcEndInput(), 0);
    char out[32];
    size_t n = tcGet(out, sizeof out);
    n += tcGetRest(out + n, sizeof out - n);
    EXPECT_EQ(Hex(std::string(out, n)), "82 A0");
    EXPECT_EQ(tcError(), 0);
    tcTerm();
    EXPECT_EQ(tcPut("x", 1), -1);
    EXPECT_EQ(tcError(), TC_ERR_MODE);
}

TEST(CodeConverter, InputUsedInPlaceThenMoreInput)
{
    // The first bytes are converted where they are; a later put copies what
    // is left of them before adding its own.
    std::string first = "\x1B$B\x24\x22\x24\x24\x24\x26\x1B(B abc \x1B$B\x24";
    std::string second = "\x28\x1B(B end";
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
    EXPECT_EQ(tctest::Hex(std::string(out, n)), tctest::Hex("\x82\xA0\x82\xA2\x82\xA4 abc \x82\xA6 end"));
    // Too much for the buffer is refused either way.
    ASSERT_EQ(cv.Init(4), 0);
    ASSERT_EQ(cv.SetCode(TC_SJIS, TC_SJIS), 0);
    EXPECT_EQ(cv.PutView("12345", 5), -1);
    EXPECT_EQ(cv.Error(), TC_ERR_OVERFLOW);
}

TEST(CodeConverter, ShortcutsMatchThePlainTableWalk)
{
    // Texts built from pieces of every code and stray bytes.
    const std::string pieces[] = {
        "plain ascii ", "\r\n", "\x1B$B\x46\x7C\x4B\x5C\x38\x6C", "\x1B(B", "\x1B(I\x31\x32", "\x0E\x33\x0F",
        "\xC6\xFC\xCB\xDC\xB8\xEC", "\x8E\xB1", "\x8F\xB0\xA1", "\x93\xFA\x96\x7B", "\xB1\xDE", "\x1B$@",
        "\x1B(J", "\x1B(Q", "\x1B", "\x80", "\xFF", "\xFD\xFE", "\xA0", "\xED\x40\xFA\x40", " ", "\x21\x21",
    };
    std::mt19937 gen(42);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        int count = 1 + gen() % 30;
        for (int i = 0; i < count; ++i) {
            if (gen() % 5 == 0)
                text += static_cast<char>(gen() & 0xFF);
            else
                text += pieces[gen() % std::size(pieces)];
        }
        for (int code : {TC_AUTO, TC_AUTO_SJIS, TC_AUTO_EUC, TC_JIS, TC_JIS7, TC_EUC, TC_SJIS}) {
            for (int to : {TC_SJIS, TC_EUC, TC_JIS7}) {
                std::string results[2];
                int states[2][4];
                for (int fast = 0; fast < 2; ++fast) {
                    CodeConverter cv;
                    cv.SetShortcuts(fast == 1);
                    ASSERT_EQ(cv.Init(text.size() + 4), 0);
                    ASSERT_EQ(cv.SetCode(code, to), 0);
                    cv.KeepHalfKana(true);
                    ASSERT_EQ(cv.Put(text.data(), text.size()), 0);
                    states[fast][0] = cv.Error();
                    states[fast][1] = cv.DetectionState();
                    ASSERT_EQ(cv.EndInput(), 0);
                    states[fast][2] = cv.InputCode();
                    std::string out(text.size() * 4 + 16, '\0');
                    size_t n = cv.Get(out.data(), out.size());
                    states[fast][3] = cv.Error() * 1000 + cv.ConversionState();
                    n += cv.GetRest(out.data() + n, out.size() - n);
                    results[fast] = out.substr(0, n);
                }
                ASSERT_EQ(results[0], results[1]) << Hex(text) << " code " << code << " to " << to;
                for (int k = 0; k < 4; ++k)
                    ASSERT_EQ(states[0][k], states[1][k]) << Hex(text) << " code " << code << " item " << k;
            }
        }
    }
}
