#include "ScriptedHost.h"

#include "net/Tcpip.h"
#include "news/LumeDoc.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

using namespace newstest;
using namespace news;
namespace fs = std::filesystem;

namespace {

struct ConfigTest : ::testing::Test {
    ScratchDir dir;
    platform::Registry registry{dir / "registry"};
    ScriptedHost host;
    CLumeDoc doc{&host, registry};
};

TEST_F(ConfigTest, MissingKeysTakeTheirDefaults)
{
    WriteFile(dir / "a.lum", "[Config]\nbShowAllGroup=yes\nbShowOldArticle=Yesterday\nbShowUnreadGroup=no\n"
                             "bShowChangeGroupDialog=1\nbSignAutoInsert=\n");
    ASSERT_TRUE(doc.OnOpenDocument(dir / "a.lum"));
    const LumeConfig& c = doc.Config();
    EXPECT_EQ(c.nNntpPort + c.nMaxReadArtcleCount + c.nTcpWaitSec + c.nTcpRetryCount, 119 + 50 + 12 + 5);
    EXPECT_TRUE(c.bShowAllGroup && c.bShowOldArticle);     // the first three letters decide
    EXPECT_FALSE(c.bShowUnreadGroup || c.bShowChangeGroupDialog || c.bSignAutoInsert);
    EXPECT_EQ(c.strNntpServer + c.strMarkFile, "");

    // No record file name: the save stops before writing anything.
    EXPECT_FALSE(doc.OnSaveDocument(dir / "a.lum"));
    EXPECT_EQ(host.StopIds(), Ids{msg::NoRecordFileName});
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.Config().strMarkFile, "news.rc");

    ASSERT_TRUE(doc.OnOpenDocument(dir / "a.lum"));
    EXPECT_FALSE(doc.OnOpenDocument(dir / "missing.lum") || doc.OnOpenDocument(dir.path()));
    EXPECT_EQ(doc.GetPathName(), dir / "a.lum");          // a failed open keeps the document

    // Out-of-range numbers are used as the defaults but kept in the file.
    WriteFile(dir / "r.lum", "[config]\r\nnNntpPort=70000\r\nnTcpWaitSec=-5\r\nnTcpRetryCount=99999\r\n"
                             "PostKanjiCode=7\r\nstrMarkFile=news.rc\r\n");
    ASSERT_TRUE(doc.OnOpenDocument(dir / "r.lum"));
    const LumeConfig& r = doc.Config();
    EXPECT_EQ(r.UsedNntpPort() + r.UsedTcpWaitSec() + r.UsedTcpRetryCount() + static_cast<int>(r.UsedPostKanjiCode()), 119 + 12 + 5);
    EXPECT_EQ(doc.Nntp().Tcp().Timeouts().WaitSec(), 12);
    ASSERT_TRUE(doc.OnSaveDocument(dir / "r.lum"));
    EXPECT_NE(ReadFile(dir / "r.lum").find("nNntpPort=70000\r\n"), std::string::npos);
}

TEST_F(ConfigTest, NineteenKeysRoundTripInOrder)
{
    doc.OnNewDocument();
    LumeConfig& c = doc.Config();
    c.nNntpPort = 563;
    c.strNntpServer = std::string(3000, 'n');
    c.strRealName = "Yamada Taro";
    c.strOrganization = "\x8a\x94\x8e\xae\x89\xef\x8e\xd0 \x97\xe1\r\n\"x\"";   // Shift_JIS, blank, line break
    c.strMailAddress = "\"quoted\"";
    c.bShowUnreadGroup = false;
    c.PostKanjiCode = 2;
    c.nTcpWaitSec = 30;
    registry.WriteInt("Signature", "nSelect", 1);
    ASSERT_TRUE(doc.OnSaveDocument(dir / "c.lum"));
    EXPECT_TRUE(host.StopIds().empty());
    EXPECT_EQ(ReadFile(dir / "c.lum"),
              "[config]\r\nnNntpPort=563\r\nnMaxReadArtcleCount=50\r\nstrNntpServer=" + std::string(3000, 'n') +
                  "\r\nstrMarkFile=news.rc\r\nstrMailAddress=\"\"quoted\"\"\r\nstrRealName=\"Yamada Taro\"\r\n"
                  "strOrganization=\"\x8a\x94\x8e\xae\x89\xef\x8e\xd0 \x97\xe1  \"x\"\"\r\nbShowAllGroup=NO\r\n"
                  "bShowUnreadGroup=NO\r\nbShowChangeGroupDialog=YES\r\nbShowOldArticle=YES\r\nPostKanjiCode=2\r\n"
                  "nTcpWaitSec=30\r\nnTcpRetryCount=5\r\nbSignAutoInsert=NO\r\nnSignSelect=1\r\n"
                  "strSignature0=\r\nstrSignature1=\r\nstrSignature2=\r\nnSecurity=0\r\nstrUserName=\r\n"
                  "bRememberPassword=NO\r\nbAllowPlainPassword=NO\r\nstrTrustedCertificate=\r\nbCompress=YES\r\n");

    CLumeDoc other(&host, registry);
    ASSERT_TRUE(other.OnOpenDocument(dir / "c.lum"));
    const LumeConfig& o = other.Config();
    EXPECT_EQ(o.strNntpServer + "|" + o.strRealName + "|" + o.strOrganization + "|" + o.strMailAddress,
              c.strNntpServer + "|Yamada Taro|\x8a\x94\x8e\xae\x89\xef\x8e\xd0 \x97\xe1  \"x\"|\"quoted\"");
    EXPECT_EQ(other.Nntp().Tcp().Timeouts().WaitSec(), 30);   // the connection waits as configured
}

