// The overview as servers give it: the field list of LIST OVERVIEW.FMT and
// the lines of OVER and HDR, well-formed and not.
#include "net/Overview.h"

#include <gtest/gtest.h>

using namespace net;

namespace {

const std::vector<std::string> kInnFormat = {"Subject:\r\n", "From:\r\n", "Date:\r\n", "Message-ID:\r\n",
                                             "References:\r\n", ":bytes\r\n", ":lines\r\n", "Xref:full\r\n"};

TEST(Overview, FormatListsAreReadOrRefused)
{
    const struct {
        std::vector<std::string> lines;
        bool ok;
        bool xref;
    } rows[] = {
        {kInnFormat, true, true},
        {{"Subject:", "From:", "Date:", "Message-ID:", "References:", "Bytes:", "Lines:"}, true, false},
        // The first seven mean what they always mean, whatever they are called.
        {{"Betreff:", "Von:", "Datum:", "Message-ID:", "References:", "Bytes:", "Lines:", "xref:FULL"}, true, true},
        {{"Subject:", "From:", "Date:"}, false, false},
        {{"Subject:", "From:", "Date:", "Message-ID:", "References:", "Bytes:", "Lines:", "X Ref:full"}, false, false},
        {{"Subject:", "From:", "Date:", "Message-ID:", "References:", "Bytes:", "Lines:", "Xref"}, false, false},
        {{"Subject:", "From:", "Date:", "Message-ID:", "References:", "Bytes:", "Lines:", std::string("X\0\xa0ref:", 6)},
         false, false},
        {{":bytes", "From:", "Date:", "Message-ID:", "References:", "Bytes:", "Lines:"}, false, false},
    };
    for (const auto& r : rows) {
        OverviewFormat f;
        EXPECT_EQ(f.Parse(r.lines), r.ok) << r.lines.back();
        EXPECT_EQ(f.Has("Xref"), r.xref) << r.lines.back();
        EXPECT_GE(f.Size(), 7u);
    }
}

TEST(Overview, LinesBecomeHeaderLinesOrAreRefused)
{
    OverviewFormat inn;
    ASSERT_TRUE(inn.Parse(kInnFormat));
    const OverviewFormat plain;
    const struct {
        const OverviewFormat* format;
        std::string line;
        bool ok;
        std::int32_t number;
        std::string header;
    } rows[] = {
        {&inn, "3000\tRe: a\tT <t@x>\tMon, 7 Dec 2026 04:00:00 +0900\t<a@b>\t<x@y> <z@w>\t1234\t20\tXref: h fj.test:3000\r\n", true, 3000,
         "Subject: Re: a\r\nFrom: T <t@x>\r\nDate: Mon, 7 Dec 2026 04:00:00 +0900\r\nMessage-ID: <a@b>\r\nReferences: <x@y> <z@w>\r\nBytes: 1234\r\nLines: 20\r\nXref: h fj.test:3000\r\n"},
        // Empty fields are left out; a "full" field under another name is no value.
        {&inn, "7\ts\t\t\t<m@x>\t\t1\t1\tPath: evil\r\n", true, 7, "Subject: s\r\nMessage-ID: <m@x>\r\nBytes: 1\r\nLines: 1\r\n"},
        {&plain, "9\ts\tf\td\t<m@x>\tr\r\n", true, 9, "Subject: s\r\nFrom: f\r\nDate: d\r\nMessage-ID: <m@x>\r\nReferences: r\r\n"},
        // Nothing from the line may end the header line early.
        {&plain, std::string("5\ta\rb\0c\tf\td\t<m@x>\t\t1\t1", 22), true, 5, "Subject: a b c\r\nFrom: f\r\nDate: d\r\nMessage-ID: <m@x>\r\nBytes: 1\r\nLines: 1\r\n"},
        {&plain, "5\ts\tf\td\r\n", false, 5, ""},
        {&plain, "x\ts\tf\td\t<m@x>\t\t1\t1\r\n", false, 0, ""},
        {&plain, "0\ts\tf\td\t<m@x>\t\t1\t1\r\n", false, 0, ""},
        {&plain, "2147483648\ts\tf\td\t<m@x>\t\t1\t1\r\n", false, 0, ""},
        {&plain, "-3\ts\tf\td\t<m@x>\t\t1\t1\r\n", false, 0, ""},
    };
    for (const auto& r : rows) {
        OverviewRecord rec;
        EXPECT_EQ(ParseOverviewLine(r.line, *r.format, rec), r.ok) << r.line;
        if (r.ok) {
            EXPECT_EQ(rec.number, r.number);
            EXPECT_EQ(rec.header, r.header);
        }
    }
}

TEST(Overview, HeaderLines)
{
    const struct {
        const char* line;
        bool ok;
        std::int32_t number;
        const char* value;
    } rows[] = {
        {"12 h fj.test:12 japan.misc:3\r\n", true, 12, "h fj.test:12 japan.misc:3"},
        {"13 (none)\r\n", true, 13, ""},
        {"14\r\n", true, 14, ""},
        {"x 1\r\n", false, 0, ""},
        {"\r\n", false, 0, ""},
    };
    for (const auto& r : rows) {
        std::int32_t n = 0;
        std::string v = "old";
        EXPECT_EQ(ParseHeaderLine(r.line, n, v), r.ok) << r.line;
        if (r.ok) {
            EXPECT_EQ(std::pair(n, v), std::pair(r.number, std::string(r.value)));
        }
    }
}

} // namespace
