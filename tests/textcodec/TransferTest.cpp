// Base64, quoted-printable, uuencode and BinHex on their own. Round trips
// over many sizes are left to the peer comparisons in TransferPeerTest.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "CodecTest.h"
#include "textcodec/Base64.h"
#include "textcodec/BinHex.h"
#include "textcodec/CBase64.h"
#include "textcodec/CodecNotice.h"
#include "textcodec/QuotedPrintable.h"
#include "textcodec/Uuencode.h"

using namespace textcodec;

using testutil::ReadFile;
using testutil::WriteFile;

namespace {

// One line: its text, the count returned, the output.
struct LineCase {
    std::string in;
    size_t n;
    std::string out;
};

// A BinHex text from a raw (already run-length encoded) byte stream.
std::string Pack(std::string s)
{
    static const char a[] = "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
    while (s.size() % 3)
        s += '\0';
    std::string out = "(This file must be converted with BinHex 4.0)\n:";
    for (size_t i = 0; i < s.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(s[i]) << 16 | static_cast<unsigned char>(s[i + 1]) << 8 |
                           static_cast<unsigned char>(s[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6)
            out += a[v >> shift & 63];
    }
    return out + ":\n";
}

std::string Crc(const std::string& data)
{
    const uint16_t crc = BinHexCrc(data);
    return {static_cast<char>(crc >> 8), static_cast<char>(crc)};
}

std::string Header(const std::string& name, const std::string& type, uint32_t dataLen)
{
    std::string h = static_cast<char>(name.size()) + name + '\0' + type + "????" + std::string(2, '\0');
    for (int s = 24; s >= 0; s -= 8)
        h += static_cast<char>(dataLen >> s);
    h += std::string(4, '\0');
    return h + Crc(h);
}

} // namespace

TEST(Base64, LinesPadsAndStrayBytes)
{
    const LineCase cases[] = {
        {"YWJjZA==", 4, "abcd"},
        {"", 0, ""},
        {"YWJjZGU", 5, "abcde"}, // short last group
        {"YWJjZ", 3, "abc"},
        {std::string("YWJj\0ZGVm", 9), 3, "abc"},
        {"\xFF\x80\xC3\xA9", 3, std::string(3, '\0')}, // outside the alphabet counts as zero
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(Base64DecodeLine(out, c.in), c.n) << c.in;
        EXPECT_EQ(out, c.out) << c.in;
    }
    EXPECT_EQ(Base64EncodeLine(""), "\n");
    EXPECT_EQ(Base64EncodeLine("ab"), "YWI=\n");
}

TEST(Base64, FileLineLengthAndFailures)
{
    testutil::ScratchDir dir;
    WriteFile(dir / "in", std::string(55, 'x'));
    ASSERT_TRUE(Base64EncodeFile(dir / "in", dir / "out"));
    const std::string text = ReadFile(dir / "out");
    ASSERT_EQ(text.find('\n'), 72u);
    EXPECT_EQ(text.substr(73), "eA==\n");
    EXPECT_FALSE(Base64EncodeFile(dir / "missing", dir / "out"));
    EXPECT_FALSE(Base64EncodeFile(dir / "in", dir / "no" / "such" / "out"));
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(Base64EncodeFile(dir / "in", "/dev/full")); // write failure is reported
    }
}

TEST(CBase64, FormsAndTheirSizeQueries)
{
    CBase64 b;
    std::string out;
    for (auto [plain, enc] : {std::pair{"", ""}, {"ab", "YWI="}, {"abcd\r\nef", "YWJjZA0KZWY="}}) {
        EXPECT_EQ(b.EncodeString(plain, out), 0);
        EXPECT_EQ(out, enc);
        EXPECT_EQ(b.DecodeString(out, out), 0);
        EXPECT_EQ(out, plain);
    }
    for (const char* bad : {"YWJ", "YW*j", "YW\xC3j"})
        EXPECT_EQ(b.DecodeString(bad, out), 1) << bad;
    EXPECT_EQ(b.DecodeString("YWJj", out), 0); // a later good input still decodes
    EXPECT_EQ(out, "abc");
    EXPECT_EQ(b.EncodeSize(0xBFFFFFFFu), 0u); // the size would wrap

    using Size = size_t (CBase64::*)(size_t);
    using Op = int (CBase64::*)(size_t, size_t&, const char*, char*);
    const struct {
        Size size;
        Op op;
        const char* name;
        std::string in;
        int rc;
        std::string out;
    } cases[] = {
        {&CBase64::ToUTF7Size, &CBase64::Base64ToBase64InUTF7, "Base64ToBase64InUTF7", "YR==", 0, "YQ"},
        {&CBase64::ToUTF7Size, &CBase64::Base64ToBase64InUTF7, "Base64ToBase64InUTF7", "YWJ", 1, ""},
        {&CBase64::FromUTF7Size, &CBase64::Base64InUTF7ToBase64, "Base64InUTF7ToBase64", "YWI", 0, "YWI="},
        {&CBase64::UTF7ToIMAP4Size, &CBase64::Base64InUTF7ToBase64InIMAP4, "Base64InUTF7ToBase64InIMAP4", "a/b/", 0,
         "a,b,"},
        {&CBase64::IMAP4ToUTF7Size, &CBase64::Base64InIMAP4ToBase64InUTF7, "Base64InIMAP4ToBase64InUTF7", "a,b,", 0,
         "a/b/"},
    };
    // Without its size query (or after its one use) an operation refuses and says so.
    std::vector<std::string> texts, want;
    const CodecNoticeHandler notice = [&](std::string_view t) { texts.emplace_back(t); };
    for (const auto& c : cases) {
        CBase64 fresh(notice);
        char buf[32];
        size_t n = 0;
        (fresh.*c.size)(c.in.size());
        EXPECT_EQ((fresh.*c.op)(c.in.size(), n, c.in.c_str(), buf), c.rc) << c.name << " " << c.in;
        if (c.rc == 0) {
            EXPECT_EQ(std::string(buf, n), c.out) << c.name;
            EXPECT_EQ((fresh.*c.op)(c.in.size(), n, c.in.c_str(), buf), 2) << c.name;
            want.push_back(std::string("CBase64::") + c.name + "() -> notYetAllocBuffer");
        }
    }
    EXPECT_EQ(texts, want);
}

