// The block-wise tools and the stream codecs give the bytes of a whole-text
// run, whatever a block boundary cuts.

#include "CodecTest.h"
#include "textcodec/Base64.h"
#include "textcodec/Base64Codec.h"
#include "textcodec/BinHex.h"
#include "textcodec/CodeConverter.h"
#include "textcodec/ConvertStream.h"
#include "textcodec/QuotedPrintable.h"
#include "textcodec/Uuencode.h"

#include <functional>
#include <memory>

#include <gtest/gtest.h>

using namespace textcodec;

namespace {

// The converter fed the whole text at once.
std::string WholeText(const std::string& text, int code, bool widen)
{
    CodeConverter cv;
    EXPECT_EQ(cv.Init(text.size() + 4), 0);
    EXPECT_EQ(cv.SetCode(code, TC_SJIS), 0);
    cv.KeepHalfKana(!widen);
    cv.ComposeMarks(widen);
    EXPECT_EQ(cv.Put(text.data(), text.size()), 0);
    EXPECT_EQ(cv.EndInput(), 0);
    std::string out, buf(1 << 16, '\0');
    while (size_t n = cv.Get(buf.data(), buf.size()))
        out.append(buf.data(), n);
    return out + buf.substr(0, cv.GetRest(buf.data(), buf.size()));
}

std::string Streamed(const std::string& command, int code, bool widen)
{
    std::FILE* in = popen(command.c_str(), "r");
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(ConvertStream(in, out, code, TC_SJIS, widen).status, StreamStatus::Ok);
    pclose(in);
    std::string result(static_cast<size_t>(std::ftell(out)), '\0');
    std::rewind(out);
    EXPECT_EQ(std::fread(result.data(), 1, result.size(), out), result.size());
    std::fclose(out);
    return result;
}

TEST(Streaming, ConversionAcrossTheBlockBoundary)
{
    const struct {
        const char* name;
        int code;
        bool widen;
        std::string before, after; // the last bytes of the first block, the rest
    } rows[] = {
        {"escape cut after ESC", TC_AUTO, false, "\x1B", "$B$\"\x1B(B\n"},
        {"escape cut inside, no final LF", TC_AUTO, false, "\x1B$", "B$\"$$\x1B(B"},
        {"double-byte pair cut", TC_AUTO_SJIS, false, "\x1B$B$", "\"\x1B(B\r\n"},
        {"CR LF cut", TC_AUTO, false, "x\r", "\ny\r\n"},
        {"Shift_JIS lead cut", TC_SJIS, false, "\x82", "\xA0\n"},
        {"EUC decided after the cut", TC_AUTO, false, "", "\xA4\xA2\xA4\xA4\n"},
        {"a later kana shift decides the whole text", TC_AUTO_SJIS, false, "\x1B$B$\"\x1B(B\n", "\x1B(I1\x1B(B\n"},
        {"kana and its voiced mark cut", TC_SJIS, true, "\xB6", "\xDE\n"},
        {"JIS left open at the end", TC_AUTO, false, "abc", "\x1B$B$\""},
    };
    testutil::ScratchDir dir;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string text(kStreamBlock - r.before.size(), 'a');
        for (size_t i = 63; i < text.size(); i += 64)
            text[i] = '\n';
        text += r.before + r.after;
        testutil::WriteFile(dir / "in", text);
        const std::string want = WholeText(text, r.code, r.widen);
        EXPECT_EQ(Streamed("cat < " + testutil::Quote(dir / "in"), r.code, r.widen), want) << "pipe";
        std::FILE* file = std::fopen((dir / "in").c_str(), "rb");
        std::FILE* out = std::fopen((dir / "out").c_str(), "wb");
        EXPECT_EQ(ConvertStream(file, out, r.code, TC_SJIS, r.widen).status, StreamStatus::Ok);
        std::fclose(file);
        std::fclose(out);
        EXPECT_EQ(testutil::ReadFile(dir / "out"), want) << "file";
    }
}

