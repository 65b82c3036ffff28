// Files posted to INN in parts (yEnc, Base64, and uuencode split the old
// way) and joined by lumetra-tool join: out of order, a part posted twice,
// a part missing with and without keeping what came.
#include "ServerSupport.h"
#include "support/TestFiles.h"
#include "textcodec/Base64Codec.h"
#include "textcodec/Uuencode.h"
#include "textcodec/Yenc.h"

#include <fstream>

using namespace testutil;

namespace {

struct Part {
    unsigned k;
    std::string body;
};

std::vector<Part> YencParts(const std::string& data, unsigned n)
{
    std::vector<Part> parts;
    const std::size_t each = (data.size() + n - 1) / n;
    for (unsigned k = 0; k < n; ++k) {
        const std::string piece = data.substr(k * each, each);
        textcodec::YencPartInfo info;
        info.name = "f.bin";
        info.fileSize = data.size();
        info.part = k + 1;
        info.total = n;
        info.begin = k * each + 1;
        info.partSize = piece.size();
        info.lineEnd = "\r\n";
        parts.push_back({k + 1, textcodec::YencEncode(piece, info)});
    }
    return parts;
}

// The 1990s form: one uuencoded text cut into n articles, with the chatter
// posters put around each piece.
std::vector<Part> UuParts(const std::string& data, unsigned n)
{
    const std::vector<std::string> lines = SplitLines(textcodec::Uuencode(data, 0644, "old.zip"));
    std::vector<Part> parts;
    const std::size_t each = (lines.size() + n - 1) / n;
    for (unsigned k = 0; k < n; ++k) {
        std::string body = "Section " + std::to_string(k + 1) + " of " + std::to_string(n) + " of old.zip\n\n";
        if (k > 0)
            body += "BEGIN -- Cut Here -- cut here\n";
        for (std::size_t i = k * each; i < std::min(lines.size(), (k + 1) * each); ++i)
            body += lines[i] + "\n";
        if (k + 1 < n)
            body += "END -- Cut Here -- cut here\n\n-- \nposted with care\n";
        parts.push_back({k + 1, body});
    }
    return parts;
}

// MIME Base64 cut in two: the part header in the first article, the closing delimiter in the last.
std::vector<Part> Base64Parts(const std::string& data)
{
    textcodec::Base64Encoder encoder;
    const std::vector<std::string> lines = SplitLines(textcodec::RunCodec(encoder, data));
    std::string one = "This is a MIME message.\n\n--b\nContent-Type: application/zip; name=\"new.zip\"\n"
                      "Content-Transfer-Encoding: base64\n\n";
    std::string two;
    for (std::size_t i = 0; i < lines.size(); ++i)
        (i < lines.size() / 2 ? one : two) += lines[i] + "\n";
    return {{1, one}, {2, two + "\n--b--\n\n-- \nsig\n"}};
}

} // namespace

TEST(JoinServer, PartsJoinedInOrderWithMissingAndRepeatedParts)
{
    REQUIRE_SERVER();
    ScratchDir dir;
    std::ofstream(dir / "x.lum") << "[config]\r\nnNntpPort=" << server->port << "\r\nstrNntpServer=" << server->host
                                 << "\r\n";
    const std::string yData = RandomBytes(3 * 20000 + 77, 7);
    const std::string uData = RandomBytes(9000, 8);
    const std::string bData = RandomBytes(5000, 9);
    const std::vector<Part> y = YencParts(yData, 4), u = UuParts(uData, 3), b = Base64Parts(bData);
    Part badCrc = y[1];
    badCrc.body[badCrc.body.find("\r\n", badCrc.body.find("=ypart")) + 7] ^= 1;
    const std::size_t each = (yData.size() + 3) / 4;
    // A part that says it lies a terabyte on: no zeros are written up to it.
    Part far{2, {}};
    {
        textcodec::YencPartInfo info{"f.bin", yData.size(), 2, 2, std::uint64_t{1} << 40, 100};
        info.lineEnd = "\r\n";
        far.body = textcodec::YencEncode(yData.substr(0, 100), info);
    }
    std::string yHoled = yData;
    std::fill(yHoled.begin() + 2 * each, yHoled.begin() + 3 * each, '\0');
    const struct {
        const char* what;
        std::string subject; // %k stands for the part
        std::vector<Part> posted;
        const char* options;
        const char* report; // the start of the tool's line
        const char* saved;  // the file, null: none
        std::string data;
    } rows[] = {
        {"yEnc out of order, part 2 twice with the first damaged", "\"f.bin\" yEnc (%k/4)",
         {y[2], badCrc, y[0], y[3], y[1]},
         "", "saved\tf.bin\t60077\n", "f.bin", yData},
        {"yEnc part 3 missing", "f.bin [%k/4]", {y[0], y[1], y[3]}, "", "not saved\t\t0\tmissing 3\t", nullptr, {}},
        {"yEnc part 3 missing, kept", "f.bin [%k/4]", {y[0], y[1], y[3]}, " --keep-partial",
         "saved\tf.damaged.bin\t60077\tmissing 3\t", "f.damaged.bin", yHoled},
        {"yEnc part far past the end, kept", "f.bin (%k/2)", {y[0], far}, " --keep-partial",
         "saved\tf.damaged.bin\t15020\tdamaged 2\t", "f.damaged.bin", yData.substr(0, each)},
        {"uuencode over 3 articles, posted backwards", "old.zip (%k/3)", {u[2], u[1], u[0]}, "",
         "saved\told.zip\t9000\n", "old.zip", uData},
        {"Base64 over 2 articles", "new.zip [%k/2]", {b[1], b[0]}, "", "saved\tnew.zip\t5000\n", "new.zip", bData},
        {"uuencode middle part missing", "old.zip (%k/3)", {u[0], u[2]}, "", "not saved\t\t0\tmissing 2\t", nullptr,
         {}},
    };
    inttest::Poster poster(*server);
    const std::string tool = std::string(LUMETRA_BINARY_DIR) + "/tools/lumetra-tool join local.test ";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string tag = inttest::Tag();
        for (const Part& p : row.posted) {
            std::string subject = tag + " " + row.subject;
            subject.replace(subject.find("%k"), 2, std::to_string(p.k));
            ASSERT_TRUE(poster.PostRaw("From: p@example.invalid\r\nNewsgroups: local.test\r\nSubject: " + subject +
                                           "\r\n",
                                       p.body));
        }
        const auto out = dir / tag;
        const std::string report = Shell(tool + tag + " " + Quote(out) + " --config " + Quote(dir / "x.lum") +
                                         row.options + " 2>/dev/null; echo rc=$?");
        EXPECT_EQ(report.rfind(row.report, 0), 0u) << report;
        EXPECT_NE(report.find(row.saved && !std::string(row.saved).ends_with("damaged.bin") ? "rc=0" : "rc=1"),
                  std::string::npos)
            << report;
        std::size_t files = 0;
        for (const auto& e : std::filesystem::directory_iterator(out))
            files += e.is_regular_file();
        EXPECT_EQ(files, row.saved ? 1u : 0u) << "nothing but the joined file is left";
        if (row.saved) {
            EXPECT_TRUE(ReadFile(out / row.saved) == row.data);
        }
    }
}
