#include "TestSupport.h"

#include "net/Tcpip.h"
#include "news/LumeDoc.h"
#include "news/ProfileData.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

using namespace newstest;
namespace fs = std::filesystem;

namespace {

using Ids = std::vector<unsigned>;

struct ConfigTest : ::testing::Test {
    TempDir dir;
    platform::Registry registry{dir / "registry"};
    RecordingHost host;
    CLumeDoc doc{&host, &registry};
};

TEST_F(ConfigTest, SectionWithoutKeysOpensWithTheMissingKeyDefaults)
{
    WriteFile(dir / "a.lum", "[config]\r\n");
    ASSERT_TRUE(doc.OnOpenDocument(dir / "a.lum"));
    const LumeConfig& c = doc.Config();
    EXPECT_EQ(c.nNntpPort, 119);
    EXPECT_EQ(c.nMaxReadArtcleCount, 50);
    EXPECT_TRUE(c.bShowUnreadGroup && c.bShowChangeGroupDialog);
    EXPECT_FALSE(c.bShowOldArticle || c.bShowAllGroup);
    EXPECT_EQ(c.strNntpServer + c.strMarkFile, "");

    // No record file name: the save stops before writing anything.
    EXPECT_FALSE(doc.OnSaveDocument(dir / "a.lum"));
    EXPECT_EQ(host.ids, Ids{msg::NoRecordFileName});
    EXPECT_EQ(ReadFile(dir / "a.lum"), "[config]\r\n");

    // A new configuration has a record file name and shows old articles.
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.Config().strMarkFile, "news.rc");
    EXPECT_TRUE(doc.Config().bShowOldArticle);

    ASSERT_TRUE(doc.OnOpenDocument(dir / "a.lum"));
    EXPECT_FALSE(doc.OnOpenDocument(dir / "missing.lum"));
    EXPECT_FALSE(doc.OnOpenDocument(dir.path()));
    EXPECT_EQ(doc.GetPathName(), dir / "a.lum");   // a failed open keeps the document
}

TEST_F(ConfigTest, BooleansCompareTheFirstThreeLetters)
{
    WriteFile(dir / "b.lum",
              "[Config]\nbShowAllGroup=yes\nbShowUnreadGroup=no\nbShowChangeGroupDialog=1\n"
              "bShowOldArticle=Yesterday\nbSignAutoInsert=\n");
    ASSERT_TRUE(doc.OnOpenDocument(dir / "b.lum"));
    const LumeConfig& c = doc.Config();
    EXPECT_TRUE(c.bShowAllGroup && c.bShowOldArticle);
    EXPECT_FALSE(c.bShowUnreadGroup || c.bShowChangeGroupDialog || c.bSignAutoInsert);
}

