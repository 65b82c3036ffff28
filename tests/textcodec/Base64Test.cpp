#include <gtest/gtest.h>

#include "TestSupport.h"
#include "textcodec/Base64.h"
#include "textcodec/CBase64.h"
#include "textcodec/CodecNotice.h"
#include "textcodec/QuotedPrintable.h"

TEST(Base64DecodeLine, LengthsAndPads)
{
    std::string out;
    EXPECT_EQ(Base64DecodeLine(out, "YWJj"), 3u);
    EXPECT_EQ(out, "abc");
    EXPECT_EQ(Base64DecodeLine(out, "YWJjZA=="), 4u); // 2 less than a multiple of 3
    EXPECT_EQ(out, "abcd");
    EXPECT_EQ(Base64DecodeLine(out, "YWJjZGU="), 5u);
    EXPECT_EQ(Base64DecodeLine(out, ""), 0u);
    EXPECT_EQ(out, "");
}

TEST(Base64DecodeLine, ShortLastGroupAndTerminatorAreRespected)
{
    std::string out;
    EXPECT_EQ(Base64DecodeLine(out, "YWJjZA"), 4u);
    EXPECT_EQ(out, "abcd");
    EXPECT_EQ(Base64DecodeLine(out, "YWJjZGU"), 5u);
    EXPECT_EQ(Base64DecodeLine(out, "YWJjZ"), 3u);
    EXPECT_EQ(Base64DecodeLine(out, std::string("YWJj\0ZGVm", 9)), 3u);
    // Bytes outside the alphabet (high ones included) count as zero.
    EXPECT_EQ(Base64DecodeLine(out, "\xFF\x80\xC3\xA9"), 3u);
    EXPECT_EQ(out, std::string(3, '\0'));
}

TEST(Base64EncodeLine, Forms)
{
    EXPECT_EQ(Base64EncodeLine(""), "\n");
    EXPECT_EQ(Base64EncodeLine("a"), "YQ==\n");
    EXPECT_EQ(Base64EncodeLine("ab"), "YWI=\n");
    EXPECT_EQ(Base64EncodeLine("abc"), "YWJj\n");
}

TEST(Base64EncodeFile, FiftyFiveBytesGiveTwoLines)
{
    tctest::ScratchDir dir;
    tctest::WriteAll(dir / "in", std::string(55, 'x'));
    ASSERT_TRUE(Base64EncodeFile(dir / "in", dir / "out"));
    std::string text = tctest::ReadAll(dir / "out");
    size_t lf = text.find('\n');
    ASSERT_EQ(lf, 72u);
    EXPECT_EQ(text.substr(73), "eA==\n");
}

TEST(Base64EncodeFile, Failures)
{
    tctest::ScratchDir dir;
    EXPECT_FALSE(Base64EncodeFile(dir / "missing", dir / "out"));
    tctest::WriteAll(dir / "in", "x");
    EXPECT_FALSE(Base64EncodeFile(dir / "in", dir / "no" / "such" / "out"));
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(Base64EncodeFile(dir / "in", "/dev/full")); // write failure is reported
    }
}

namespace {
struct NoticeCapture {
    std::vector<std::string> texts;
    CodecNoticeHandler old;
    NoticeCapture()
    {
        old = SetCodecNoticeHandler([this](std::string_view t) { texts.emplace_back(t); });
    }
    ~NoticeCapture() { SetCodecNoticeHandler(old); }
};
} // namespace

