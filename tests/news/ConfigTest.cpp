#include "TestSupport.h"

#include "news/LumeDoc.h"
#include "news/ProfileData.h"
#include "news/Signatures.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

using namespace newstest;
namespace fs = std::filesystem;

namespace {

struct ConfigTest : ::testing::Test {
    TempDir dir;
    platform::Registry registry{dir / "registry"};
    RecordingHost host;
    CLumeDoc doc{&host, &registry};

    // The key=value lines of a file, in order, without the section line.
    std::vector<std::string> KeyLines(const fs::path& path)
    {
        std::vector<std::string> lines;
        std::string text = ReadFile(path), line;
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t end = text.find("\r\n", pos);
            EXPECT_NE(end, std::string::npos) << "lines end in CR LF";
            if (end == std::string::npos)
                end = text.size();
            line = text.substr(pos, end - pos);
            if (!line.empty() && line[0] != '[')
                lines.push_back(line);
            pos = end + 2;
        }
        return lines;
    }
};

TEST_F(ConfigTest, SectionWithoutKeysOpensWithTheMissingKeyDefaults)
{
    WriteFile(dir / "a.lum", "[config]\r\n");
    ASSERT_TRUE(doc.OnOpenDocument(dir / "a.lum"));
    const LumeConfig& c = doc.Config();
    EXPECT_EQ(c.nNntpPort, 119);
    EXPECT_EQ(c.nMaxReadArtcleCount, 50);
    EXPECT_TRUE(c.bShowUnreadGroup);
    EXPECT_TRUE(c.bShowChangeGroupDialog);
    EXPECT_FALSE(c.bShowOldArticle);
    EXPECT_FALSE(c.bShowAllGroup);
    EXPECT_EQ(c.strNntpServer, "");
    EXPECT_EQ(c.strMarkFile, "");
    EXPECT_EQ(c.nTcpWaitSec, 12);
    EXPECT_EQ(c.nTcpRetryCount, 5);
    EXPECT_EQ(c.PostKanjiCode, 0);
    EXPECT_EQ(doc.GetPathName(), dir / "a.lum");

    // No record file name: the save stops before writing anything.
    EXPECT_FALSE(doc.OnSaveDocument(dir / "a.lum"));
    EXPECT_EQ(host.Ids(), std::vector<unsigned>{msg::NoRecordFileName});
    EXPECT_EQ(ReadFile(dir / "a.lum"), "[config]\r\n");

    EXPECT_FALSE(doc.OnOpenDocument(dir / "missing.lum"));
}

TEST_F(ConfigTest, NewConfigurationValues)
{
    doc.Config().strNntpServer = "news.example";
    doc.Config().bShowOldArticle = false;
    doc.Config().nNntpPort = 1119;
    doc.m_nCurrentArticle = 4;
    ASSERT_TRUE(doc.OnNewDocument());
    const LumeConfig& c = doc.Config();
    EXPECT_EQ(c.strNntpServer, "");
    EXPECT_EQ(c.strMarkFile, "news.rc");
    EXPECT_TRUE(c.bShowOldArticle);
    EXPECT_TRUE(c.bShowUnreadGroup);
    EXPECT_FALSE(c.bShowAllGroup);
    EXPECT_EQ(c.nNntpPort, 119);
    EXPECT_EQ(doc.m_nCurrentArticle, -1);
    EXPECT_TRUE(doc.GetPathName().empty());
}

TEST_F(ConfigTest, BooleansCompareTheFirstThreeLetters)
{
    WriteFile(dir / "b.lum",
              "[Config]\nbShowAllGroup=yes\nbShowUnreadGroup=no\nbShowChangeGroupDialog=1\n"
              "bShowOldArticle=Yesterday\nbSignAutoInsert=\n");
    ASSERT_TRUE(doc.OnOpenDocument(dir / "b.lum"));
    EXPECT_TRUE(doc.Config().bShowAllGroup);
    EXPECT_FALSE(doc.Config().bShowUnreadGroup);
    EXPECT_FALSE(doc.Config().bShowChangeGroupDialog);
    EXPECT_TRUE(doc.Config().bShowOldArticle);
    EXPECT_FALSE(doc.Config().bSignAutoInsert);

    CProfileData p(dir / "b.lum", "config");
    p.WriteString("x", std::string_view("YE"));
    EXPECT_FALSE(p.GetBool("x", true));
    EXPECT_TRUE(p.GetBool("missing", true));
    EXPECT_FALSE(p.GetBool("missing", false));
}