TEST(QuotedPrintable, DecodeLine)
{
    const LineCase cases[] = {
        {"caf=E9 ok\r\n", 9, "caf\xE9 ok\r\n"},
        {"soft=", 4, "soft"},
        {"lower=e9", 8, "lower\xE9\r\n"},
        // "=" without two digits is kept; nothing is read past the end.
        {"a=4", 5, "a=4\r\n"},
        {"a=ZZb", 7, "a=ZZb\r\n"},
        {"=", 0, ""},
        {"x=3D=\r\n", 2, "x="},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(DecodeQuotedPrintableLine(c.in, out), c.n) << c.in;
        EXPECT_EQ(out, c.out) << c.in;
    }
}

TEST(Uuencode, EncodeFileModeBaseNameAndFailures)
{
    testutil::ScratchDir dir;
    std::filesystem::create_directory(dir / "sub");
    WriteFile(dir / "sub" / "a.txt", "Cat");
    ::chmod((dir / "sub" / "a.txt").c_str(), 0640);
    ASSERT_EQ(UuencodeFile(dir / "sub" / "a.txt", dir / "out"), UU_OK);
    EXPECT_EQ(ReadFile(dir / "out"), "begin 640 a.txt\n#0V%T\n`\nend\n");
    EXPECT_EQ(Uuencode("x", 0644, "dir\\name.bin").substr(0, 22), "begin 644 dir\\name.bin");
    EXPECT_EQ(UuencodeFile(dir / "missing", dir / "out"), UU_INPUT_FAILED);
    EXPECT_EQ(UuencodeFile(dir / "sub" / "a.txt", dir / "no" / "out"), UU_OUTPUT_FAILED);
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(UuencodeFile(dir / "sub" / "a.txt", "/dev/full"), UU_OUTPUT_FAILED);
    }
}

TEST(Uuencode, DecodeResults)
{
    testutil::ScratchDir dir;
    EXPECT_EQ(UudecodeFile(dir / "missing", dir / "out"), UUD_INPUT_FAILED);
    WriteFile(dir / "nobegin", "hello\nbegin\nbegin \n#0V%T\n`\nend\n");
    EXPECT_EQ(UudecodeFile(dir / "nobegin", dir / "out"), UUD_NO_BEGIN);
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    WriteFile(dir / "ok", "text before\nbegin 644 cat.txt\n#0V%T\n`\nend\n");
    EXPECT_EQ(UudecodeFile(dir / "ok", dir / "no" / "out"), UUD_OUTPUT_FAILED);
    const std::pair<const char*, int> cases[] = {
        {"text before\nbegin 644 cat.txt\n#0V%T\n`\nend\n", UUD_OK},
        {"begin 644 cat.txt\r\n#0V%T\r\n`\r\nend\r\n.\r\n", UUD_OK}, // CR LF lines, as in the article cache
        {"begin 644 cat.txt\n#0V%T\n`\n.\n", UUD_NO_END},           // the data stays written
    };
    for (const auto& [text, result] : cases) {
        WriteFile(dir / "in", text);
        std::filesystem::remove(dir / "out");
        EXPECT_EQ(UudecodeFile(dir / "in", dir / "out"), result) << text;
        EXPECT_EQ(ReadFile(dir / "out"), "Cat") << text;
    }
    // Count 'M' (45) but only one group present: missing characters are zero.
    std::string data;
    EXPECT_EQ(Uudecode("begin 644 x\nM0V%T\n`\nend\n", data), UUD_OK);
    EXPECT_EQ(data, "Cat" + std::string(42, '\0'));
    // A line longer than 80 characters is one line, not two.
    EXPECT_EQ(Uudecode("begin 644 x\n#0V%T" + std::string(100, 'A') + "\n`\nend\n", data), UUD_OK);
    EXPECT_EQ(data, "Cat");
}

