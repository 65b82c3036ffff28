#include "message/HeaderFields.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace message;
using namespace textcodec;

namespace {

using testutil::ScopedEnv;

const char* kHeader =
    "From: Taro <taro@example.jp>\r\n"
    "Subjects: not this one\r\n"
    "SUBJECT: first\r\n"
    " part\r\n"
    "\tand more\r\n"
    "X-Empty:\r\n"
    "Newsgroups: fj.test\r\n"
    "Received: one\r\n"
    "Received: two\r\n"
    "  folded\r\n"
    "\r\n"
    "Date: in the body\r\n";

TEST(GetHeaderField, Forms)
{
    const std::string value(5000, 'x');
    const struct {
        std::string header, name, out;
    } cases[] = {
        // Name with or without colon, any case; a fold keeps its blank (RFC 5322).
        {kHeader, "subject", "first part and more"},
        {kHeader, "Subject:", "first part and more"},
        {kHeader, "Subjects", "not this one"},
        {kHeader, "X-Empty", ""},
        {kHeader, "Date", ""}, // stops at the empty line
        {"\r\nSubject: body\r\n", "Subject", ""},
        // Tabs read as blanks; missing or bare line ends.
        {"Subject:\ta\tb", "Subject", "a b"},
        {"Subject: a\n b\n", "Subject", "a b"},
        // A continuation of blanks only is still part of the field.
        {"Subject: a\r\n \r\n b\r\nX: y\r\n", "Subject", "a  b"},
        {"", "Subject", ""},
        {"Subject: " + value + "\r\n more\r\n\r\n", "Subject", value + " more"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetHeaderField(c.header, c.name, false), c.out) << c.header.substr(0, 40) << " / " << c.name;
        // Located in one pass with others, the field reads the same.
        const std::string named = c.name.back() == ':' ? c.name : c.name + ":";
        const std::string_view names[] = {"Newsgroups:", named, "Received:"};
        std::size_t at[3];
        LocateHeaderFields(c.header, names, 3, at);
        std::string located;
        if (at[1] != std::string::npos)
            ScanHeaderField(c.header, names[1], at[1], false, located);
        EXPECT_EQ(located, c.out) << c.header.substr(0, 40) << " / " << c.name;
    }
}

TEST(ExtractAddress, ReducesDisplayNamesAndComments)
{
    for (auto [in, out] : {std::pair<std::string, std::string>{"   Taro Yamada <taro@example.jp> (work)", "taro@example.jp"},
                           {"taro@example.jp (Taro Yamada)", "taro@example.jp"},
                           {"<unclosed@example.jp", "unclosed@example.jp"},
                           {"a@b;c", "a@b"}}) {
        ExtractAddress(in);
        EXPECT_EQ(in, out);
    }
}

TEST(SplitAddressList, RemovesCommentsGroupNamesAndDuplicates)
{
    std::vector<std::string> list;
    SplitAddressList("Friends: \"Doe, John\" <john@x.org>, jane@y.org (Jane, a comment), john@x.org,, <k@z>;", list);
    EXPECT_EQ(list, (std::vector<std::string>{"john@x.org", "jane@y.org", "k@z"}));
    list.clear();
    SplitAddressList("a@b (never closed, c@d", list);
    EXPECT_EQ(list, (std::vector<std::string>{"a@b"}));
}

// Generated dates are compared with Python in DatePeerTest.
TEST(ParseDate, ZonesFormsAndBadInput)
{
    const std::pair<const char*, std::int64_t> cases[] = {
        {"Tue, 2 Dec 1997 10:00:00 +0900", 881024400},
        {"2 dec 1997 10:00:00 jst", 881024400},
        {"Tue,   2   December 1997   01:00 Z", 881024400},
        {"2 Dec 1997 01:00:00 QQQ", 881024400}, // an unknown zone is UTC
        {"2 Dec 1997", 0},
        {"2 Foo 1997 01:00:00 GMT", 0},
        {"1 Jan 1970 00:00:00 +0900", 0}, // before 1970
        {"99999999999999 Jan 99999999999 99999999:99:99 +99999999", 0},
        {"1 Jan 70 00:00:00 GMT", 0},
        // Python reads 50-68 as 2050-2068; RFC 5322 (and this reader) as 1950-1968, before 1970.
        {"1 Jan 68 00:00:00 GMT", 0},
        {"31 Dec 69 23:59:59 GMT", 0},
        {"1 Jan 49 00:00:00 GMT", 2493072000LL},
        {"1 Jan 0001 00:00:00 GMT", 0}, // four digits as written, not 2001
        {"1 Jan 0049 00:00:00 GMT", 0},
        // A field out of range makes the date unknown, never a clamped one.
        {"99999999999 Jan 2020 00:00:00 GMT", 0},
        {"31 Dec 9999 23:00:00 -9999", 0},
        {"31 Dec 9999 23:00:00 -1200", 0}, // past the year 9999
        {"1 Jan 2020 00:00:00 +0975", 0},
        {"30 Feb 2020 00:00:00 GMT", 0},
        {"29 Feb 2020 00:00:00 GMT", 1582934400},
        {"29 Feb 2021 00:00:00 GMT", 0},
        {"1 Jan 2020 24:00:00 GMT", 0},
        {"1 Jan 2020 00:60:00 GMT", 0},
        {"1 Jan 2020 00:00:61 GMT", 0},
        {"0 Jan 2020 00:00:00 GMT", 0},
        {"31 Dec 2019 23:59:60 GMT", 1577836800}, // a leap second
    };
    for (auto [text, time] : cases)
        EXPECT_EQ(ParseDate(text), time) << text;
}

TEST(ParseDate, NoZoneIsLocalTimeOfThatDate)
{
    ScopedEnv tokyo("TZ", "Asia/Tokyo");
    EXPECT_EQ(ParseDate("2 Dec 1997 10:00:00"), 881024400);
    ScopedEnv ny("TZ", "America/New_York");
    // Summer and winter dates each get their own offset.
    EXPECT_EQ(ParseDate("1 Jul 2020 12:00:00"), ParseDate("1 Jul 2020 12:00:00 -0400"));
    EXPECT_EQ(ParseDate("1 Jan 2020 12:00:00"), ParseDate("1 Jan 2020 12:00:00 -0500"));
}

TEST(LocalZoneText, FormatsTheCurrentOffset)
{
    for (auto [zone, text] : {std::pair{"Asia/Tokyo", "+0900"}, {"Asia/Kolkata", "+0530"}, {"UTC", "GMT"},
                              {"<M0330>+3:30", "-0330"}}) {
        ScopedEnv tz("TZ", zone);
        EXPECT_EQ(LocalZoneText(), text) << zone;
    }
}

TEST(HeaderFields, ReplySubjectAndMimeVersion)
{
    for (auto [header, subject] : {std::pair{"Subject: RE: test\r\n\r\n", "RE: test"},
                                   {"Subject: test\r\n\r\n", "Re: test"},
                                   {"Subject: re:x\r\n\r\n", "re:x"},
                                   {"From: a\r\n\r\n", ""}})
        EXPECT_EQ(MakeReplySubject(header), subject) << header;
    for (auto [header, version] : {std::pair{"MIME-Version: 1.0\r\n", 1}, {"Mime-Version:   2\r\n", 2},
                                   {"Subject: x\r\n", 0}, {"Mime-Version: (produced by x) 1.0\r\n", 0}})
        EXPECT_EQ(GetMimeVersion(header), version) << header;
}

TEST(IsMultipart, FindsTheBoundaryInEveryForm)
{
    const struct {
        std::string header;
        bool multipart;
        std::string boundary;
    } cases[] = {
        {"Content-Type: MultiPart/Mixed;Boundary=\"---------12-34\"\r\n", true, "---------12-34"},
        {"Content-Type: multipart/mixed;\r\n\tboundary=  plain end\r\n", true, "plain"},
        {"Content-Type: multipart/mixed\r\n", true, "-"},
        {"Content-Type: multipart/mixed; boundary=\"a;b=c\"\r\n", true, "a;b=c"},
        {"Content-Type: multipart/mixed; boundary=\"unclosed\r\n", true, "unclosed"},
        {"Content-Type: text/plain; boundary=x\r\n", false, ""},
        {"Subject: multipart\r\n", false, ""},
        // A second Content-Type field can make an article multipart.
        {"Content-Type: text/plain\r\nContent-Type: multipart/mixed; boundary=q\r\n", true, "q"},
    };
    for (const auto& c : cases) {
        std::string b = "stale";
        EXPECT_EQ(IsMultipart(c.header, b), c.multipart) << c.header;
        EXPECT_EQ(b, c.boundary) << c.header;
    }
}

TEST(ParseContentType, SplitsTypeSubtypeAndParameters)
{
    std::string type, subtype;
    std::vector<std::string> names, values;
    ASSERT_TRUE(ParseContentType("Text/Plain ; charset=\"ISO-2022-JP\"; format=flowed ;junk; name=\"a;b.txt\"", type,
                                 subtype, names, values));
    EXPECT_EQ(type, "Text");
    EXPECT_EQ(subtype, "Plain");
    EXPECT_EQ(names, (std::vector<std::string>{"charset", "format", "name"}));
    EXPECT_EQ(values, (std::vector<std::string>{"ISO-2022-JP", "flowed", "a;b.txt"}));
    names.clear(), values.clear();
    ASSERT_TRUE(ParseContentType("application-x-gzip", type, subtype, names, values));
    EXPECT_EQ(type, "application-x-gzip");
    EXPECT_EQ(subtype, "");
    EXPECT_FALSE(ParseContentType("", type, subtype, names, values));
    EXPECT_EQ(GetParameter("image/gif; NAME=\"x.gif\"", "name"), "x.gif");
    EXPECT_EQ(GetParameter("image/gif", "name"), "");
}

TEST(ParseParameter, NeedsANameBeforeTheEqualsSign)
{
    std::string n, v;
    EXPECT_FALSE(ParseParameter("", n, v));
    EXPECT_FALSE(ParseParameter("=x", n, v));
    EXPECT_FALSE(ParseParameter("novalue", n, v));
    ASSERT_TRUE(ParseParameter("  name extra = \"quoted\" tail", n, v));
    EXPECT_EQ(n, "name");
    EXPECT_EQ(v, "quoted");
    ASSERT_TRUE(ParseParameter("a=\"open", n, v));
    EXPECT_EQ(v, "open");
    ASSERT_TRUE(ParseParameter("a= b c ", n, v));
    EXPECT_EQ(v, "b c");
}

TEST(ComposeHeaderLine, BuildsOneLineAndNeverInjectsAnother)
{
    EXPECT_EQ(ComposeHeaderLine("", "x", KanjiCode::Sjis, false), "");
    EXPECT_EQ(ComposeHeaderLine("Subject:", "hello", KanjiCode::Sjis, false), "Subject: hello\r\n");
    EXPECT_EQ(ComposeHeaderLine("X-A:B", "c", KanjiCode::Sjis, false), "X-A:Bc\r\n");
    static const char kHostile[] = "a\r\nControl: cancel\r\n.\r\n\0b";
    EXPECT_EQ(ComposeHeaderLine("Subject", std::string(kHostile, sizeof kHostile - 1), KanjiCode::Sjis, true),
              "Subject: a  Control: cancel  .   b\r\n");
    const std::string jis = ComposeHeaderLine("References", "<a@b>\nNewsgroups: x", KanjiCode::Jis, false);
    EXPECT_EQ(jis.find('\n'), jis.size() - 1);
}

TEST(ComposeHeaderLine, ConvertsJapaneseTextAndReadsBack)
{
    const std::string sjis = "\x93\xfa\x96\x7b"; // 日本
    EXPECT_EQ(ComposeHeaderLine("Subject", sjis, KanjiCode::Jis, false), "Subject: \x1b$BF|K\\\x1b(B\r\n");
    const std::string encoded = ComposeHeaderLine("Subject", sjis, KanjiCode::Euc, true);
    EXPECT_NE(encoded.find("=?ISO-2022-JP?B?"), std::string::npos) << encoded;
    EXPECT_EQ(GetHeaderField(encoded, "Subject", true), sjis);
}

} // namespace

TEST(GetNameParameter, Rfc2231FormsAndLenientTokens)
{
    const std::pair<std::string, std::string> names[] = {
        {"attachment; filename*=UTF-8''%E6%97%A5.txt", "\x93\xFA.txt"},
        {"attachment; filename*0*=utf-8'ja'%E6%97; filename*1*=%A5; filename*2=\".t xt\"", "\x93\xFA.t xt"},
        {"attachment; filename*=iso-8859-1''%FC%ZZ", "\xF0\x40\xF6\x81%ZZ"}, // outside CP932: escaped
        {"attachment; filename=\"plain name.txt\"", "plain name.txt"},
    };
    for (const auto& [value, name] : names)
        EXPECT_EQ(GetNameParameter(value, "filename"), name) << value;
    const std::pair<std::string, std::string> tokens[] = {{" Base64 ", "base64"}, {"base64 (ok)", "base64"},
                                                          {"\"X-UUE\"", "x-uue"}};
    for (const auto& [value, token] : tokens)
        EXPECT_EQ(MimeToken(value), token);
}