TEST_F(ConfigTest, NineteenKeysRoundTripInOrder)
{
    doc.OnNewDocument();
    LumeConfig& c = doc.Config();
    c.nNntpPort = 563;
    c.nMaxReadArtcleCount = 300;
    c.strNntpServer = "news.example.jp";
    c.strMarkFile = "marks.rc";
    c.strMailAddress = "taro@example.jp";
    c.strRealName = "Yamada Taro";                       // a blank: quoted
    c.strOrganization = "\x8a\x94\x8e\xae\x89\xef\x8e\xd0 \x97\xe1"; // Shift_JIS with a blank
    c.bShowAllGroup = true;
    c.bShowUnreadGroup = false;
    c.bShowChangeGroupDialog = false;
    c.bShowOldArticle = false;
    c.PostKanjiCode = 2;
    c.nTcpWaitSec = 30;
    c.nTcpRetryCount = 9;
    registry.WriteInt("Signature", "nSelect", 1);
    registry.WriteInt("Signature", "bAutoInsert", 1);
    ASSERT_TRUE(doc.OnSaveDocument(dir / "c.lum"));
    EXPECT_TRUE(host.shown.empty());
    EXPECT_FALSE(doc.IsModified());

    const auto lines = KeyLines(dir / "c.lum");
    const std::vector<std::string> expect = {
        "nNntpPort=563", "nMaxReadArtcleCount=300", "strNntpServer=news.example.jp", "strMarkFile=marks.rc",
        "strMailAddress=taro@example.jp", "strRealName=\"Yamada Taro\"",
        "strOrganization=\"\x8a\x94\x8e\xae\x89\xef\x8e\xd0 \x97\xe1\"", "bShowAllGroup=YES", "bShowUnreadGroup=NO",
        "bShowChangeGroupDialog=NO", "bShowOldArticle=NO", "PostKanjiCode=2", "nTcpWaitSec=30",
        "nTcpRetryCount=9", "bSignAutoInsert=YES", "nSignSelect=1", "strSignature0=", "strSignature1=",
        "strSignature2="};
    EXPECT_EQ(lines, expect);

    CLumeDoc other(&host, &registry);
    ASSERT_TRUE(other.OnOpenDocument(dir / "c.lum"));
    const LumeConfig& d = other.Config();
    EXPECT_EQ(d.nNntpPort, 563);
    EXPECT_EQ(d.nMaxReadArtcleCount, 300);
    EXPECT_EQ(d.strNntpServer, c.strNntpServer);
    EXPECT_EQ(d.strMarkFile, "marks.rc");
    EXPECT_EQ(d.strRealName, "Yamada Taro");
    EXPECT_EQ(d.strOrganization, c.strOrganization);
    EXPECT_TRUE(d.bShowAllGroup);
    EXPECT_FALSE(d.bShowUnreadGroup);
    EXPECT_EQ(d.PostKanjiCode, 2);
    EXPECT_EQ(d.nTcpWaitSec, 30);
    EXPECT_EQ(d.nTcpRetryCount, 9);
    EXPECT_TRUE(d.bSignAutoInsert);
    EXPECT_EQ(d.nSignSelect, 1);
}

