#include "ScriptedHost.h"

#include "tools/ToolCommands.h"

#include <gtest/gtest.h>

using namespace newstest;

TEST(NewsTool, NewsrcAndConfigListings)
{
    ScratchDir dir;
    WriteFile(dir / "news.rc", "a.b: 10-12,1-5,6-9\r\nc.d!\r\nx.y 3,1-2\n");
    WriteFile(dir / "a.lum", "[config]\r\nstrOrganization=\"A B\"\r\n");
    std::ostringstream out, err;
    EXPECT_EQ(tools::NewsrcCommand({(dir / "news.rc").string()}, out, err), 0);
    EXPECT_EQ(out.str(), "a.b\tsubscribed\t6-12,1-5\nc.d\tunsubscribed\t\nx.y\tunsubscribed\t1-3\n");
    EXPECT_EQ(tools::ConfigCommand({(dir / "a.lum").string()}, out, err), 0);
    EXPECT_NE(out.str().find("\nstrOrganization=A B\n"), std::string::npos);
    EXPECT_EQ(tools::NewsrcCommand({(dir / "missing").string()}, out, err), 1);
    EXPECT_EQ(tools::ConfigCommand({dir.path().string()}, out, err), 1);
    EXPECT_EQ(tools::NewsrcCommand({}, out, err), 2);
}
