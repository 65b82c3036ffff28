// NZB files as indexers write them, and malformed, huge or hostile ones:
// each read, or refused with a clear error, in bounded time and memory.

#include <gtest/gtest.h>

#include "news/Nzb.h"

using namespace news;

namespace {

const char* const kHead =
    "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>\n"
    "<!DOCTYPE nzb PUBLIC \"-//newzBin//DTD NZB 1.1//EN\" \"http://www.newzbin.com/DTD/nzb/nzb-1.1.dtd\">\n"
    "<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\">\n";

std::string Nzb(const std::string& files) { return kHead + files + "</nzb>\n"; }

std::string File(const std::string& segments, const std::string& subject = "a &quot;f.bin&quot; yEnc (1/2)")
{
    return "<file poster=\"p &lt;p@x&gt;\" date=\"1\" subject=\"" + subject +
           "\">\n<groups><group>alt.binaries.test</group></groups>\n<segments>\n" + segments +
           "</segments>\n</file>\n";
}

std::string Segment(unsigned n, const std::string& id, unsigned bytes = 100)
{
    return "<segment bytes=\"" + std::to_string(bytes) + "\" number=\"" + std::to_string(n) + "\">" + id +
           "</segment>\n";
}

} // namespace

TEST(Nzb, ReadsFilesGroupsAndSegmentsInOrder)
{
    const NzbDocument doc = ReadNzb(Nzb(File(Segment(2, "b@x") + Segment(1, "a@x") + Segment(2, "dup@x")) +
                                        File(Segment(1, "&lt;c@x&gt;"), "plain subject")));
    ASSERT_EQ(doc.error, "");
    ASSERT_EQ(doc.files.size(), 2u);
    const NzbFile& f = doc.files[0];
    EXPECT_EQ(f.poster, "p <p@x>");
    EXPECT_EQ(NzbFileName(f), "f.bin");
    EXPECT_EQ(NzbFileName(doc.files[1]), "plain subject");
    EXPECT_EQ(f.groups, std::vector<std::string>{"alt.binaries.test"});
    ASSERT_EQ(f.segments.size(), 2u);
    EXPECT_EQ(f.segments[0].messageId, "<a@x>");
    EXPECT_EQ(f.segments[1].messageId, "<b@x>");
    EXPECT_EQ(f.segments[1].bytes, 100u);
    EXPECT_EQ(doc.files[1].segments[0].messageId, "<c@x>");
}

TEST(Nzb, HostileFilesGiveAClearError)
{
    std::string many, files, groups;
    for (unsigned i = 1; i <= 100001; ++i) {
        many += "<segment number=\"" + std::to_string(i) + "\">i" + std::to_string(i) + "@x</segment>";
        files += "<file/>";
        groups += "<group>g</group>";
    }
    const std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE nzb [<!ENTITY a \"aaaaaaaaaa\">"
                               "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
                               "<nzb>" + File(Segment(1, "&c;")) + "</nzb>";
    const std::string outside = "<?xml version=\"1.0\"?>\n<!DOCTYPE nzb [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                                "<nzb>" + File(Segment(1, "&x;")) + "</nzb>";
    const struct {
        const char* what;
        std::string xml;
        const char* error;
    } rows[] = {
        {"not XML", "hello", "syntax error"},
        {"cut short", Nzb(File(Segment(1, "a@x"))).substr(0, 300), "no element found"},
        {"entities", laughs, "declares entities"},
        {"outside entity", outside, "declares entities"},
        {"undefined entity", Nzb(File(Segment(1, "&nope;"))), "no usable Message-ID"},
        {"CR LF in a Message-ID", Nzb(File(Segment(1, "a@x&#13;&#10;QUIT"))), "no usable Message-ID"},
        {"blank in a Message-ID", Nzb(File(Segment(1, "a@x ARTICLE 1"))), "no usable Message-ID"},
        {"bracket inside", Nzb(File(Segment(1, "&lt;a&gt;@x&gt;"))), "no usable Message-ID"},
        {"empty Message-ID", Nzb(File(Segment(1, ""))), "no usable Message-ID"},
        {"no number", Nzb(File("<segment bytes=\"1\">a@x</segment>")), "without a usable number"},
        {"huge number", Nzb(File(Segment(4000000000u, "a@x"))), "without a usable number"},
        {"too many segments", Nzb(File(many)), "more than 100000 segments"},
        {"too many files", Nzb(files), "more than 100000 files or groups"},
        {"too many groups", Nzb("<file><groups>" + groups + "</groups></file>"), "more than 100000 files or groups"},
        {"long Message-ID", Nzb(File(Segment(1, std::string(5000, 'a') + "@x"))), "longer than 4096"},
        {"no segments", Nzb(""), "no file with segments"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const NzbDocument doc = ReadNzb(row.xml);
        EXPECT_NE(doc.error.find(row.error), std::string::npos) << doc.error;
        EXPECT_TRUE(doc.files.empty());
    }
    NzbLimits small;
    small.maxBytes = 100;
    EXPECT_NE(ReadNzb(Nzb(File(Segment(1, "a@x"))), small).error.find("larger than"), std::string::npos);
}
