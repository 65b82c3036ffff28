// What today's posters send, read as Python's email package (policy=default)
// reads it: unfolded headers, encoded words, flowed text, undeclared
// Japanese, lenient Base64 and stray Shift_JIS lead bytes.

#include "RenderSupport.h"

#include "message/HeaderFields.h"
#include "textcodec/Charsets.h"
#include "textcodec/TextCode.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace message;
using namespace textcodec;
using testutil::Crlf;

namespace {

struct HeaderRow {
    std::string raw;      // the Subject value as sent, folds included
    std::string expected; // UTF-8
    bool peer;            // Python can read it (raw 8-bit text it cannot)
};

const HeaderRow kHeaders[] = {
    // tin and slrn fold long subjects at a blank; the blank stays.
    {"client folds\r\n at seventy-eight", "client folds at seventy-eight", true},
    {"Re: a follow-up subject\r\n\tfolded by slrn", "Re: a follow-up subject folded by slrn", true},
    // Blanks between encoded words go, on one line and across folds.
    {"a =?ISO-2022-JP?B?GyRCJCsbKEI=?= =?ISO-2022-JP?B?GyRCJCsbKEI=?= b", "a かか b", true},
    {"=?ISO-2022-JP?B?GyRCRnxLXBsoQg==?=\r\n =?ISO-2022-JP?B?GyRCOGwbKEI=?=", "日本語", true},
    {"=?UTF-8?B?5pel5pys?=\r\n\t=?UTF-8?B?6Kqe?= end", "日本語 end", true},
    // Text next to a word keeps its blank.
    {"=?UTF-8?Q?caf=C3=A9?= au\r\n lait", "café au lait", true},
    // Raw 8-bit values: the code comes from all of their bytes.
    {"\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xA5\xC6\xA5\xB9\xA5\xC8", "日本語のテスト", false},
    {"\xA5\xC6\xA5\xB9\xA5\xC8", "テスト", false},
    {"\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x58\x83\x67", "日本語のテスト", false},
    {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "日本語", false},
};

std::string Article(const std::string& subject) { return "Subject: " + subject + "\r\nFrom: a@example.jp\r\n\r\nbody\r\n"; }

TEST(ReadingHeaders, UnfoldedAndDecodedAsPythonDoes)
{
    for (const HeaderRow& row : kHeaders)
        EXPECT_EQ(SjisToUtf8(GetHeaderField(Article(row.raw), "Subject", true)), row.expected) << row.raw;
}

// The expectations above are Python's own reading.
TEST(ReadingHeaders, ExpectationsAreThePeersReading)
{
    if (testutil::Shell("python3 -c 'import email.policy; print(1)' 2>/dev/null") != "1\n")
        GTEST_SKIP() << "python3 not available";
    testutil::ScratchDir dir;
    std::string list;
    int n = 0;
    for (const HeaderRow& row : kHeaders) {
        if (!row.peer)
            continue;
        const auto file = dir / std::to_string(++n);
        testutil::WriteFile(file, Article(row.raw));
        list += testutil::Quote(file) + " ";
    }
    const std::string out = testutil::Shell(
        "python3 -c 'import sys, email, email.policy\n"
        "for p in sys.argv[1:]:\n"
        "    m = email.message_from_bytes(open(p, \"rb\").read(), policy=email.policy.default)\n"
        "    print(str(m[\"Subject\"]).replace(\"\\t\", \" \"))' " + list);
    std::string expected;
    for (const HeaderRow& row : kHeaders)
        if (row.peer)
            expected += row.expected + "\n";
    EXPECT_EQ(out, expected);
}

struct RenderRow {
    const char* what;
    std::string article; // LF lines, as a peer wrote it
    std::string shown;   // UTF-8 the body pane must show (a part of it)
};

const RenderRow kBodies[] = {
    {"a continuation of blanks only inside a multipart header",
     "Subject: m\nContent-Type: multipart/mixed;\n \n boundary=\"b1\"\n\npreamble\n--b1\n"
     "Content-Type: text/plain\n\npart one\n--b1--\n",
     "part one\n"},
    {"flowed text is joined, quotes and the signature kept",
     "Subject: f\nContent-Type: text/plain; charset=us-ascii; format=flowed\n\n"
     "This is a \nflowed paragraph.\n>> quoted \n>> more\n> less\n \nfixed\n-- \nsig\n",
     "This is a flowed paragraph.\n>> quoted more\n> less\n\nfixed\n-- \nsig\n"},
    {"DelSp removes the blank of a soft break (Japanese has none between words)",
     "Subject: d\nContent-Type: text/plain; charset=UTF-8; format=flowed; delsp=yes\n"
     "Content-Transfer-Encoding: 8bit\n\n日本 \n語の \n文\n",
     "日本語の文\n"},
    {"Base64 across blank lines and groups cut at line ends",
     "Subject: b\nContent-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: base64\n\n"
     "5pel5pys6K\n\nqe44Gu44OG44Kt44K5\n\n44OICg==\n",
     "日本語のテキスト\n"},
    {"undeclared EUC-JP body",
     "Subject: \xA5\xC6\xA5\xB9\xA5\xC8\n\n"
     "\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xA5\xC6\xA5\xAD\xA5\xB9\xA5\xC8\n\xA5\xC6\xA5\xB9\xA5\xC8\n",
     "日本語のテキスト\nテスト\n"},
    {"undeclared EUC-JP subject",
     "Subject: \xA5\xC6\xA5\xB9\xA5\xC8\n\nbody\n",
     "Subject: テスト\n"},
    {"undeclared UTF-8 body",
     "Subject: u\n\n日本語\nテスト\n",
     "日本語\nテスト\n"},
    {"undeclared Shift_JIS body with a stray lead byte before a URL path",
     "Subject: s\n\n\x93\xFA\x96\x7B\x8C\xEA\nsee http://example.jp/\x81/path ok\n",
     "日本語\nsee http://example.jp/〓/path ok\n"},
    {"a declared charset wins over what the bytes look like",
     "Subject: c\nContent-Type: text/plain; charset=Shift_JIS\n\n\xA5\xC6\xA5\xB9\xA5\xC8\n",
     "･ﾆ･ｹ･ﾈ\n"},
};

TEST(ReadingBodies, ShownAsPeersShowThem)
{
    for (const RenderRow& row : kBodies) {
        auto r = testutil::Render(MakeCacheText(row.article));
        const std::string shown = SjisToUtf8(r->sink.PlainText());
        EXPECT_NE(shown.find(row.shown), std::string::npos) << row.what << "\n" << shown;
    }
}

// The reader's way out when labels or detection are wrong: the article read
// again in a chosen charset, from the lines kept as they were received.
struct ReadAsRow {
    const char* what;
    std::string article; // LF lines
    const char* charset;
    std::string shown;   // UTF-8 in the body as read in charset, and not as read by itself
    std::string subject; // UTF-8 the list row's subject becomes
};

const ReadAsRow kReadAs[] = {
    {"EUC-JP declared as Shift_JIS",
     "Subject: \xA5\xC6\xA5\xB9\xA5\xC8\nContent-Type: text/plain; charset=Shift_JIS\n\n"
     "\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xA5\xC6\xA5\xB9\xA5\xC8\n",
     "EUC-JP", "日本語のテスト\n", "テスト"},
    {"undeclared UTF-8 read wrongly for a stray Latin-1 byte",
     "Subject: u\n\n日本語\ncaf\xE9\n", "UTF-8", "日本語\n", "u"},
    {"ISO-2022-JP declared as UTF-8",
     "Subject: j\nContent-Type: text/plain; charset=UTF-8\n\n\x1B$BF|K\\8l\x1B(B\n", "ISO-2022-JP", "日本語\n", "j"},
    {"undeclared Latin-1, subject and body",
     "Subject: caf\xE9\n\ncaf\xE9 cr\xE8me\n", "ISO-8859-1", "café crème\n", "café"},
    {"Base64 text and an encoded word labelled UTF-8, both EUC-JP",
     "Subject: =?UTF-8?B?pcaluaXI?=\nContent-Type: text/plain; charset=UTF-8\n"
     "Content-Transfer-Encoding: base64\n\nxvzL3LjspM6lxqW5pcg=\n",
     "EUC-JP", "Subject: テスト\nContent-Type: text/plain; charset=UTF-8\n\n日本語のテスト", "テスト"},
    {"a multipart's text part only; the picture stays byte for byte",
     "Subject: m\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain; charset=UTF-8\n\n"
     "\xA5\xC6\xA5\xB9\xA5\xC8\n--b\nContent-Type: image/png\nContent-Transfer-Encoding: 8bit\n\n\xA5\xC6\n--b--\n",
     "EUC-JP", "テスト\n", "m"},
};

TEST(ReadAs, ChosenCharsetWinsAndAutomaticGivesTheNormalReadingBack)
{
    int n = 0;
    for (const ReadAsRow& row : kReadAs) {
        const auto cache = testutil::Scratch() / ("read-as-" + std::to_string(++n));
        testutil::WriteFile(ReceivedPath(cache), testutil::Crlf(row.article));
        ASSERT_TRUE(RecodeCache(cache, row.charset)) << row.what;
        const std::string forced = testutil::ReadFile(cache);
        auto r = testutil::Render(forced, false, {}, row.charset);
        EXPECT_NE(SjisToUtf8(r->sink.PlainText()).find(row.shown), std::string::npos)
            << row.what << "\n" << SjisToUtf8(r->sink.PlainText());
        const std::string header = ReadCacheHeader(cache);
        EXPECT_EQ(SjisToUtf8(CachedFieldAs(header, "Subject", row.charset)), row.subject) << row.what;
        // A follow-up reading the header as shown gets the same.
        EXPECT_EQ(SjisToUtf8(GetHeaderField(CachedHeaderAs(header, row.charset), "Subject", true)), row.subject)
            << row.what;

        ASSERT_TRUE(RecodeCache(cache, "")) << row.what;
        EXPECT_EQ(testutil::ReadFile(cache), MakeCacheText(row.article)) << row.what;
        auto normal = testutil::Render(testutil::ReadFile(cache));
        EXPECT_EQ(SjisToUtf8(normal->sink.PlainText()).find(row.shown), std::string::npos) << row.what;
    }
    // The picture's bytes are data whatever the text is read in.
    const auto multipart = testutil::Scratch() / ("read-as-" + std::to_string(n));
    ASSERT_TRUE(RecodeCache(multipart, "EUC-JP"));
    EXPECT_NE(testutil::ReadFile(multipart).find("\r\n\r\n\xA5\xC6\r\n--b--"), std::string::npos);
    // Without the received lines the cache stays as it is.
    const auto lone = testutil::ScratchFile("Subject: x\r\n\r\nbody\r\n.\r\n");
    EXPECT_FALSE(RecodeCache(lone, "UTF-8"));
    EXPECT_EQ(testutil::ReadFile(lone), "Subject: x\r\n\r\nbody\r\n.\r\n");
}

TEST(DetectTextCode, DecidesFromAllTheBytes)
{
    const struct {
        std::string text;
        TextCode code;
    } cases[] = {
        {"plain ASCII\r\n", TextCode::Ascii},
        {"\x1B$BF|K\\\x1B(B", TextCode::Jis},
        {"\xE6\x97\xA5\xE6\x9C\xAC", TextCode::Utf8},
        // Every EUC-JP pair also reads as Shift_JIS (half-width kana);
        // only the pair statistics tell them apart.
        {"\xA4\xB3\xA4\xF3\xA4\xCB\xA4\xC1\xA4\xCF", TextCode::EucJp},
        {"\xB4\xC1\xBB\xFA", TextCode::EucJp},
        // 臓物 in EUC-JP is valid UTF-8 too, but as characters CP932 lacks.
        {"\xC2\xA1\xCA\xAA", TextCode::EucJp},
        {"\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD", TextCode::ShiftJis},
        {"\xE0\xA1\xE0\xA2 \x88\x9F", TextCode::ShiftJis},
        // Half-width kana only: Shift_JIS, as the per-line rule reads them.
        {"\xB1\xB2\xB3 ", TextCode::ShiftJis},
        // An EUC-JP line and a Shift_JIS line, each broken in the other
        // reading: mixed, left to the per-line rule.
        {"\xB0\xFE\xB0\xFE\r\n\x82\xB1\x82\xF1\r\n", TextCode::Undecided},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DetectTextCode(c.text), c.code) << testutil::Hex(c.text);
}

} // namespace
