#include "TestSupport.h"

#include "tools/ToolCommands.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace newstest;
using namespace tools;

namespace {

TEST(NewsTool, NewsrcAndConfigListings)
{
    TempDir dir;
    WriteFile(dir / "news.rc", "a.b: 10-12,1-5,6-9\r\nc.d!\r\nx.y 3,1-2\n");
    WriteFile(dir / "a.lum", "[config]\r\nstrNntpServer=news.example\r\nstrOrganization=\"A B\"\r\n");
    std::ostringstream out, err;
    EXPECT_EQ(NewsrcCommand({(dir / "news.rc").string()}, out, err), 0);
    EXPECT_EQ(out.str(), "a.b\tsubscribed\t6-12,1-5\nc.d\tunsubscribed\t\nx.y\tunsubscribed\t1-3\n");
    out.str("");
    EXPECT_EQ(ConfigCommand({(dir / "a.lum").string()}, out, err), 0);
    const std::string listing = out.str(); // every key, the quotes of the file removed
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 19);
    EXPECT_NE(listing.find("\nstrNntpServer=news.example\n"), std::string::npos);
    EXPECT_NE(listing.find("\nstrOrganization=A B\n"), std::string::npos);
    EXPECT_EQ(NewsrcCommand({(dir / "missing").string()}, out, err), 1);
    EXPECT_EQ(ConfigCommand({(dir / "missing.lum").string()}, out, err), 1);
    EXPECT_EQ(ConfigCommand({dir.path.string()}, out, err), 1);
    EXPECT_EQ(NewsrcCommand({}, out, err), 2);
}

} // namespace
