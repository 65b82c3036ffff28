// The block-wise tools give the bytes of a whole-text run, whatever a block
// boundary cuts: each row's text is split exactly at the first boundary.

#include "CodecTest.h"
#include "textcodec/Base64.h"
#include "textcodec/CodeConverter.h"
#include "textcodec/ConvertStream.h"

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

} // namespace