TEST_F(ConfigTest, ValuesWithQuotesLineBreaksAndGreatLengthSurvive)
{
    CProfileData p(dir / "q.lum", "config");
    const std::string longValue(5000, 'x');
    ASSERT_TRUE(p.WriteString("quoted", std::string_view("\"q\"")));
    ASSERT_TRUE(p.WriteString("lines", std::string_view("a\r\nb")));
    ASSERT_TRUE(p.WriteString("long", std::string_view(longValue)));
    ASSERT_TRUE(p.WriteString("lead", std::string_view("  x")));
    EXPECT_EQ(p.GetString("quoted", ""), "\"q\"");
    EXPECT_EQ(p.GetString("lines", ""), "a  b");
    EXPECT_EQ(p.GetString("long", ""), longValue);
    EXPECT_EQ(p.GetString("lead", ""), "  x");
    ASSERT_TRUE(p.WriteString("quoted", std::nullopt));
    EXPECT_EQ(p.GetString("quoted", "gone"), "gone");
    EXPECT_EQ(ReadFile(dir / "q.lum").find("\n\n"), std::string::npos);
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
    EXPECT_FALSE(fs::exists(dir / "marks.tmp"));
}

TEST_F(ConfigTest, OpeningAnotherConfigurationDropsTheGroupsOfThePrevious)
{
    fs::create_directory(dir / "a");
    fs::create_directory(dir / "b");
    WriteFile(dir / "a" / "a.lum", "[config]\r\nstrMarkFile=news.rc\r\n");
    WriteFile(dir / "b" / "b.lum", "[config]\r\nstrMarkFile=news.rc\r\n");
    WriteFile(dir / "a" / "news.rc", "only.in.a: 1-100\r\n");
    WriteFile(dir / "b" / "news.rc", "only.in.b: 1-3\r\n");

    ASSERT_TRUE(doc.OnOpenDocument(dir / "a" / "a.lum"));
    ASSERT_TRUE(doc.LoadReadMarks(*doc.ReadMarksPath()));
    doc.SetCurrentGroup(doc.Groups().Find("only.in.a"));
    ASSERT_TRUE(doc.OnOpenDocument(dir / "b" / "b.lum"));
    EXPECT_TRUE(doc.Groups().IsEmpty());
    EXPECT_EQ(doc.GetCurrentGroup(), nullptr);
    ASSERT_TRUE(doc.OnSaveDocument(dir / "b" / "b.lum"));
    EXPECT_EQ(ReadFile(dir / "b" / "news.rc"), "only.in.b: 1-3\r\n");
}

TEST_F(ConfigTest, ReadMarksNameMustStayBesideTheConfiguration)
{
    for (const char* name : {"../evil", "/etc/passwd", "sub/../../x"}) {
        host.shown.clear();
        WriteFile(dir / "e.lum", std::string("[config]\r\nstrMarkFile=") + name + "\r\n");
        ASSERT_TRUE(doc.OnOpenDocument(dir / "e.lum"));
        EXPECT_FALSE(doc.ReadMarksPath());
        EXPECT_FALSE(doc.OnSaveDocument(dir / "e.lum"));
        EXPECT_EQ(host.Ids(), std::vector<unsigned>{msg::NoRecordFileName}) << name;
    }
    EXPECT_EQ(CLumeDoc::ReadMarksPathFor("/h/u/x.lum", "sub/news.rc"), fs::path("/h/u/sub/news.rc"));
    EXPECT_EQ(CLumeDoc::ReadMarksPathFor("x.lum", "news.rc"), fs::path("news.rc"));
}

TEST_F(ConfigTest, RefusedConfigurationWriteStopsTheSave)
{
    doc.OnNewDocument();
    const fs::path bad = "/dev/null/x.lum";
    EXPECT_FALSE(doc.OnSaveDocument(bad));
    ASSERT_EQ(host.Ids(), std::vector<unsigned>{msg::WriteFileFailed});
    EXPECT_EQ(host.shown[0].args, std::vector<std::string>{bad.string()});
}

