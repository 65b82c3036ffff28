#include <gtest/gtest.h>

#include "TestSupport.h"
#include "textcodec/BinHex.h"

namespace {
// Builds a BinHex text from a raw (already run-length encoded) byte stream.
std::string Pack(const std::string& stream)
{
    static const char* a = "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
    std::string s = stream;
    while (s.size() % 3)
        s += '\0';
    std::string out = "(This file must be converted with BinHex 4.0)\n:";
    for (size_t i = 0; i < s.size(); i += 3) {
        unsigned char b0 = s[i], b1 = s[i + 1], b2 = s[i + 2];
        out += a[b0 >> 2];
        out += a[(b0 << 4 | b1 >> 4) & 63];
        out += a[(b1 << 2 | b2 >> 6) & 63];
        out += a[b2 & 63];
    }
    return out + ":\n";
}

// The byte stream of a BinHex text (before run-length expansion).
std::string Unpack(const std::string& text)
{
    static const std::string a = "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
    size_t start = text.find("\n:") + 2;
    std::string bytes;
    unsigned v[4];
    int n = 0;
    for (size_t i = start; i < text.size() && text[i] != ':'; ++i) {
        if (text[i] == '\n')
            continue;
        v[n++] = static_cast<unsigned>(a.find(text[i]));
        if (n == 4) {
            bytes += static_cast<char>(v[0] << 2 | v[1] >> 4);
            bytes += static_cast<char>(v[1] << 4 | v[2] >> 2);
            bytes += static_cast<char>(v[2] << 6 | v[3]);
            n = 0;
        }
    }
    return bytes;
}

std::string Header(const std::string& name, const std::string& type, uint32_t dataLen)
{
    std::string h;
    h += static_cast<char>(name.size());
    h += name;
    h += '\0';
    h += type + "????";
    h += std::string(2, '\0');
    for (int s = 24; s >= 0; s -= 8)
        h += static_cast<char>(dataLen >> s);
    h += std::string(4, '\0');
    uint16_t crc = BinHexCrc(h);
    h += static_cast<char>(crc >> 8);
    h += static_cast<char>(crc);
    return h;
}

std::string Crc(const std::string& data)
{
    uint16_t crc = BinHexCrc(data);
    return std::string{static_cast<char>(crc >> 8), static_cast<char>(crc)};
}
} // namespace

TEST(BinHex, EncodedLayout)
{
    std::string text = BinHexEncode(std::string(1000, 'q'), "name.bin");
    auto lines = tctest::SplitLines(text);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "(This file must be converted with BinHex 4.0)");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2].size(), 64u);
    EXPECT_EQ(lines[2][0], ':');
    for (size_t i = 3; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i].size(), 64u) << i;
    EXPECT_TRUE(lines.back().ends_with("!!!!:"));
    EXPECT_LE(lines.back().size(), 68u);
    // Two files in a row get the same layout.
    EXPECT_EQ(BinHexEncode(std::string(1000, 'q'), "name.bin"), text);
}

TEST(BinHex, RunMarkerIsEscapedAndRestored)
{
    std::string data = std::string("a\x90\x90\x90z", 5) + std::string(300, '\x90');
    std::string text = BinHexEncode(data, "runs");
    BinHexHeader h;
    std::string out;
    ASSERT_EQ(BinHexDecode(text, h, &out), BinHexStatus::Ok);
    EXPECT_EQ(out, data);
    EXPECT_EQ(h.creator, "????");
    // The encoder escapes the marker and never compresses runs.
    std::string stream = Unpack(text);
    std::string expect = Header("runs", "????", static_cast<uint32_t>(data.size()));
    for (char c : data) {
        expect += c;
        if (c == '\x90')
            expect += '\0';
    }
    EXPECT_EQ(stream.substr(0, expect.size()), expect);
}

