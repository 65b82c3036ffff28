// lumetra-tool from the outside: results and exit statuses.

#include <gtest/gtest.h>

#include "support/TestFiles.h"

using testutil::Quote;
using testutil::ReadFile;
using testutil::WriteFile;

namespace {

const std::filesystem::path kTool = std::filesystem::path(LUMETRA_BINARY_DIR) / "tools" / "lumetra-tool";

int Status(const std::string& cmd)
{
    int rc = std::system((cmd + " 2>/dev/null").c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

#define REQUIRE_TOOL()                                                       \
    do {                                                                     \
        if (!std::filesystem::exists(kTool))                                 \
            GTEST_SKIP() << "lumetra-tool not built at " << kTool;           \
    } while (0)

} // namespace

TEST(LumetraTool, ConvAndHeaders)
{
    REQUIRE_TOOL();
    testutil::ScratchDir dir;
    WriteFile(dir / "jis", "\x1B$B$\"\x1B(B a\n");
    std::string t = Quote(kTool);
    ASSERT_EQ(Status(t + " conv -i auto < " + Quote(dir / "jis") + " > " + Quote(dir / "sjis")), 0);
    EXPECT_EQ(ReadFile(dir / "sjis"), "\x82\xA0 a\n");
    ASSERT_EQ(Status(t + " conv -i sjis -o euc < " + Quote(dir / "sjis") + " > " + Quote(dir / "euc")), 0);
    EXPECT_EQ(ReadFile(dir / "euc"), "\xA4\xA2 a\n");
    ASSERT_EQ(Status(t + " mime-encode-header < " + Quote(dir / "sjis") + " > " + Quote(dir / "words")), 0);
    EXPECT_EQ(ReadFile(dir / "words"), "=?ISO-2022-JP?B?GyRCJCIbKEI=?= a\n");
    ASSERT_EQ(Status(t + " mime-decode-header < " + Quote(dir / "words") + " > " + Quote(dir / "back")), 0);
    EXPECT_EQ(ReadFile(dir / "back"), "\x82\xA0 a\n");
}

TEST(LumetraTool, TransferEncodingsRoundTrip)
{
    REQUIRE_TOOL();
    testutil::ScratchDir dir;
    std::string data = testutil::RandomBytes(3000, 5);
    WriteFile(dir / "in", data);
    std::string t = Quote(kTool);
    for (const char* kind : {"base64", "uu", "binhex"}) {
        ASSERT_EQ(Status(t + " encode " + kind + " " + Quote(dir / "in") + " " + Quote(dir / "enc")), 0) << kind;
        ASSERT_EQ(Status(t + " decode " + kind + " " + Quote(dir / "enc") + " " + Quote(dir / "dec")), 0) << kind;
        EXPECT_EQ(ReadFile(dir / "dec"), data) << kind;
    }
    WriteFile(dir / "text", "caf\xE9 = ok\r\nline\r\n");
    ASSERT_EQ(Status(t + " encode qp " + Quote(dir / "text") + " " + Quote(dir / "qp")), 0);
    ASSERT_EQ(Status(t + " decode qp " + Quote(dir / "qp") + " " + Quote(dir / "qpback")), 0);
    EXPECT_EQ(ReadFile(dir / "qpback"), "caf\xE9 = ok\r\nline\r\n");
}

TEST(LumetraTool, ExitStatuses)
{
    REQUIRE_TOOL();
    testutil::ScratchDir dir;
    std::string t = Quote(kTool);
    EXPECT_EQ(Status(t), 2);
    EXPECT_EQ(Status(t + " nonsense"), 2);
    EXPECT_EQ(Status(t + " conv -i klingon < /dev/null"), 2);
    EXPECT_EQ(Status(t + " encode base64 " + Quote(dir / "missing") + " " + Quote(dir / "x")), 1);
    WriteFile(dir / "plain", "no block here\n");
    EXPECT_EQ(Status(t + " decode uu " + Quote(dir / "plain") + " " + Quote(dir / "x")), 1);
    EXPECT_EQ(Status(t + " decode binhex " + Quote(dir / "plain") + " " + Quote(dir / "x")), 1);
    WriteFile(dir / "notb64", "not Base64: really!\n");
    EXPECT_EQ(Status(t + " decode base64 " + Quote(dir / "notb64") + " " + Quote(dir / "x")), 1);
    EXPECT_EQ(Status(t + " --help > /dev/null"), 0);
}
