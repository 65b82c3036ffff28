#include "TestSupport.h"

#include "news/NewsTool.h"

#include <gtest/gtest.h>

using namespace newstest;

namespace {

TEST(NewsTool, NewsrcListsGroupsWithNormalisedMarks)
{
    TempDir dir;
    WriteFile(dir / "news.rc", "a.b: 10-12,1-5,6-9\r\nc.d!\r\nx.y 3,1-2\n");
    std::ostringstream out, err;
    EXPECT_EQ(NewsrcCommand({(dir / "news.rc").string()}, out, err), 0);
    EXPECT_EQ(out.str(), "a.b\tsubscribed\t6-12,1-5\nc.d\tunsubscribed\t\nx.y\tunsubscribed\t1-3\n");

    std::ostringstream none;
    EXPECT_EQ(NewsrcCommand({(dir / "missing").string()}, none, err), 1);
    EXPECT_EQ(NewsrcCommand({}, none, err), 2);
    EXPECT_EQ(none.str(), "");
}

TEST(NewsTool, ConfigPrintsTheNineteenValuesWithDefaults)
{
    TempDir dir;
    WriteFile(dir / "a.lum", "[config]\r\nstrNntpServer=news.example\r\nbShowAllGroup=yes\r\nstrOrganization=\"A B\"\r\n");
    std::ostringstream out, err;
    EXPECT_EQ(ConfigCommand({(dir / "a.lum").string()}, out, err), 0);
    EXPECT_EQ(out.str(),
              "nNntpPort=119\nnMaxReadArtcleCount=50\nstrNntpServer=news.example\nstrMarkFile=\n"
              "strMailAddress=\nstrRealName=\nstrOrganization=A B\nbShowAllGroup=YES\nbShowUnreadGroup=YES\n"
              "bShowChangeGroupDialog=YES\nbShowOldArticle=NO\nPostKanjiCode=0\nnTcpWaitSec=12\n"
              "nTcpRetryCount=5\nbSignAutoInsert=NO\nnSignSelect=0\nstrSignature0=\nstrSignature1=\n"
              "strSignature2=\n");
    std::ostringstream none;
    EXPECT_EQ(ConfigCommand({(dir / "missing.lum").string()}, none, err), 1);
    EXPECT_EQ(none.str(), "");
}

} // namespace