TEST_F(ConfigTest, NineteenKeysRoundTripInOrderAsOneFile)
{
    doc.OnNewDocument();
    LumeConfig& c = doc.Config();
    c.nNntpPort = 563;
    c.strNntpServer = "news.example.jp";
    c.strMarkFile = "marks.rc";
    c.strRealName = "Yamada Taro";
    c.strOrganization = "\x8a\x94\x8e\xae\x89\xef\x8e\xd0 \x97\xe1\r\n\"x\"";  // Shift_JIS, a blank, a line break
    c.strMailAddress = "\"quoted\"";
    c.bShowAllGroup = true;
    c.bShowUnreadGroup = false;
    c.PostKanjiCode = 2;
    c.nTcpWaitSec = 30;
    c.nTcpRetryCount = 9;
    c.strNntpServer += std::string(3000, 'x');                                 // read back whole
    registry.WriteInt("Signature", "nSelect", 1);
    ASSERT_TRUE(doc.OnSaveDocument(dir / "c.lum"));
    EXPECT_TRUE(host.ids.empty());

    const std::string expect =
        "[config]\r\nnNntpPort=563\r\nnMaxReadArtcleCount=50\r\nstrNntpServer=news.example.jp" + std::string(3000, 'x') +
        "\r\nstrMarkFile=marks.rc\r\nstrMailAddress=\"\"quoted\"\"\r\nstrRealName=\"Yamada Taro\"\r\n"
        "strOrganization=\"\x8a\x94\x8e\xae\x89\xef\x8e\xd0 \x97\xe1  \"x\"\"\r\nbShowAllGroup=YES\r\n"
        "bShowUnreadGroup=NO\r\nbShowChangeGroupDialog=YES\r\nbShowOldArticle=YES\r\nPostKanjiCode=2\r\n"
        "nTcpWaitSec=30\r\nnTcpRetryCount=9\r\nbSignAutoInsert=NO\r\nnSignSelect=1\r\nstrSignature0=\r\n"
        "strSignature1=\r\nstrSignature2=\r\n";
    EXPECT_EQ(ReadFile(dir / "c.lum"), expect);

    CLumeDoc other(&host, &registry);
    ASSERT_TRUE(other.OnOpenDocument(dir / "c.lum"));
    const LumeConfig& d = other.Config();
    EXPECT_EQ(d.strNntpServer, c.strNntpServer);
    EXPECT_EQ(d.strRealName, "Yamada Taro");
    EXPECT_EQ(d.strOrganization, "\x8a\x94\x8e\xae\x89\xef\x8e\xd0 \x97\xe1  \"x\"");
    EXPECT_EQ(d.strMailAddress, "\"quoted\"");
    EXPECT_EQ(d.PostKanjiCode, 2);
    EXPECT_EQ(d.nSignSelect, 1);
    EXPECT_EQ(net::TcpWaitSec(), 30);      // the transport waits as configured
    EXPECT_EQ(net::TcpRetryCount(), 9);
}

TEST_F(ConfigTest, SaveWritesTheReadMarksBesideTheConfiguration)
{
    fs::create_directory(dir / "my.news");
    doc.OnNewDocument();
    doc.Config().strMarkFile = "marks";
    WriteFile(dir / "my.news" / "marks", "a.b: 1-5,7\r\nc.d! 3\r\n");
    ASSERT_TRUE(doc.OnSaveDocument(dir / "my.news" / "cfg.lum"));
    ASSERT_EQ(doc.ReadMarksPath(), dir / "my.news" / "marks");
    ASSERT_TRUE(doc.LoadReadMarks(*doc.ReadMarksPath()));

    // The open group's read list is written merged; others as they stand.
    doc.Groups().Find("c.d")->m_strReadList = "5,3-4";
    doc.SetCurrentGroup(doc.Groups().Find("a.b"));
    doc.ReadList().Add(6);
    doc.SetModifiedFlag();
    ASSERT_TRUE(doc.OnSaveDocument(dir / "my.news" / "cfg.lum"));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(ReadFile(dir / "my.news" / "marks"), "a.b: 1-7\r\nc.d! 5,3-4\r\n");
    EXPECT_EQ(ReadFile(dir / "my.news" / "marks.bak"), "a.b: 1-5,7\r\nc.d! 3\r\n");
    EXPECT_FALSE(fs::exists(dir / "my.tmp"));
}

TEST_F(ConfigTest, OpeningAnotherConfigurationDropsTheGroupsOfThePrevious)
{
    for (const char* name : {"a", "b"}) {
        fs::create_directory(dir / name);
        WriteFile(dir / name / "x.lum", "[config]\r\nstrMarkFile=news.rc\r\n");
        WriteFile(dir / name / "news.rc", std::string("only.in.") + name + ": 1-3\r\n");
    }
    ASSERT_TRUE(doc.OnOpenDocument(dir / "a" / "x.lum"));
    ASSERT_TRUE(doc.LoadReadMarks(*doc.ReadMarksPath()));
    doc.SetCurrentGroup(doc.Groups().Find("only.in.a"));
    ASSERT_TRUE(doc.OnOpenDocument(dir / "b" / "x.lum"));
    EXPECT_TRUE(doc.Groups().IsEmpty());
    EXPECT_EQ(doc.GetCurrentGroup(), nullptr);
    ASSERT_TRUE(doc.OnSaveDocument(dir / "b" / "x.lum"));
    EXPECT_EQ(ReadFile(dir / "b" / "news.rc"), "only.in.b: 1-3\r\n");
}

