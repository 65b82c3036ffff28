// lumetra-tool from the outside: one smoke run per subcommand family.

#include <gtest/gtest.h>

#include "support/TestFiles.h"

using testutil::Quote;
using testutil::ReadFile;
using testutil::WriteFile;

namespace {

const std::filesystem::path kTool = std::filesystem::path(LUMETRA_BINARY_DIR) / "tools" / "lumetra-tool";

int Status(const std::string& args)
{
    const int rc = std::system((Quote(kTool) + " " + args + " 2>/dev/null").c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(LumetraTool, SubcommandsAndExitStatuses)
{
    if (!std::filesystem::exists(kTool))
        GTEST_SKIP() << "lumetra-tool not built at " << kTool;
    testutil::ScratchDir dir;
    const std::string in = Quote(dir / "in"), out = Quote(dir / "out"), back = Quote(dir / "back");
    WriteFile(dir / "in", "\x1B$B$\"\x1B(B a\n");
    ASSERT_EQ(Status("conv -i auto < " + in + " > " + out), 0);
    EXPECT_EQ(ReadFile(dir / "out"), "\x82\xA0 a\n");
    ASSERT_EQ(Status("mime-encode-header < " + out + " > " + back), 0);
    EXPECT_EQ(ReadFile(dir / "back"), "=?ISO-2022-JP?B?GyRCJCIbKEI=?= a\n");
    const std::string data = testutil::RandomBytes(3000, 5);
    WriteFile(dir / "in", data);
    ASSERT_EQ(Status("encode binhex " + in + " " + out), 0);
    ASSERT_EQ(Status("decode binhex " + out + " " + back), 0);
    EXPECT_EQ(ReadFile(dir / "back"), data);

    // 2 for a wrong command line, 1 for a failure of the work itself.
    WriteFile(dir / "plain", "not Base64: really!\n");
    const std::pair<std::string, int> statuses[] = {
        {"", 2},
        {"nonsense", 2},
        {"conv -i klingon < /dev/null", 2},
        {"encode base64 " + Quote(dir / "missing") + " " + out, 1},
        {"decode uu " + Quote(dir / "plain") + " " + out, 1},
        {"decode base64 " + Quote(dir / "plain") + " " + out, 1},
        {"--help > /dev/null", 0},
    };
    for (const auto& [args, status] : statuses)
        EXPECT_EQ(Status(args), status) << args;
}

} // namespace
