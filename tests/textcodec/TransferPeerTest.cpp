// The transfer encodings against coreutils base64, python3 quopri,
// sharutils and macutils. A missing peer skips its test.

#include <gtest/gtest.h>

#include "support/TestFiles.h"
#include "textcodec/Base64.h"
#include "textcodec/BinHex.h"
#include "textcodec/QuotedPrintable.h"
#include "textcodec/Uuencode.h"

using namespace textcodec;

using namespace testutil;

namespace {

// Random bytes of sizes around the line lengths, with runs of the BinHex run
// marker and of other bytes in the large ones.
std::string Sample(size_t n)
{
    std::string s = testutil::RandomBytes(n, static_cast<unsigned>(n) + 1);
    if (n > 600) {
        std::fill(s.begin() + 100, s.begin() + 400, '\x90');
        std::fill(s.begin() + 450, s.begin() + 600, 'A');
    }
    return s;
}

std::string Python(const std::string& expr, const std::filesystem::path& in, const std::filesystem::path& out)
{
    return "python3 -c 'import quopri,sys; sys.stdout.buffer.write(quopri." + expr +
           "(open(sys.argv[1],\"rb\").read()))' " + Quote(in) + " > " + Quote(out);
}

} // namespace

// Each way through coreutils base64, sharutils and macutils: ours decoded by
// the peer and the peer's decoded by ours. A missing peer is skipped.
TEST(TransferPeers, Base64UuencodeAndBinHexAgainstTheirPeers)
{
    const bool b64 = testutil::HaveProgram("base64"), uu = testutil::HaveProgram("uuencode") && testutil::HaveProgram("uudecode"),
               hqx = testutil::HaveProgram("binhex") && testutil::HaveProgram("hexbin");
    if (!b64 && !uu && !hqx)
        GTEST_SKIP() << "none of base64, sharutils and macutils installed";
    testutil::ScratchDir dir;
    const std::string cd = "cd " + Quote(dir.path()) + " && ";
    for (size_t n : {0, 1, 2, 3, 44, 45, 46, 53, 54, 55, 56, 57, 1000, 1 << 20}) {
        SCOPED_TRACE(n);
        const std::string data = Sample(n);
        WriteFile(dir / "in.bin", data);
        if (b64) {
            ASSERT_TRUE(Base64EncodeFile(dir / "in.bin", dir / "ours.b64"));
            ASSERT_TRUE(RunShell(cd + "base64 -d ours.b64 > back && base64 -w 76 in.bin > peer.b64"));
            EXPECT_EQ(ReadFile(dir / "back"), data);
            std::string decoded, line;
            for (const auto& l : SplitLines(ReadFile(dir / "peer.b64")))
                decoded += (Base64DecodeLine(line, l), line);
            EXPECT_EQ(decoded, data);
        }
        if (uu) {
            ASSERT_EQ(UuencodeFile(dir / "in.bin", dir / "ours.uu"), UU_OK);
            ASSERT_TRUE(RunShell(cd + "uudecode -o back ours.uu && uuencode in.bin in.bin > peer.uu"));
            EXPECT_EQ(ReadFile(dir / "back"), data);
            // Also with CR LF line ends, as stored in the article cache.
            WriteFile(dir / "peer.crlf", Crlf(ReadFile(dir / "peer.uu")));
            for (const char* peer : {"peer.uu", "peer.crlf"}) {
                ASSERT_EQ(UudecodeFile(dir / peer, dir / "mine"), UUD_OK) << peer;
                EXPECT_EQ(ReadFile(dir / "mine"), data) << peer;
            }
        }
        if (hqx) {
            ASSERT_TRUE(BinHexEncodeFile(dir / "in.bin", dir / "ours.hqx"));
            std::filesystem::remove(dir / "in.bin.data");
            // The peer compresses runs; its introduction line differs from the
            // one the decoder looks for, so it is put back to the standard one.
            ASSERT_TRUE(RunShell(cd + "hexbin -d ours.hqx 2>/dev/null && binhex -d -t BINA -c '\?\?\?\?' in.bin > peer.hqx"));
            EXPECT_EQ(ReadFile(dir / "in.bin.data"), data);
            const std::string peer = ReadFile(dir / "peer.hqx");
            ASSERT_NE(peer.find('\n'), std::string::npos);
            WriteFile(dir / "peer.hqx", "(This file must be converted with BinHex 4.0)" + peer.substr(peer.find('\n')));
            auto h = BinHexDecodeFile(dir / "peer.hqx", 0, {}, dir / "mine");
            ASSERT_TRUE(h);
            EXPECT_EQ(h->name + "|" + h->type, "in.bin|BINA");
            EXPECT_EQ(ReadFile(dir / "mine"), data);
        }
    }
}

TEST(TransferPeers, QuotedPrintableAgainstPython)
{
    REQUIRE_PEER("python3");
    testutil::ScratchDir dir;
    // Text-like data (no bare CR) with long lines, high bytes, "=" and trailing blanks.
    std::string text = testutil::RandomBytes(20000, 11);
    for (size_t i = 1; i < text.size(); ++i)
        if (i % 97 == 0)
            text[i - 1] = ' ', text[i] = '\n';
        else if (static_cast<unsigned char>(text[i]) < 0x20 && text[i] != '\t')
            text[i] = i % 7 == 0 ? '\n' : 'a';
    text += "\n";
    WriteFile(dir / "in", text);
    ASSERT_TRUE(RunShell(Python("encodestring", dir / "in", dir / "qp")));
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
    ASSERT_TRUE(RunShell(Python("decodestring", dir / "ours.qp", dir / "back")));
    EXPECT_EQ(ReadFile(dir / "back"), text);
}