TEST_F(ConfigTest, ReadMarksNameMustStayBesideTheConfiguration)
{
    for (const char* name : {"../evil", "/etc/passwd", "sub/../../x"}) {
        host.ids.clear();
        WriteFile(dir / "e.lum", std::string("[config]\r\nstrMarkFile=") + name + "\r\n");
        ASSERT_TRUE(doc.OnOpenDocument(dir / "e.lum"));
        EXPECT_FALSE(doc.OnSaveDocument(dir / "e.lum"));
        EXPECT_EQ(host.ids, Ids{msg::NoRecordFileName}) << name;
    }
    EXPECT_EQ(CLumeDoc::ReadMarksPathFor("/h/u/x.lum", "sub/news.rc"), fs::path("/h/u/sub/news.rc"));
}

TEST_F(ConfigTest, FailedSavesAreReportedAndKeepTheFiles)
{
    doc.OnNewDocument();
    EXPECT_FALSE(doc.OnSaveDocument("/dev/null/x.lum"));
    EXPECT_EQ(host.ids, Ids{msg::WriteFileFailed});
    EXPECT_EQ(host.args[0][0], "/dev/null/x.lum");

    host.ids.clear();
    WriteFile(dir / "news.rc", "a.b: 1\r\n");
    ASSERT_TRUE(doc.OnSaveDocument(dir / "f.lum"));
    ASSERT_TRUE(doc.LoadReadMarks(dir / "news.rc"));
    doc.Groups().Find("a.b")->m_strReadList = "1-2";
    fs::create_directory(dir / "news.tmp");
    doc.SetModifiedFlag();
    EXPECT_FALSE(doc.OnSaveDocument(dir / "f.lum"));
    EXPECT_EQ(host.ids, (Ids{msg::OpenCreateFailed, msg::SaveRecordFailed}));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(ReadFile(dir / "news.rc"), "a.b: 1\r\n");
}

TEST_F(ConfigTest, AfterAReadErrorTheFileIsNeverReplaced)
{
    doc.OnNewDocument();
    fs::create_directory(dir / "unreadable.rc");
    EXPECT_FALSE(doc.LoadReadMarks(dir / "unreadable.rc"));
    WriteFile(dir / "news.rc", "kept: 1-9\r\n");
    auto g = std::make_unique<CNewsGroup>();
    g->m_strName = "from.server";
    doc.Groups().Set(std::move(g));
    host.ids.clear();
    EXPECT_FALSE(doc.OnSaveDocument(dir / "g.lum"));
    EXPECT_EQ(host.ids, Ids{msg::SaveRecordFailed});
    EXPECT_EQ(ReadFile(dir / "news.rc"), "kept: 1-9\r\n");
    EXPECT_EQ(ReadFile(dir / "news.tmp"), "from.server: \r\n");

    doc.OnNewDocument();   // another configuration starts clean
    EXPECT_FALSE(doc.ReadMarksLoadFailed());
}

TEST_F(ConfigTest, OutOfRangeIntegersAreUsedAsDefaultsButKept)
{
    WriteFile(dir / "r.lum", "[config]\r\nnNntpPort=70000\r\nnTcpWaitSec=-5\r\nnTcpRetryCount=99999\r\n"
                             "PostKanjiCode=7\r\nstrMarkFile=news.rc\r\n");
    ASSERT_TRUE(doc.OnOpenDocument(dir / "r.lum"));
    const LumeConfig& c = doc.Config();
    EXPECT_EQ(c.UsedNntpPort(), 119);
    EXPECT_EQ(c.UsedTcpWaitSec(), 12);
    EXPECT_EQ(c.UsedTcpRetryCount(), 5);
    EXPECT_EQ(c.UsedPostKanjiCode(), 0);
    EXPECT_EQ(net::TcpWaitSec(), 12);
    ASSERT_TRUE(doc.OnSaveDocument(dir / "r.lum"));
    EXPECT_NE(ReadFile(dir / "r.lum").find("nNntpPort=70000\r\n"), std::string::npos);
}

} // namespace