TEST_F(ConfigTest, ReadMarksGoBesideTheConfigurationAndNowhereElse)
{
    fs::create_directory(dir / "my.news");
    doc.OnNewDocument();
    doc.Config().strMarkFile = "marks";
    WriteFile(dir / "my.news" / "marks", "a.b: 1-5,7\r\nc.d! 3\r\n");
    ASSERT_TRUE(doc.OnSaveDocument(dir / "my.news" / "cfg.lum"));
    ASSERT_TRUE(doc.LoadReadMarks(*doc.ReadMarksPath()));
    doc.Groups().Find("c.d")->m_strReadList = "5,3-4";
    doc.SetCurrentGroup(doc.Groups().Find("a.b"));
    doc.ReadList().Add(6);                                    // the open group is written merged
    doc.SetModifiedFlag();
    ASSERT_TRUE(doc.OnSaveDocument(dir / "my.news" / "cfg.lum"));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(ReadFile(dir / "my.news" / "marks"), "a.b: 1-7\r\nc.d! 5,3-4\r\n");
    EXPECT_EQ(ReadFile(dir / "my.news" / "marks.bak"), "a.b: 1-5,7\r\nc.d! 3\r\n");

    // Another configuration starts without the groups of this one.
    WriteFile(dir / "b.lum", "[config]\r\nstrMarkFile=news.rc\r\n");
    WriteFile(dir / "news.rc", "only.in.b: 1-3\r\n");
    ASSERT_TRUE(doc.OnOpenDocument(dir / "b.lum"));
    EXPECT_TRUE(doc.Groups().IsEmpty());
    EXPECT_EQ(doc.GetCurrentGroup(), nullptr);
    ASSERT_TRUE(doc.OnSaveDocument(dir / "b.lum"));
    EXPECT_EQ(ReadFile(dir / "news.rc"), "only.in.b: 1-3\r\n");
}

TEST_F(ConfigTest, FailedSavesAreReportedAndKeepTheFiles)
{
    doc.OnNewDocument();
    for (const char* name : {"../evil", "/etc/passwd", "sub/../../x"}) {
        host.messages.clear();
        doc.Config().strMarkFile = name;
        EXPECT_FALSE(doc.OnSaveDocument(dir / "b.lum"));
        EXPECT_EQ(host.StopIds(), Ids{msg::NoRecordFileName}) << name;
    }
    doc.OnNewDocument();
    host.messages.clear();
    EXPECT_FALSE(doc.OnSaveDocument("/dev/null/x.lum"));
    EXPECT_EQ(host.StopIds(), Ids{msg::WriteFileFailed});
    EXPECT_EQ(host.messages[0].args[0], "/dev/null/x.lum");

    host.messages.clear();
    WriteFile(dir / "news.rc", "a.b: 1\r\n");
    ASSERT_TRUE(doc.LoadReadMarks(dir / "news.rc"));
    fs::create_directory(dir / "news.tmp");
    doc.SetModifiedFlag();
    EXPECT_FALSE(doc.OnSaveDocument(dir / "f.lum"));
    EXPECT_EQ(host.StopIds(), (Ids{msg::OpenCreateFailed, msg::SaveRecordFailed}));
    EXPECT_TRUE(doc.IsModified());

    // After a read error the file is never replaced, until another configuration.
    fs::remove(dir / "news.tmp");
    host.messages.clear();
    EXPECT_FALSE(doc.LoadReadMarks(dir.path()));                // a folder: reading fails
    doc.Groups().Find("a.b")->m_strReadList = "1-2";
    EXPECT_FALSE(doc.OnSaveDocument(dir / "f.lum"));
    EXPECT_EQ(host.StopIds(), (Ids{msg::ReadFileFailed, msg::SaveRecordFailed}));
    EXPECT_EQ(ReadFile(dir / "news.rc"), "a.b: 1\r\n");
    EXPECT_EQ(ReadFile(dir / "news.tmp"), "a.b: 1-2\r\n");
    doc.OnNewDocument();
    EXPECT_FALSE(doc.ReadMarksLoadFailed());
}

} // namespace
