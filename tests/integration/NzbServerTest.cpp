// A file posted to INN in yEnc parts and fetched back through an NZB by
// lumetra-tool nzb: joined whole, and with a part missing, repeated or out
// of order in the NZB.
#include "ServerSupport.h"
#include "support/TestFiles.h"

#include <fstream>

using namespace testutil;

namespace {

std::string Nzb(const std::vector<std::pair<unsigned, std::string>>& segments)
{
    std::string x = "<?xml version=\"1.0\"?>\n<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\">\n"
                    "<file poster=\"p\" subject=\"&quot;f.bin&quot; yEnc (1/4)\"><groups><group>local.test</group></groups>"
                    "<segments>\n";
    for (const auto& [n, id] : segments)
        x += "<segment bytes=\"40000\" number=\"" + std::to_string(n) + "\">" + id + "</segment>\n";
    return x + "</segments></file></nzb>\n";
}

} // namespace

TEST(NzbServer, PartsFetchedByMessageIdJoinAndChecked)
{
    REQUIRE_SERVER();
    ScratchDir dir;
    const std::string data = RandomBytes(4 * 30000 - 123, 99);
    const std::string tag = inttest::Tag();
    const std::vector<std::string> ids = inttest::PostYencParts(*server, "f.bin", data, 30000, tag);
    ASSERT_EQ(ids.size(), 4u);
    // A segment that says it lies a terabyte on.
    textcodec::YencPartInfo far{"f.bin", data.size(), 2, 4, std::uint64_t{1} << 40, 100};
    far.lineEnd = "\r\n";
    const std::string farId = tag + "far@lumetra.test";
    ASSERT_TRUE(inttest::Poster(*server).PostArticle("From: p@example.invalid\r\nNewsgroups: local.test\r\nSubject: far\r\n"
                                                     "Message-ID: <" + farId + ">\r\n\r\n" +
                                                     textcodec::YencEncode(data.substr(0, 100), far)));
    std::ofstream(dir / "x.lum") << "[config]\r\nnNntpPort=" << server->port << "\r\nstrNntpServer=" << server->host
                                 << "\r\n";
    const std::string tool = std::string(LUMETRA_BINARY_DIR) + "/tools/lumetra-tool nzb ";
    const struct {
        const char* what;
        std::vector<std::pair<unsigned, std::string>> segments;
        bool whole;
    } rows[] = {
        {"in order", {{1, ids[0]}, {2, ids[1]}, {3, ids[2]}, {4, ids[3]}}, true},
        {"out of order and repeated", {{3, ids[2]}, {1, ids[0]}, {4, ids[3]}, {2, ids[1]}, {3, ids[2]}}, true},
        {"one missing", {{1, ids[0]}, {2, "gone" + tag + "@lumetra.test"}, {3, ids[2]}, {4, ids[3]}}, false},
    };
    {
        // What came before it is saved; nothing is written out to the terabyte.
        const auto out = dir / "far";
        WriteFile(dir / "in.nzb", Nzb({{1, ids[0]}, {2, farId}}));
        const std::string report = Shell(tool + Quote(dir / "in.nzb") + " " + Quote(out) + " --config " +
                                         Quote(dir / "x.lum") + " 2>/dev/null; echo rc=$?");
        EXPECT_NE(report.find("saved\tf.damaged.bin\t30000\tdamaged 1\tsegment 2 lies past the end"),
                  std::string::npos)
            << report;
        EXPECT_TRUE(ReadFile(out / "f.damaged.bin") == data.substr(0, 30000));
    }
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const auto out = dir / row.what;
        WriteFile(dir / "in.nzb", Nzb(row.segments));
        const std::string report = Shell(tool + Quote(dir / "in.nzb") + " " + Quote(out) + " --config " +
                                         Quote(dir / "x.lum") + " 2>/dev/null; echo rc=$?");
        if (row.whole) {
            EXPECT_NE(report.find("saved\tf.bin\t119877\nrc=0"), std::string::npos) << report;
            EXPECT_TRUE(ReadFile(out / "f.bin") == data);
        } else {
            EXPECT_NE(report.find("saved\tf.damaged.bin\t119877\tmissing 1"), std::string::npos) << report;
            EXPECT_NE(report.find("rc=1"), std::string::npos);
            std::string want = data;
            std::fill(want.begin() + 30000, want.begin() + 60000, '\0');
            EXPECT_TRUE(ReadFile(out / "f.damaged.bin") == want);
            EXPECT_FALSE(std::filesystem::exists(out / "f.bin"));
        }
    }
}