TEST(CBase64, EncodeAndDecode)
{
    CBase64 b;
    std::string out;
    EXPECT_EQ(b.EncodeString("", out), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(b.EncodeString("a", out), 0);
    EXPECT_EQ(out, "YQ==");
    EXPECT_EQ(b.EncodeString("abcd\r\nef", out), 0);
    EXPECT_EQ(out, "YWJjZA0KZWY=");
    EXPECT_EQ(b.DecodeString(out, out), 0);
    EXPECT_EQ(out, "abcd\r\nef");
    EXPECT_EQ(b.DecodeString("YQ==", out), 0);
    EXPECT_EQ(out, "a");
    EXPECT_EQ(b.DecodeString("YWI=", out), 0);
    EXPECT_EQ(out, "ab");
    EXPECT_EQ(b.DecodeString("YWJ", out), 1);
    EXPECT_EQ(b.DecodeString("YW*j", out), 1);
    EXPECT_EQ(b.DecodeString("YW\xC3j", out), 1);
    EXPECT_TRUE(b.ErrorFlag());
    // A later good input still decodes.
    EXPECT_EQ(b.DecodeString("YWJj", out), 0);
    EXPECT_EQ(out, "abc");
    EXPECT_EQ(b.EncodeSize(0xBFFFFFFFu), 0u);
    EXPECT_EQ(b.EncodeSize(3), 3u + 4u);
    EXPECT_EQ(b.DecodeSize(5), 6u);
}

TEST(CBase64, EveryOperationNeedsItsOwnSizeQuery)
{
    NoticeCapture cap;
    CBase64 b;
    char out[16];
    size_t n = 0;
    b.DecodeSize(4);
    EXPECT_EQ(b.Decode(4, n, "YWJj", out), 0);
    EXPECT_EQ(b.Decode(4, n, "YWJj", out), 2);
    EXPECT_EQ(b.Encode(1, n, "a", out), 2);
    EXPECT_EQ(b.Base64ToBase64InUTF7(4, n, "YQ==", out), 2);
    EXPECT_EQ(b.Base64InUTF7ToBase64(2, n, "YQ", out), 2);
    EXPECT_EQ(b.Base64InUTF7ToBase64InIMAP4(2, n, "YQ", out), 2);
    EXPECT_EQ(b.Base64InIMAP4ToBase64InUTF7(2, n, "YQ", out), 2);
    ASSERT_EQ(cap.texts.size(), 6u);
    EXPECT_EQ(cap.texts[0], "CBase64::Decode() -> notYetAllocBuffer");
    EXPECT_EQ(cap.texts[1], "CBase64::Encode() -> notYetAllocBuffer");
    EXPECT_EQ(cap.texts[2], "CBase64::Base64ToBase64InUTF7() -> notYetAllocBuffer");
    EXPECT_EQ(cap.texts[3], "CBase64::Base64InUTF7ToBase64() -> notYetAllocBuffer");
    EXPECT_EQ(cap.texts[4], "CBase64::Base64InUTF7ToBase64InIMAP4() -> notYetAllocBuffer");
    EXPECT_EQ(cap.texts[5], "CBase64::Base64InIMAP4ToBase64InUTF7() -> notYetAllocBuffer");
}

TEST(CBase64, Utf7AndImap4Forms)
{
    CBase64 b;
    char out[32];
    size_t n = 0;
    b.ToUTF7Size(4);
    EXPECT_EQ(b.Base64ToBase64InUTF7(4, n, "YR==", out), 0); // unused bits cleared
    EXPECT_EQ(std::string(out, n), "YQ");
    b.ToUTF7Size(4);
    EXPECT_EQ(b.Base64ToBase64InUTF7(4, n, "YWJ=", out), 0);
    EXPECT_EQ(std::string(out, n), "YWI");
    b.ToUTF7Size(3);
    EXPECT_EQ(b.Base64ToBase64InUTF7(3, n, "YWJ", out), 1);
    b.ToUTF7Size(0);
    EXPECT_EQ(b.Base64ToBase64InUTF7(0, n, "", out), 0);
    EXPECT_EQ(n, 0u);
    b.FromUTF7Size(2);
    EXPECT_EQ(b.Base64InUTF7ToBase64(2, n, "YQ", out), 0);
    EXPECT_EQ(std::string(out, n), "YQ==");
    b.FromUTF7Size(3);
    EXPECT_EQ(b.Base64InUTF7ToBase64(3, n, "YWI", out), 0);
    EXPECT_EQ(std::string(out, n), "YWI=");
    b.FromUTF7Size(5);
    EXPECT_EQ(b.Base64InUTF7ToBase64(5, n, "YWJjZ", out), 1);
    b.UTF7ToIMAP4Size(4);
    EXPECT_EQ(b.Base64InUTF7ToBase64InIMAP4(4, n, "a/b/", out), 0);
    EXPECT_EQ(std::string(out, n), "a,b,");
    b.IMAP4ToUTF7Size(4);
    EXPECT_EQ(b.Base64InIMAP4ToBase64InUTF7(4, n, "a,b,", out), 0);
    EXPECT_EQ(std::string(out, n), "a/b/");
    EXPECT_EQ(CBase64::ToIMAP4String("+/x/"), "+,x,");
    EXPECT_EQ(CBase64::FromIMAP4String("+,x,"), "+/x/");
}

TEST(DecodeQuotedPrintableLine, Forms)
{
    std::string out;
    EXPECT_EQ(DecodeQuotedPrintableLine("caf=E9 ok\r\n", out), 9u);
    EXPECT_EQ(out, "caf\xE9 ok\r\n");
    EXPECT_EQ(DecodeQuotedPrintableLine("soft=", out), 4u);
    EXPECT_EQ(out, "soft");
    EXPECT_EQ(DecodeQuotedPrintableLine("lower=e9", out), 8u);
    EXPECT_EQ(out, "lower\xE9\r\n");
    // "=" without two digits is kept; nothing is read past the end.
    EXPECT_EQ(DecodeQuotedPrintableLine("a=4", out), 5u);
    EXPECT_EQ(out, "a=4\r\n");
    EXPECT_EQ(DecodeQuotedPrintableLine("a=ZZb", out), 7u);
    EXPECT_EQ(out, "a=ZZb\r\n");
    EXPECT_EQ(DecodeQuotedPrintableLine("", out), 2u);
    EXPECT_EQ(DecodeQuotedPrintableLine("=", out), 0u);
    EXPECT_EQ(DecodeQuotedPrintableLine("x=3D=\r\n", out), 2u);
    EXPECT_EQ(out, "x=");
}

TEST(EncodeQuotedPrintable, RoundTripsThroughTheLineDecoder)
{
    std::string text = "caf\xE9 = ok \r\nline two\t\n" + std::string(200, 'x') + "\n\x01\x7F end ";
    std::string qp = EncodeQuotedPrintable(text);
    std::string decoded, pending, out;
    size_t pos = 0, lf;
    while ((lf = qp.find('\n', pos)) != std::string::npos || pos < qp.size()) {
        std::string line = qp.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
        pos = lf == std::string::npos ? qp.size() : lf + 1;
        EXPECT_LE(line.size(), 76u);
        pending += line;
        if (!line.empty() && line.back() == '=') {
            pending.pop_back();
            continue;
        }
        DecodeQuotedPrintableLine(pending, out);
        decoded += out;
        pending.clear();
    }
    EXPECT_EQ(decoded, "caf\xE9 = ok \r\nline two\t\r\n" + std::string(200, 'x') + "\r\n\x01\x7F end \r\n");
}