TEST_F(ConfigTest, FailedReadMarksSaveIsReportedAndKeepsTheFile)
{
    doc.OnNewDocument();
    WriteFile(dir / "news.rc", "a.b: 1\r\n");
    ASSERT_TRUE(doc.OnSaveDocument(dir / "f.lum"));
    ASSERT_TRUE(doc.LoadReadMarks(dir / "news.rc"));
    doc.Groups().Find("a.b")->m_strReadList = "1-2";
    fs::create_directory(dir / "news.tmp");
    doc.SetModifiedFlag();
    EXPECT_FALSE(doc.OnSaveDocument(dir / "f.lum"));
    EXPECT_EQ(host.Ids(), (std::vector<unsigned>{msg::OpenCreateFailed, msg::SaveRecordFailed}));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(ReadFile(dir / "news.rc"), "a.b: 1\r\n");
}

TEST_F(ConfigTest, AfterAReadErrorTheFileIsNeverReplaced)
{
    doc.OnNewDocument();
    fs::create_directory(dir / "unreadable.rc");
    EXPECT_FALSE(doc.LoadReadMarks(dir / "unreadable.rc"));
    EXPECT_TRUE(doc.ReadMarksLoadFailed());
    WriteFile(dir / "news.rc", "kept: 1-9\r\n");
    auto g = std::make_unique<CNewsGroup>();
    g->m_strName = "from.server";
    doc.Groups().Set(std::move(g));
    host.shown.clear();
    EXPECT_FALSE(doc.OnSaveDocument(dir / "g.lum"));
    EXPECT_EQ(host.Ids(), std::vector<unsigned>{msg::SaveRecordFailed});
    EXPECT_EQ(ReadFile(dir / "news.rc"), "kept: 1-9\r\n");
    EXPECT_EQ(ReadFile(dir / "news.tmp"), "from.server: \r\n");

    // Another configuration starts clean.
    doc.OnNewDocument();
    EXPECT_FALSE(doc.ReadMarksLoadFailed());
}

TEST_F(ConfigTest, OutOfRangeIntegersAreUsedAsDefaultsButKept)
{
    WriteFile(dir / "r.lum",
              "[config]\r\nnNntpPort=70000\r\nnTcpWaitSec=-5\r\nnTcpRetryCount=99999\r\nPostKanjiCode=7\r\n"
              "strMarkFile=news.rc\r\n");
    ASSERT_TRUE(doc.OnOpenDocument(dir / "r.lum"));
    const LumeConfig& c = doc.Config();
    EXPECT_EQ(c.UsedNntpPort(), 119);
    EXPECT_EQ(c.UsedTcpWaitSec(), 12);
    EXPECT_EQ(c.UsedTcpRetryCount(), 5);
    EXPECT_EQ(c.UsedPostKanjiCode(), 0);
    LumeConfig ok;
    ok.nNntpPort = 65535;
    ok.nTcpWaitSec = 0;
    ok.nTcpRetryCount = 0;
    ok.PostKanjiCode = 2;
    EXPECT_EQ(ok.UsedNntpPort(), 65535);
    EXPECT_EQ(ok.UsedTcpWaitSec(), 0);
    EXPECT_EQ(ok.UsedTcpRetryCount(), 0);
    EXPECT_EQ(ok.UsedPostKanjiCode(), 2);

    ASSERT_TRUE(doc.OnSaveDocument(dir / "r.lum"));
    const std::string text = ReadFile(dir / "r.lum");
    EXPECT_NE(text.find("nNntpPort=70000\r\n"), std::string::npos);
    EXPECT_NE(text.find("nTcpWaitSec=-5\r\n"), std::string::npos);
}

TEST_F(ConfigTest, EmptyPathGoesToTheSettingsStore)
{
    CProfileData p("", "Settings", &registry);
    EXPECT_EQ(p.GetInt("bCompareNoCase", 0), 0);
    ASSERT_TRUE(p.WriteInt("bCompareNoCase", 1));
    ASSERT_TRUE(p.WriteString("name", std::string_view("a b")));
    ASSERT_TRUE(p.WriteBool("flag", true));
    platform::Registry reread(dir / "registry");
    EXPECT_EQ(reread.GetInt("Settings", "bCompareNoCase", 0), 1);
    EXPECT_EQ(reread.GetString("Settings", "name"), "a b");
    EXPECT_TRUE(CProfileData("", "Settings", &reread).GetBool("flag", false));
}

} // namespace