TEST(Streaming, Base64FilesAcrossTheBlockBoundary)
{
    const struct {
        const char* name;
        std::string before, after;
        bool valid;
    } rows[] = {
        {"group cut", "QU", "JD\nQQ==\n", true},
        {"pads end the first block", "QQ==", "", true},
        {"CR LF cut", "QUJD\r", "\nQUI", true},
        {"pad in the middle, short last group", "QQ=", "=QUJDQ", true},
        {"stray byte after the cut", "QUJD", "QU!D\n", false},
    };
    testutil::ScratchDir dir;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string text;
        while (text.size() + 77 <= kBase64TextBlock - r.before.size())
            text += std::string(76, 'Q') + '\n';
        text += std::string(kBase64TextBlock - r.before.size() - text.size(), ' ') + r.before + r.after;
        testutil::WriteFile(dir / "in", text);
        testutil::WriteFile(dir / "out", "old");
        const Base64FileStatus status = Base64DecodeFile(dir / "in", dir / "out");
        if (!r.valid) {
            // Bad text found after a block was written leaves the old file and no partial one.
            EXPECT_EQ(status, Base64FileStatus::NotBase64);
            EXPECT_EQ(testutil::ReadFile(dir / "out"), "old");
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
            continue;
        }
        std::string chars, want;
        for (char c : text)
            if (c != '\r' && c != '\n' && c != ' ')
                chars += c;
        Base64DecodeLine(want, chars);
        ASSERT_EQ(status, Base64FileStatus::Ok);
        EXPECT_EQ(testutil::ReadFile(dir / "out"), want);
    }
    testutil::WriteFile(dir / "self", "QUJD\n");
    ASSERT_EQ(Base64DecodeFile(dir / "self", dir / "self"), Base64FileStatus::Ok);
    EXPECT_EQ(testutil::ReadFile(dir / "self"), "ABC");
}

// Every stream codec gives the same bytes and the same verdict whether the
// text comes whole or cut anywhere: a carry bug shows as a difference.
TEST(Streaming, EveryCodecIgnoresWhereItsInputIsCut)
{
    const std::string binary = [] {
        std::string s;
        for (int i = 0; i < 300; ++i)
            s += static_cast<char>(i * 37 % 256);
        return s + std::string(40, '\x90') + std::string(200, 'a');
    }();
    const struct {
        const char* name;
        std::function<std::unique_ptr<StreamCodec>()> make;
        std::string in;
        bool refused = false; // what came before the refusal is thrown away, wherever the cut
    } rows[] = {
        {"base64 lines", [] { return std::make_unique<Base64Encoder>(); }, binary},
        {"base64 run", [] { return std::make_unique<Base64Encoder>(0); }, binary.substr(0, 100)},
        {"base64 decode run with pads last", [] { return std::make_unique<Base64Decoder>(); }, "YWJj ZA=="},
        {"base64 decode short end", [] { return std::make_unique<Base64Decoder>(); }, "YWJjZGU"},
        {"base64 decode stops at NUL", [] { return std::make_unique<Base64Decoder>(); },
         std::string("YWJj\0ZGVm", 9)},
        {"base64 text with blanks", [] { return std::make_unique<Base64Decoder>(Base64Decoder::Input::Text); },
         Base64EncodeText(binary) + " \t\r\n"},
        {"base64 text refused", [] { return std::make_unique<Base64Decoder>(Base64Decoder::Input::Text); },
         "YWJj\nZG!V\n", true},
        {"qp encode blanks before CR LF", [] { return std::make_unique<QuotedPrintableEncoder>(); },
         "a \r\nb\t\nc=d " + binary.substr(0, 90) + " "},
        {"qp decode soft breaks", [] { return std::make_unique<QuotedPrintableDecoder>(); },
         "caf=E9 =\r\nok=3D\nlast="},
        {"uuencode", [] { return std::make_unique<UuencodeEncoder>(0644, "x.bin"); }, binary},
        {"uudecode", [] { return std::make_unique<UudecodeDecoder>(); },
         "junk\r\n" + Uuencode(binary, 0600, "y") + "after\n"},
        {"uudecode no end", [] { return std::make_unique<UudecodeDecoder>(); }, "begin 644 z\n#86)C\n"},
        {"binhex encode", [&binary] { return std::make_unique<BinHexEncoder>("n", uint32_t(binary.size())); }, binary},
        {"binhex decode", [] { return std::make_unique<BinHexDecoder>(); },
         "x\r\n" + BinHexEncode(binary, "name") + "tail"},
        {"binhex decode cut short", [] { return std::make_unique<BinHexDecoder>(); },
         BinHexEncode(binary, "name").substr(0, 200)},
    };
    for (const auto& row : rows) {
        auto whole = row.make();
        const std::string want = RunCodec(*whole, row.in);
        for (size_t piece : {1, 2, 3, 5, 7, 64}) {
            auto codec = row.make();
            const std::string got = RunCodecInPieces(*codec, row.in, piece);
            if (!row.refused) {
                EXPECT_EQ(got, want) << row.name << " in pieces of " << piece;
            }
            EXPECT_EQ(codec->Problem(), whole->Problem()) << row.name << " in pieces of " << piece;
        }
    }
}

} // namespace