TEST(BinHex, EncodedLayout)
{
    const std::string text = BinHexEncode(std::string(1000, 'q'), "name.bin");
    const auto lines = testutil::SplitLines(text);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "(This file must be converted with BinHex 4.0)");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2][0], ':');
    for (size_t i = 2; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i].size(), 64u) << i;
    EXPECT_TRUE(lines.back().ends_with("!!!!:"));
    EXPECT_LE(lines.back().size(), 68u);
    EXPECT_EQ(BinHexEncode(std::string(1000, 'q'), "name.bin"), text); // no state carried between files
}

TEST(BinHex, DecodedStreamsAndFailures)
{
    EXPECT_EQ(BinHexCrc("123456789"), 0x31C3); // XMODEM
    const struct {
        std::string type, stream, out;
    } cases[] = {
        {"????", std::string("x\x90\x04y", 4), "xxxxy"}, // "x" then marker 4: four x in all
        {"????", std::string("\x90\x00", 2), "\x90"},    // an escaped marker
        {"TEXT", "one\rtwo\r", "one\r\ntwo\r\n"},       // text gets line feeds
    };
    BinHexHeader h;
    std::string out;
    for (const auto& c : cases) {
        const std::string plain = c.type == "TEXT" ? c.stream : c.out;
        const std::string stream = Header("r", c.type, static_cast<uint32_t>(plain.size())) + c.stream + Crc(plain);
        ASSERT_EQ(BinHexDecode(Pack(stream + "\0\0"), h, &out), BinHexStatus::Ok) << c.out;
        EXPECT_EQ(out, c.out);
    }

    const std::string good = Header("f", "????", 3);
    std::string bad = good;
    bad.back() ^= 1;
    const std::pair<std::string, BinHexStatus> failures[] = {
        {"no start line\n:abc:\n", BinHexStatus::NoStart},
        {"(This file must be converted with BinHex 4.0)\nno colon\n", BinHexStatus::NoStart},
        {Pack(bad + "abc" + Crc("abc")), BinHexStatus::BadHeader},
        {Pack(good.substr(0, 10)), BinHexStatus::BadHeader},
        // A header claiming far more data than the stream holds stops at the end.
        {Pack(Header("f", "????", 0xFFFFFFFFu) + "abc"), BinHexStatus::Truncated},
        {Pack(good + "abc" + std::string("\x00\x01", 2)), BinHexStatus::BadDataCrc},
    };
    for (const auto& [text, status] : failures)
        EXPECT_EQ(BinHexDecode(text, h, &out), status) << text;
    EXPECT_EQ(out, "abc");
}

TEST(BinHex, FilesRoundTripAndFailures)
{
    testutil::ScratchDir dir;
    const std::string data = testutil::RandomBytes(5000, 3);
    WriteFile(dir / "in.dat", data);
    ASSERT_TRUE(BinHexEncodeFile(dir / "in.dat", dir / "in.hqx"));
    // Text in front of the block is skipped; the offset points into the file.
    WriteFile(dir / "msg", "Subject: x\r\n\r\n" + ReadFile(dir / "in.hqx"));
    WriteFile(dir / "mid", "stale");
    auto h = BinHexReadHeader(dir / "msg", 3, dir / "mid");
    ASSERT_TRUE(h);
    EXPECT_EQ(h->name, "in.dat");
    EXPECT_FALSE(std::filesystem::exists(dir / "mid"));
    ASSERT_TRUE(BinHexDecodeFile(dir / "msg", 0, dir / "mid", dir / "out.dat"));
    EXPECT_EQ(ReadFile(dir / "out.dat"), data);

    // A wrong header CRC gives nothing, not even an output file; wrong data
    // is reported and the written file kept.
    for (bool inHeader : {true, false}) {
        std::string text = ReadFile(dir / "in.hqx");
        const size_t at = inHeader ? text.find(':') + 3 : text.size() / 2;
        text[at] = text[at] == 'A' ? 'B' : 'A';
        WriteFile(dir / "bad.hqx", text);
        std::filesystem::remove(dir / "bad.out");
        EXPECT_FALSE(BinHexDecodeFile(dir / "bad.hqx", 0, {}, dir / "bad.out"));
        EXPECT_EQ(std::filesystem::exists(dir / "bad.out"), !inHeader);
    }
    EXPECT_FALSE(BinHexEncodeFile(dir / "missing", dir / "x.hqx"));
    EXPECT_FALSE(BinHexReadHeader(dir / "missing", 0, {}));
    BinHexHeader none;
    EXPECT_EQ(BinHexDecodeFileTo(dir / "missing", 0, none, dir / "x.dat"), BinHexStatus::ReadFailed);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.dat"));
}