TEST(BinHex, DecodedStreams)
{
    EXPECT_EQ(BinHexCrc("123456789"), 0x31C3); // XMODEM
    const struct {
        std::string type, stream, out;
    } cases[] = {
        {"????", std::string("x\x90\x04y", 4), "xxxxy"}, // "x" then marker 4: four x in all
        {"????", std::string("\x90\x00", 2), "\x90"},    // an escaped marker
        {"TEXT", "one\rtwo\r", "one\r\ntwo\r\n"},       // text gets line feeds
    };
    for (const auto& c : cases) {
        std::string plain = c.type == "TEXT" ? c.stream : c.out;
        std::string stream = Header("r", c.type, static_cast<uint32_t>(plain.size())) + c.stream + Crc(plain) + "\0\0";
        BinHexHeader h;
        std::string out;
        ASSERT_EQ(BinHexDecode(Pack(stream), h, &out), BinHexStatus::Ok) << c.out;
        EXPECT_EQ(out, c.out);
    }
}

TEST(BinHex, Failures)
{
    BinHexHeader h;
    std::string out;
    EXPECT_EQ(BinHexDecode("no start line\n:abc:\n", h, &out), BinHexStatus::NoStart);
    EXPECT_EQ(BinHexDecode("(This file must be converted with BinHex 4.0)\nno colon\n", h, &out),
              BinHexStatus::NoStart);
    std::string good = Header("f", "????", 3);
    std::string bad = good;
    bad[bad.size() - 1] ^= 1;
    EXPECT_EQ(BinHexDecode(Pack(bad + "abc" + Crc("abc")), h, &out), BinHexStatus::BadHeader);
    // Header claims far more data than the stream holds: stops at the end.
    std::string huge = Header("f", "????", 0xFFFFFFFFu);
    EXPECT_EQ(BinHexDecode(Pack(huge + "abc"), h, &out), BinHexStatus::Truncated);
    EXPECT_EQ(BinHexDecode(Pack(good.substr(0, 10)), h, &out), BinHexStatus::BadHeader);
    EXPECT_EQ(BinHexDecode(Pack(good + "abc" + std::string("\x00\x01", 2)), h, &out), BinHexStatus::BadDataCrc);
    EXPECT_EQ(out, "abc");
}

TEST(BinHexFiles, RoundTripAndFailures)
{
    tctest::ScratchDir dir;
    std::string data = tctest::RandomBytes(5000, 3);
    tctest::WriteAll(dir / "in.dat", data);
    ASSERT_TRUE(BinHexEncodeFile(dir / "in.dat", dir / "in.hqx"));
    // Text in front of the block is skipped; the offset points into the file.
    tctest::WriteAll(dir / "msg", "Subject: x\r\n\r\n" + tctest::ReadAll(dir / "in.hqx"));
    tctest::WriteAll(dir / "mid", "stale");
    auto h = BinHexReadHeader(dir / "msg", 3, dir / "mid");
    ASSERT_TRUE(h);
    EXPECT_EQ(h->name, "in.dat");
    EXPECT_FALSE(std::filesystem::exists(dir / "mid"));
    auto d = BinHexDecodeFile(dir / "msg", 0, dir / "mid", dir / "out.dat");
    ASSERT_TRUE(d);
    EXPECT_EQ(tctest::ReadAll(dir / "out.dat"), data);

    // Wrong header CRC: nothing, and no output file.
    std::string text = tctest::ReadAll(dir / "in.hqx");
    size_t colon = text.find(':');
    text[colon + 3] = text[colon + 3] == 'A' ? 'B' : 'A';
    tctest::WriteAll(dir / "bad.hqx", text);
    EXPECT_FALSE(BinHexDecodeFile(dir / "bad.hqx", 0, {}, dir / "bad.out"));
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.out"));

    // Wrong data: failure reported, the written file kept.
    text = tctest::ReadAll(dir / "in.hqx");
    text[text.size() / 2] = text[text.size() / 2] == 'A' ? 'B' : 'A';
    tctest::WriteAll(dir / "baddata.hqx", text);
    EXPECT_FALSE(BinHexDecodeFile(dir / "baddata.hqx", 0, {}, dir / "baddata.out"));
    EXPECT_TRUE(std::filesystem::exists(dir / "baddata.out"));

    EXPECT_FALSE(BinHexEncodeFile(dir / "missing", dir / "x.hqx"));
    EXPECT_FALSE(BinHexReadHeader(dir / "missing", 0, {}));
}
