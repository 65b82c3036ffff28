#include <gtest/gtest.h>

#include "TestSupport.h"
#include "textcodec/Base64.h"
#include "textcodec/CBase64.h"
#include "textcodec/CodecNotice.h"
#include "textcodec/QuotedPrintable.h"

TEST(Base64DecodeLine, LengthsPadsAndStrayBytes)
{
    const struct {
        std::string in;
        size_t n;
        std::string out;
    } cases[] = {
        {"YWJj", 3, "abc"},
        {"YWJjZA==", 4, "abcd"},
        {"YWJjZGU=", 5, "abcde"},
        {"", 0, ""},
        {"YWJjZA", 4, "abcd"}, // short last group
        {"YWJjZGU", 5, "abcde"},
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
    EXPECT_EQ(Base64EncodeLine("a"), "YQ==\n");
    EXPECT_EQ(Base64EncodeLine("ab"), "YWI=\n");
}

TEST(Base64EncodeFile, LineLengthAndFailures)
{
    tctest::ScratchDir dir;
    tctest::WriteAll(dir / "in", std::string(55, 'x'));
    ASSERT_TRUE(Base64EncodeFile(dir / "in", dir / "out"));
    std::string text = tctest::ReadAll(dir / "out");
    ASSERT_EQ(text.find('\n'), 72u);
    EXPECT_EQ(text.substr(73), "eA==\n");

    EXPECT_FALSE(Base64EncodeFile(dir / "missing", dir / "out"));
    EXPECT_FALSE(Base64EncodeFile(dir / "in", dir / "no" / "such" / "out"));
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(Base64EncodeFile(dir / "in", "/dev/full")); // write failure is reported
    }
}

TEST(CBase64, EncodeAndDecode)
{
    CBase64 b;
    std::string out;
    for (auto [plain, enc] : {std::pair{"", ""}, {"a", "YQ=="}, {"ab", "YWI="}, {"abcd\r\nef", "YWJjZA0KZWY="}}) {
        EXPECT_EQ(b.EncodeString(plain, out), 0);
        EXPECT_EQ(out, enc);
        EXPECT_EQ(b.DecodeString(out, out), 0);
        EXPECT_EQ(out, plain);
    }
    for (const char* bad : {"YWJ", "YW*j", "YW\xC3j"})
        EXPECT_EQ(b.DecodeString(bad, out), 1) << bad;
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
    std::vector<std::string> texts;
    CodecNoticeHandler old = SetCodecNoticeHandler([&](std::string_view t) { texts.emplace_back(t); });
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
    SetCodecNoticeHandler(old);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "CBase64::Decode() -> notYetAllocBuffer",
                         "CBase64::Encode() -> notYetAllocBuffer",
                         "CBase64::Base64ToBase64InUTF7() -> notYetAllocBuffer",
                         "CBase64::Base64InUTF7ToBase64() -> notYetAllocBuffer",
                         "CBase64::Base64InUTF7ToBase64InIMAP4() -> notYetAllocBuffer",
                         "CBase64::Base64InIMAP4ToBase64InUTF7() -> notYetAllocBuffer",
                     }));
}

TEST(CBase64, Utf7AndImap4Forms)
{
    enum Op { ToUtf7, FromUtf7, ToImap, FromImap };
    const struct {
        Op op;
        std::string in;
        int rc;
        std::string out;
    } cases[] = {
        {ToUtf7, "YR==", 0, "YQ"}, // unused bits cleared
        {ToUtf7, "YWJ=", 0, "YWI"},
        {ToUtf7, "YWJ", 1, ""},
        {ToUtf7, "", 0, ""},
        {FromUtf7, "YQ", 0, "YQ=="},
        {FromUtf7, "YWI", 0, "YWI="},
        {FromUtf7, "YWJjZ", 1, ""},
        {ToImap, "a/b/", 0, "a,b,"},
        {FromImap, "a,b,", 0, "a/b/"},
    };
    for (const auto& c : cases) {
        CBase64 b;
        char out[32];
        size_t n = 0;
        int rc = -1;
        switch (c.op) {
        case ToUtf7:
            b.ToUTF7Size(c.in.size());
            rc = b.Base64ToBase64InUTF7(c.in.size(), n, c.in.c_str(), out);
            break;
        case FromUtf7:
            b.FromUTF7Size(c.in.size());
            rc = b.Base64InUTF7ToBase64(c.in.size(), n, c.in.c_str(), out);
            break;
        case ToImap:
            b.UTF7ToIMAP4Size(c.in.size());
            rc = b.Base64InUTF7ToBase64InIMAP4(c.in.size(), n, c.in.c_str(), out);
            break;
        case FromImap:
            b.IMAP4ToUTF7Size(c.in.size());
            rc = b.Base64InIMAP4ToBase64InUTF7(c.in.size(), n, c.in.c_str(), out);
            break;
        }
        EXPECT_EQ(rc, c.rc) << c.op << " " << c.in;
        if (rc == 0) {
            EXPECT_EQ(std::string(out, n), c.out) << c.op << " " << c.in;
        }
    }
    EXPECT_EQ(CBase64::ToIMAP4String("+/x/"), "+,x,");
    EXPECT_EQ(CBase64::FromIMAP4String("+,x,"), "+/x/");
}

TEST(DecodeQuotedPrintableLine, Forms)
{
    const struct {
        std::string in;
        size_t n;
        std::string out;
    } cases[] = {
        {"caf=E9 ok\r\n", 9, "caf\xE9 ok\r\n"},
        {"soft=", 4, "soft"},
        {"lower=e9", 8, "lower\xE9\r\n"},
        // "=" without two digits is kept; nothing is read past the end.
        {"a=4", 5, "a=4\r\n"},
        {"a=ZZb", 7, "a=ZZb\r\n"},
        {"", 2, "\r\n"},
        {"=", 0, ""},
        {"x=3D=\r\n", 2, "x="},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(DecodeQuotedPrintableLine(c.in, out), c.n) << c.in;
        EXPECT_EQ(out, c.out) << c.in;
    }
}
