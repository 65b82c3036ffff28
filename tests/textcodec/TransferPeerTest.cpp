// The transfer encodings against coreutils base64, python3 quopri,
// sharutils and macutils. A missing peer skips its test.

#include <gtest/gtest.h>

#include "support/TestFiles.h"
#include "textcodec/Base64.h"
#include "textcodec/BinHex.h"
#include "textcodec/QuotedPrintable.h"
#include "textcodec/Uuencode.h"

using namespace textcodec;

using testutil::Crlf;
using testutil::Quote;
using testutil::ReadFile;
using testutil::RunShell;
using testutil::SplitLines;
using testutil::WriteFile;

namespace {

const size_t kSizes[] = {0, 1, 2, 3, 44, 45, 46, 53, 54, 55, 56, 57, 1000, 1 << 20};

std::string Sample(size_t n, unsigned seed)
{
    std::string s = testutil::RandomBytes(n, seed);
    // Runs of the BinHex run marker and of other bytes.
    if (n > 600) {
        std::fill(s.begin() + 100, s.begin() + 400, '\x90');
        std::fill(s.begin() + 450, s.begin() + 600, 'A');
    }
    return s;
}

} // namespace

TEST(TransferPeers, Base64AgainstCoreutils)
{
    REQUIRE_PEER("base64");
    testutil::ScratchDir dir;
    for (size_t n : kSizes) {
        std::string data = Sample(n, static_cast<unsigned>(n) + 1);
        WriteFile(dir / "in", data);
        ASSERT_TRUE(Base64EncodeFile(dir / "in", dir / "ours.b64"));
        ASSERT_TRUE(RunShell("base64 -d " + Quote(dir / "ours.b64") + " > " + Quote(dir / "back")));
        EXPECT_EQ(ReadFile(dir / "back"), data) << n;
        // 76-column MIME text from the peer, decoded line by line.
        ASSERT_TRUE(RunShell("base64 -w 76 " + Quote(dir / "in") + " > " + Quote(dir / "peer.b64")));
        std::string decoded, line;
        for (const auto& l : SplitLines(ReadFile(dir / "peer.b64"))) {
            Base64DecodeLine(line, l);
            decoded += line;
        }
        EXPECT_EQ(decoded, data) << n;
    }
}

TEST(TransferPeers, QuotedPrintableAgainstPython)
{
    REQUIRE_PEER("python3");
    testutil::ScratchDir dir;
    // Text-like data (no bare CR) with long lines, high bytes, "=" and trailing blanks.
    std::string text;
    auto rnd = testutil::RandomBytes(20000, 11);
    for (size_t i = 0; i < rnd.size(); ++i) {
        unsigned char c = rnd[i];
        if (c < 0x20 && c != '\t')
            text += (c % 7 == 0) ? '\n' : static_cast<char>('a' + c % 26);
        else
            text += static_cast<char>(c);
        if (i % 97 == 0)
            text += " \n";
    }
    text += "\n";
    WriteFile(dir / "in", text);
    ASSERT_TRUE(RunShell("python3 -c 'import quopri,sys; sys.stdout.buffer.write(quopri.encodestring(open(sys.argv[1],\"rb\").read()))' " +
                    Quote(dir / "in") + " > " + Quote(dir / "qp")));
    // Join soft line breaks as the body renderer does, then decode.
    std::string decoded, pending, out;
    for (const auto& l : SplitLines(ReadFile(dir / "qp"))) {
        pending += l;
        if (!l.empty() && l.back() == '=') {
            pending.pop_back();
            continue;
        }
        DecodeQuotedPrintableLine(pending, out);
        decoded += out;
        pending.clear();
    }
    EXPECT_EQ(decoded, Crlf(text));

    // Our encoder's output decodes with the peer to the same text.
    std::string ours = EncodeQuotedPrintable(text);
    for (const auto& l : SplitLines(ours))
        EXPECT_LE(l.size(), 76u);
    WriteFile(dir / "ours.qp", ours);
    ASSERT_TRUE(RunShell("python3 -c 'import quopri,sys; sys.stdout.buffer.write(quopri.decodestring(open(sys.argv[1],\"rb\").read()))' " +
                         Quote(dir / "ours.qp") + " > " + Quote(dir / "back")));
    EXPECT_EQ(ReadFile(dir / "back"), text);
}

TEST(TransferPeers, UuencodeAgainstSharutils)
{
    REQUIRE_PEER("uuencode");
    REQUIRE_PEER("uudecode");
    testutil::ScratchDir dir;
    for (size_t n : kSizes) {
        std::string data = Sample(n, static_cast<unsigned>(n) + 2);
        WriteFile(dir / "in.bin", data);
        ASSERT_EQ(UuencodeFile(dir / "in.bin", dir / "ours.uu"), UU_OK);
        ASSERT_TRUE(RunShell("uudecode -o " + Quote(dir / "back") + " " + Quote(dir / "ours.uu")));
        EXPECT_EQ(ReadFile(dir / "back"), data) << n;

        ASSERT_TRUE(RunShell("cd " + Quote(dir.path()) + " && uuencode in.bin in.bin > peer.uu"));
        ASSERT_EQ(UudecodeFile(dir / "peer.uu", dir / "mine"), UUD_OK) << n;
        EXPECT_EQ(ReadFile(dir / "mine"), data) << n;

        // The same with CR LF line ends, as stored in the article cache.
        WriteFile(dir / "peer.crlf", Crlf(ReadFile(dir / "peer.uu")));
        ASSERT_EQ(UudecodeFile(dir / "peer.crlf", dir / "mine2"), UUD_OK) << n;
        EXPECT_EQ(ReadFile(dir / "mine2"), data) << n;
    }
}

TEST(TransferPeers, BinHexAgainstMacutils)
{
    REQUIRE_PEER("binhex");
    REQUIRE_PEER("hexbin");
    testutil::ScratchDir dir;
    for (size_t n : kSizes) {
        std::string data = Sample(n, static_cast<unsigned>(n) + 3);
        WriteFile(dir / "f.bin", data);
        ASSERT_TRUE(BinHexEncodeFile(dir / "f.bin", dir / "ours.hqx"));
        std::filesystem::remove(dir / "f.bin.data");
        ASSERT_TRUE(RunShell("cd " + Quote(dir.path()) + " && hexbin -d ours.hqx 2>/dev/null")) << n;
        EXPECT_EQ(ReadFile(dir / "f.bin.data"), data) << n;

        // The peer compresses runs; its introduction line differs from the
        // one the decoder looks for, so it is put back to the standard one.
        ASSERT_TRUE(RunShell("cd " + Quote(dir.path()) + " && binhex -d -t BINA -c '\?\?\?\?' f.bin > peer.hqx"));
        std::string peer = ReadFile(dir / "peer.hqx");
        size_t lf = peer.find('\n');
        ASSERT_NE(lf, std::string::npos);
        WriteFile(dir / "peer.hqx", "(This file must be converted with BinHex 4.0)" + peer.substr(lf));
        auto h = BinHexDecodeFile(dir / "peer.hqx", 0, {}, dir / "mine");
        ASSERT_TRUE(h) << n;
        EXPECT_EQ(h->name, "f.bin");
        EXPECT_EQ(h->type, "BINA");
        EXPECT_EQ(ReadFile(dir / "mine"), data) << n;
    }
}
