// The document against a real INN (scripts/inn-server.sh): going online with
// a real news.rc, opening groups, limits, Cancel, reload, refusals and
// re-entry. Tests post their own articles and set read marks so that only
// those count as unread, so earlier traffic on the server does not matter.
#include "ServerSupport.h"

#include "message/CacheFile.h"
#include "message/HeaderFields.h"
#include "net/Nntp.h"
#include "news/FollowUp.h"
#include "news/PostArticle.h"
#include "news/LumeDoc.h"
#include "news/ScoreBook.h"
#include "platform/Registry.h"
#include "textcodec/Charsets.h"
#include "tools/ToolCommands.h"

#include <set>
#include <sstream>

// The forms name only the fields they set.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace textcodec;
using namespace news;

namespace cmd = platform::cmd;

namespace fs = std::filesystem;
using inttest::Poster;
using inttest::Tag;
using testutil::ReadFile;
using newstest::RecordingView;
using newstest::ScriptedHost;

namespace {

struct DocServer : ::testing::Test {
    std::optional<inttest::Server> server_ = inttest::TestServer();
    testutil::ScratchDir dir;
    ScriptedHost host;
    std::unique_ptr<platform::Registry> registry;
    std::unique_ptr<CLumeDoc> doc;
    RecordingView view;

    void SetUp() override
    {
        if (!server_)
            GTEST_SKIP() << NO_SERVER_MESSAGE;
        registry = std::make_unique<platform::Registry>(dir / "registry");
        doc = std::make_unique<CLumeDoc>(&host, *registry);
        doc->AddView(&view);
    }
    // A configuration file naming the server, and a news.rc beside it.
    fs::path WriteConfig(const std::string& newsrc, int limit = 50)
    {
        const fs::path lum = dir / "test.lum";
        std::ofstream(lum) << "[config]\r\nnNntpPort=" << server_->port << "\r\nstrNntpServer=" << server_->host
                           << "\r\nstrMarkFile=news.rc\r\nnMaxReadArtcleCount=" << limit
                           << "\r\nbShowOldArticle=NO\r\nstrRealName=Taro\r\n"
                           << "strMailAddress=taro@example.invalid\r\nPostKanjiCode=2\r\n";
        std::ofstream(dir / "news.rc", std::ios::binary) << newsrc;
        return lum;
    }
    void Online(const std::string& newsrc, int limit = 50)
    {
        ASSERT_TRUE(doc->OnOpenDocument(WriteConfig(newsrc, limit)));
        doc->ToggleOnline();
        ASSERT_TRUE(doc->IsConnected()) << host.texts.size();
    }
    // Other tests may post to the same group meanwhile: ours are found by tag.
    struct Posted {
        int first = 0, second = 0; // the group's last article before and after
        std::vector<int> ours;     // newest first
    };
    Posted Fresh(const std::string& group, int count, const std::string& tag)
    {
        Poster p(*server_);
        Posted r;
        r.first = p.Range(group).second;
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(p.Post(group, tag + " " + std::to_string(i)));
        r.second = p.Range(group).second;
        r.ours = p.Find(group, r.first + 1, r.second, tag + " ");
        EXPECT_EQ(r.ours.size(), static_cast<std::size_t>(count));
        return r;
    }
    // Opens group with every article but unread (newest first) marked read.
    bool OpenUnread(const std::string& group, const std::vector<int>& unread)
    {
        std::string marks;
        long long from = 1;
        for (auto it = unread.rbegin(); it != unread.rend(); ++it) {
            if (*it > from)
                marks += (marks.empty() ? "" : ",") + std::to_string(from) + "-" + std::to_string(*it - 1);
            from = *it + 1LL;
        }
        marks += (marks.empty() ? "" : ",") + std::to_string(from) + "-2147483647";
        return OpenWith(group, marks);
    }
    bool OpenWith(const std::string& group, const std::string& marks)
    {
        CNewsGroup* g = doc->Groups().Find(group);
        EXPECT_NE(g, nullptr) << group;
        if (!g)
            return false;
        doc->SetCurrentGroup(nullptr); // stores the open group's marks first
        g->m_strReadList = marks;
        doc->SetCurrentGroup(g);
        return doc->OpenCurrentGroup();
    }
    // Opens group with everything up to readUpTo marked read.
    bool Open(const std::string& group, int readUpTo)
    {
        return OpenWith(group, readUpTo > 0 ? "1-" + std::to_string(readUpTo) : "");
    }
    std::vector<int> Numbers() const
    {
        std::vector<int> n;
        for (const auto& a : doc->Articles())
            n.push_back(a->m_nNumber);
        return n;
    }
};

TEST_F(DocServer, GoingOnlineMergesTheServerListWithTheReadMarks)
{
    Poster p(*server_);
    // Other tests may post to local.test meanwhile: its range lies between these.
    const auto before = p.Range("local.test");
    Online("local.test: 1-3\r\nfj.test! 1-2\r\nno.such.group: 1-5\r\n");
    const auto after = p.Range("local.test");
    EXPECT_EQ(view.hints, std::vector<news::Hint>{news::Hint::Online});
    EXPECT_TRUE(doc->IsModified() && !doc->IsBusy() && !host.waitDepth && host.messages.empty());
    // The session start's window, then the group list's.
    ASSERT_EQ(host.progress.size(), 2u);
    EXPECT_TRUE(host.progress[0]->closed && host.progress[1]->closed);
    ASSERT_FALSE(host.progress[1]->messages.empty());
    EXPECT_TRUE(host.progress[1]->messages[0].starts_with("0: "));

    const CNewsGroup* lt = doc->Groups().Find("local.test");
    ASSERT_NE(lt, nullptr);
    EXPECT_TRUE(!lt->m_bNew && lt->m_bSubscribed);
    EXPECT_EQ(lt->m_nFirst, after.first);
    EXPECT_TRUE(before.second <= lt->m_nLast && lt->m_nLast <= after.second) << lt->m_nLast;
    const CNewsGroup* fj = doc->Groups().Find("fj.test");
    EXPECT_FALSE(fj->m_bSubscribed || fj->m_bNew);
    const CNewsGroup* bulk = doc->Groups().Find("local.bulk");
    ASSERT_NE(bulk, nullptr) << "scripts/inn-server.sh lists local.bulk in a fresh server folder";
    EXPECT_TRUE(bulk->m_bNew && bulk->m_bSubscribed);
    EXPECT_FALSE(doc->Groups().Find("local.readonly")->m_bPostAllowed);
    EXPECT_TRUE(doc->Groups().Find("local.moderated")->m_bPostAllowed);
    const CNewsGroup* gone = doc->Groups().Find("no.such.group"); // kept, marks and all
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(std::pair(gone->m_nFirst, gone->m_nLast), std::pair(0, 0));
    EXPECT_EQ(gone->m_strReadList, " 1-5");
    EXPECT_EQ(doc->LastGroupListStats().lines + 1, static_cast<long long>(doc->Groups().GetCount()));

    // Online is checked; Reload needs an open group and Mark read a non-empty list.
    for (unsigned id : {cmd::Online, cmd::NextArticle, cmd::NewArticle, cmd::FollowUp, cmd::NextUnread, cmd::Find,
                        cmd::Reload, cmd::MarkRead}) {
        CommandState c;
        doc->OnUpdateCommand(id, c);
        EXPECT_EQ(std::pair(c.enabled, c.checked), std::pair(id != cmd::Reload && id != cmd::MarkRead, id == cmd::Online))
            << id;
    }
    // Offline tells the panes and keeps the table.
    doc->OnCommand(cmd::Online);
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_EQ(view.hints, (std::vector<news::Hint>{news::Hint::Online, news::Hint::Online}));
    // A second time online does not read the file again (the table is not empty).
    std::ofstream(dir / "news.rc", std::ios::binary) << "local.test: 1-99999\r\n";
    doc->OnCommand(cmd::Online);
    EXPECT_EQ(doc->Groups().Find("local.test")->m_strReadList, "1-3");
    EXPECT_FALSE(doc->Groups().Find("local.bulk")->m_bNew);

    // Saving writes every group, the new ones included.
    ASSERT_TRUE(doc->OnSaveDocument(dir / "test.lum"));
    const std::string saved = ReadFile(dir / "news.rc");
    EXPECT_NE(saved.find("local.bulk: \r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("fj.test! 1-2\r\n"), std::string::npos) << saved;
}

TEST_F(DocServer, OpeningGroupsOfNoneOneAndMany)
{
    const std::string tag = Tag();
    const auto one = Fresh("local.test", 1, tag);
    const auto many = Fresh("local.many", 120, tag);
    Online("");

    // local.empty accepts nothing: no HEAD is sent, the list stays empty.
    ASSERT_NE(doc->Groups().Find("local.empty"), nullptr);
    EXPECT_TRUE(Open("local.empty", 0));
    EXPECT_TRUE(doc->Articles().empty());

    EXPECT_TRUE(OpenUnread("local.test", one.ours));
    ASSERT_EQ(Numbers(), one.ours);
    const auto& a = *doc->Articles()[0];
    EXPECT_EQ(a.m_strSubject + "|" + a.m_strFrom + "|" + a.m_strMessageID[0], tag + " 0|tester@example.invalid|<");
    EXPECT_GT(a.m_timeDate, 1700000000);

    view.hints.clear();
    doc->Config().nMaxReadArtcleCount = 500;
    EXPECT_TRUE(OpenUnread("local.many", many.ours));
    EXPECT_EQ(Numbers(), many.ours);
    EXPECT_TRUE(host.limitPresets.empty());
    const CNewsGroup* lm = doc->Groups().Find("local.many");
    EXPECT_EQ(host.progress.back()->total, lm->m_nLast - lm->m_nFirst + 1);
    EXPECT_TRUE(view.hints.empty()); // the pane asked; it rebuilds itself

    // Read articles are listed too with bShowOldArticle, unread ones marked.
    doc->Config().bShowOldArticle = true;
    EXPECT_TRUE(Open("local.many", many.second - 3));
    for (const auto& a : doc->Articles())
        EXPECT_EQ(a->m_bRead, a->m_nNumber <= many.second - 3) << a->m_nNumber;
    EXPECT_GE(doc->Articles().size(), 120u);
}

TEST_F(DocServer, LimitDialogAndShowOldArticleStop)
{
    const std::string tag = Tag();
    const auto f = Fresh("local.test", 12, tag);
    Online("", 5);
    // Cancel or a number below 1 stop at once.
    for (ScriptedHost::LimitAnswer a : {ScriptedHost::LimitAnswer{IDCANCEL, 3}, {IDYES, 0}, {IDYES, -4}}) {
        host.limitAnswers = {a};
        EXPECT_TRUE(OpenUnread("local.test", f.ours));
        EXPECT_EQ(doc->Articles().size(), 5u);
    }
    // With read articles listed, the limit stops silently when one was read.
    host.limitPresets.clear();
    doc->Config().bShowOldArticle = true;
    EXPECT_TRUE(OpenUnread("local.test", {f.ours[0], f.ours[1]}));
    // Articles other tests post meanwhile come first, read: which of the five
    // is last depends on them.
    EXPECT_EQ(doc->Articles().size(), 5u);
    for (const auto& a : doc->Articles())
        EXPECT_EQ(a->m_bRead, a->m_nNumber != f.ours[0] && a->m_nNumber != f.ours[1]) << a->m_nNumber;
    EXPECT_TRUE(host.limitPresets.empty());
}

TEST_F(DocServer, CancelInTheProgressWindowClearsTheListAndKeepsTheConnection)
{
    const auto f = Fresh("local.test", 6, Tag());
    Online("");
    for (int step : {1, 4}) {
        view.hints.clear();
        host.cancelAtMessage = step;
        EXPECT_FALSE(OpenUnread("local.test", f.ours));
        EXPECT_TRUE(doc->Articles().empty());
        EXPECT_EQ(doc->GetCurrentGroup(), nullptr);
        EXPECT_EQ(view.hints, std::vector<news::Hint>{news::Hint::Group});
        EXPECT_TRUE(host.progress.back()->closed);
        EXPECT_EQ(host.openNow, 0);
    }
    host.cancelAtMessage = 0;
    EXPECT_TRUE(OpenUnread("local.test", f.ours));
    EXPECT_EQ(Numbers(), f.ours);
    EXPECT_TRUE(host.messages.empty());
}

// Through a 20 ms link cutting what it passes at random bytes, commands sent
// ahead give what a server taking one at a time gives: the same articles in
// the same order, read marks and bodies.
TEST_F(DocServer, CommandsAheadThroughASlowLinkMatchOneAtATime)
{
    const auto f = Fresh("local.many", 30, Tag());
    std::string seen[2];
    for (int i = 0; i < 2; ++i) {
        inttest::SlowLink link(*server_, i ? "--rtt-ms 20 --lose-ahead" : "--rtt-ms 20 --split");
        ASSERT_GT(link.port, 0);
        doc = std::make_unique<CLumeDoc>(&host, *registry);
        const int real = std::exchange(server_->port, link.port);
        Online("");
        server_->port = real;
        ASSERT_TRUE(OpenUnread("local.many", f.ours));
        EXPECT_EQ(Numbers(), f.ours);
        doc->ExpectArticles(Numbers());
        for (const auto& a : doc->Articles())
            seen[i] += a->m_strSubject + a->m_strMessageID +
                       (doc->FetchArticleBody(a->m_nNumber, dir / "b") == BodyFetch::Arrived ? ReadFile(dir / "b") : "");
        doc->SetCurrentGroup(nullptr);
        seen[i] += doc->Groups().Find("local.many")->m_strReadList + (doc->Nntp().Pipelining() ? "" : " one at a time");
        doc->GoOffline();
    }
    EXPECT_EQ(seen[0] + " one at a time", seen[1]);
}

// INN offers OVER with Xref in its overview: the list, its order and the
// marks are the same through the overview, through HEAD, and from the header
// store (filled by the third run, read by the fourth).
TEST_F(DocServer, OverviewHeadAndTheStoreGiveTheSameList)
{
    Fresh("local.many", 5, Tag());
    // Other tests post to and cancel in these groups meanwhile: the rows are
    // compared where every run saw the article.
    std::map<std::string, std::string> seen[4];
    for (int i = 0; i < 4; ++i) {
        doc = std::make_unique<CLumeDoc>(&host, *registry);
        doc->SetUseOverview(i != 1);
        if (i >= 2)
            doc->UseHeaderStore(dir / "cache" / "headers.sqlite");
        Online("", -1);
        for (const char* group : {"local.test", "fj.test", "local.many"}) {
            if (!doc->Groups().Find(group))
                continue;
            ASSERT_TRUE(OpenWith(group, "1-2")) << group;
            for (const auto& a : doc->Articles())
                seen[i][std::string(group) + " " + std::to_string(a->m_nNumber)] =
                    a->m_strSubject + " " + a->m_strFrom + " " + a->m_strMessageID + " " + a->m_strReferences + " " +
                    a->m_strXref + " " + std::to_string(a->m_timeDate) + " " +
                    (doc->ReadList().IsRead(a->m_nNumber) ? "read" : "unread");
            doc->SetCurrentGroup(nullptr);
        }
        doc->GoOffline();
    }
    int compared = 0;
    for (const auto& [key, row] : seen[0]) {
        if (!seen[1].count(key) || !seen[2].count(key) || !seen[3].count(key))
            continue;
        ++compared;
        for (int i = 1; i < 4; ++i)
            EXPECT_EQ(row, seen[i][key]) << key << " run " << i;
    }
    EXPECT_GT(compared, 10);
}

// Articles are scored whichever way the header came; a rule the file cannot
// use is reported by file and line, and the rest still apply.
TEST_F(DocServer, ScoresThroughOverviewAndHead)
{
    const std::string tag = Tag();
    const auto f = Fresh("local.many", 6, tag);
    const fs::path score = dir / "score";
    std::ofstream(score) << "[local.*]\nScore: =-9999\nSubject: ^" << tag << " [024]$\n"
                         << "Score: 10\nFrom: ^tester@\nBytes: 10\n"
                         << "Score: 5\nSubject: (\n";
    registry->WriteString(ScoreSettings::kSection, "strFile", score.string());
    std::string seen[2];
    for (int i = 0; i < 2; ++i) {
        host = ScriptedHost();
        doc = std::make_unique<CLumeDoc>(&host, *registry);
        doc->SetUseOverview(i == 0);
        Online("");
        ASSERT_TRUE(OpenUnread("local.many", f.ours));
        ASSERT_EQ(host.texts.size(), 1u);
        EXPECT_NE(host.texts[0].find(score.string() + ":8: bad pattern"), std::string::npos) << host.texts[0];
        for (const auto& a : doc->Articles()) {
            const bool kill = a->m_strSubject.find_last_of("024") == a->m_strSubject.size() - 1;
            EXPECT_EQ(a->m_bKilled, kill) << a->m_strSubject;
            EXPECT_EQ(doc->ReadList().IsRead(a->m_nNumber), kill) << a->m_strSubject;
            seen[i] += std::to_string(a->m_nNumber) + " " + std::to_string(a->m_nScore) + "\n";
        }
        doc->GoOffline();
    }
    // Through the overview Bytes is known, so the From rule's second test passes there alone.
    EXPECT_NE(seen[0].find(" 10\n"), std::string::npos) << seen[0];
    EXPECT_EQ(seen[1].find(" 10\n"), std::string::npos) << seen[1];
    EXPECT_NE(seen[1].find(" -9999\n"), std::string::npos) << seen[1];
}

TEST_F(DocServer, AGroupListPastItsBoundIsRefusedAndTheMarksFileKept)
{
    const std::string marks = "local.test: 1-3\r\n";
    for (auto [limits, said] : {std::pair{CLumeDoc::GroupListLimits{2, 1LL << 30}, std::vector<std::string>{"2", "1 GB"}},
                                std::pair{CLumeDoc::GroupListLimits{5'000'000, 40}, std::vector<std::string>{"5000000", "40 bytes"}}}) {
        host = ScriptedHost();
        doc = std::make_unique<CLumeDoc>(&host, *registry);
        doc->SetGroupListLimits(limits);
        ASSERT_TRUE(doc->OnOpenDocument(WriteConfig(marks)));
        doc->ToggleOnline();
        EXPECT_FALSE(doc->IsConnected() || doc->IsModified() || doc->IsBusy());
        ASSERT_EQ(host.StopIds(), newstest::Ids{61367});
        EXPECT_EQ(host.messages[0].args, said);
        EXPECT_EQ(ReadFile(dir / "news.rc"), marks);
    }
}

TEST_F(DocServer, ReloadAsksTheServerForTheGroupsRange)
{
    const auto f = Fresh("local.test", 1, Tag());
    Online("local.test: 1-" + std::to_string(f.first) + "\r\n");
    ASSERT_TRUE(Open("local.test", f.first));
    EXPECT_EQ(Numbers(), f.ours);
    // Posted while the group is open: the range it was opened with ends before it.
    const auto later = Fresh("local.test", 1, Tag());
    host.reloadAnswers = {{IDOK, 0, 0}};
    doc->OnCommand(cmd::Reload);
    ASSERT_EQ(host.reloadPresets.size(), 1u);
    EXPECT_GE(host.reloadPresets[0].second, later.second);
    EXPECT_GE(doc->GetCurrentGroup()->m_nLast, later.second);
    const std::vector<int> listed = Numbers();
    EXPECT_NE(std::find(listed.begin(), listed.end(), later.ours[0]), listed.end());
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(DocServer, UnknownGroupMissingArticlesAndReload)
{
    const auto f = Fresh("local.test", 4, Tag());
    Online("local.test: 1-" + std::to_string(f.first) + "\r\nlocal.gone.away: 1-3\r\n");

    // 411: reported, unsubscribed, nothing fetched, still a success.
    EXPECT_TRUE(Open("local.gone.away", 3));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, 61280u);
    EXPECT_EQ(host.messages[0].args, std::vector<std::string>{"local.gone.away"});
    EXPECT_FALSE(doc->Groups().Find("local.gone.away")->m_bSubscribed);
    EXPECT_TRUE(doc->Articles().empty());
    host.messages.clear();

    EXPECT_TRUE(OpenUnread("local.test", f.ours));
    ASSERT_EQ(doc->Articles().size(), 4u);

    // Reload: a start below the first and an end of 0 or above the last mean
    // the group's range; only unread articles not yet listed are fetched.
    doc->MarkArticleRead(f.ours[0]);
    EXPECT_TRUE(doc->IsModified());
    doc->ClearArticles();
    view.hints.clear();
    const CNewsGroup* g = doc->GetCurrentGroup();
    for (auto [s, e] : {std::pair{-5, 0}, {1, f.second + 100}}) {
        host.reloadAnswers = {{IDOK, s, e}};
        doc->OnCommand(cmd::Reload);
    }
    EXPECT_EQ(host.reloadPresets[0], std::pair(g->m_nFirst, g->m_nLast));
    const std::vector<int> rest(f.ours.begin() + 1, f.ours.end());
    EXPECT_EQ(Numbers(), rest);
    EXPECT_EQ(view.hints, (std::vector<news::Hint>{news::Hint::Group, news::Hint::Group}));
    // Cancel in dialog 122: nothing happens.
    host.reloadAnswers = {{IDCANCEL, 1, 1}};
    doc->OnCommand(cmd::Reload);
    EXPECT_EQ(view.hints.size(), 2u);
    EXPECT_TRUE(host.messages.empty());

    // The mark went into the group's marks: the next open skips it.
    CNewsGroup* lt = doc->Groups().Find("local.test");
    doc->SetCurrentGroup(nullptr);
    doc->SetCurrentGroup(lt);
    EXPECT_TRUE(doc->OpenCurrentGroup());
    EXPECT_EQ(Numbers(), rest);

    // 423 for numbers the server does not have: marked read, nothing listed.
    const int missing = f.second + 1000000;
    doc->ReadList().RemoveAll();
    EXPECT_TRUE(doc->FetchArticles(missing, missing + 2, false, -1));
    EXPECT_TRUE(doc->ReadList().IsRead(missing + 1));
    EXPECT_EQ(doc->Articles().size(), 3u);
    EXPECT_TRUE(host.messages.empty());
}

// Commands arriving while a fetch pumps events are refused, and nothing the
// running loop uses goes away.
TEST_F(DocServer, ReentryDuringFetchAndGroupListIsRefused)
{
    const auto f = Fresh("local.test", 8, Tag());
    ASSERT_TRUE(doc->OnOpenDocument(WriteConfig("")));
    int refusedDuringList = 0;
    host.onPump = [&](int n) {
        if (n != 3)
            return;
        CommandState s;
        doc->OnUpdateCommand(cmd::Online, s);
        refusedDuringList = !s.enabled + !doc->GoOffline() + !doc->OnOpenDocument(dir / "test.lum") +
                            !doc->FetchGroupList();
        doc->ToggleOnline();
    };
    doc->ToggleOnline();
    ASSERT_TRUE(doc->IsConnected());
    EXPECT_EQ(refusedDuringList, 4);
    EXPECT_EQ(host.connectCalls.size(), 1u);
    EXPECT_EQ(view.hints, std::vector<news::Hint>{news::Hint::Online});

    CNewsGroup* other = doc->Groups().Find("fj.test");
    CNewsGroup* lt = doc->Groups().Find("local.test");
    int pumps = 0;
    host.onPump = [&](int) {
        if (++pumps != 4)
            return;
        const auto count = doc->Articles().size();
        doc->ToggleOnline();
        EXPECT_EQ(doc->SetCurrentGroup(other), lt);
        int a = 0, b = 0;
        bool u = false;
        EXPECT_FALSE(doc->GoOffline() || doc->OpenCurrentGroup() || doc->OpenGroup(*other, a, b, u) ||
                     doc->FetchArticles(1, 5, true, -1) || doc->OnNewDocument());
        doc->ClearArticles();
        host.reloadAnswers = {{IDOK, 1, 5}};
        doc->OnCommand(cmd::Reload);
        EXPECT_EQ(doc->Articles().size(), count);
        EXPECT_EQ(doc->GetCurrentGroup(), lt);
        EXPECT_TRUE(doc->IsConnected());
    };
    host.beeps = 0;
    EXPECT_TRUE(OpenUnread("local.test", f.ours));
    EXPECT_GE(pumps, 4);
    EXPECT_GE(host.beeps, 3);
    EXPECT_TRUE(host.reloadPresets.empty());
    EXPECT_EQ(Numbers(), f.ours);
    host.onPump = nullptr;
    // Still in step with the server.
    EXPECT_TRUE(OpenUnread("local.test", {f.ours[0]}));
    EXPECT_EQ(Numbers(), std::vector<int>{f.ours[0]});
}

TEST_F(DocServer, PostParametersForNewArticleAndFollowUp)
{
    Online("");
    doc->SetCurrentGroup(doc->Groups().Find("local.test"));
    doc->OnCommand(cmd::NewArticle);
    ASSERT_EQ(host.postParams.size(), 1u);
    const PostParams& p = host.postParams[0];
    EXPECT_EQ(p.strRealName + "|" + p.strMailAddress + "|" + p.strNntpServer + "|" + p.strNewsgroups,
              "Taro|taro@example.invalid|" + server_->host + "|local.test");
    EXPECT_EQ(std::pair(p.nNntpPort, p.PostKanjiCode), std::pair(server_->port, KanjiCode::Euc));
    EXPECT_EQ(host.postSources[0], nullptr);

    // The shown article's groups and distribution (decoded) replace them.
    host.showsArticle = true;
    host.shownHeader = "Newsgroups: fj.test,local.test\r\nDistribution: =?ISO-2022-JP?B?GyRCRnxLXBsoQg==?=\r\n"
                       "Subject: hello\r\n\r\n";
    host.shownText = "Subject: hello\r\n\r\nbody line\r\n";
    doc->OnCommand(cmd::NewArticle);
    EXPECT_EQ(host.postParams[1].strNewsgroups, "fj.test,local.test");
    EXPECT_EQ(host.postParams[1].strDistribution, "\x93\xfa\x96\x7b");

    // A follow-up gets the header and the body without the header lines
    // shown above it, all of them or the filtered ones.
    doc->OnCommand(cmd::FollowUp);
    EXPECT_EQ(host.postParams[2].strNewsgroups, "local.test");
    ASSERT_NE(host.postSources[2], nullptr);
    EXPECT_EQ(host.postSources[2]->header, host.shownHeader);
    EXPECT_EQ(host.postSources[2]->body, "\r\n\r\nbody line\r\n");
    registry->WriteInt("BodyView", "bShowHeader", 1);
    doc->OnCommand(cmd::FollowUp);
    EXPECT_EQ(host.postSources[3]->body, "\r\n\r\nbody line\r\n");
    EXPECT_TRUE(host.messages.empty());

    host.postResult = PostWindowResult::CreateFailed;
    doc->OnCommand(cmd::NewArticle);
    host.postResult = PostWindowResult::Abandoned;
    doc->OnCommand(cmd::FollowUp);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].id, 61248u);
}

TEST_F(DocServer, ToolOpenPrintsDecodedSubjectsAndSavesMarks)
{
    const std::string tag = Tag();
    Poster p(*server_);
    const int before = p.Range("local.japanese").second;
    // "日本" as an ISO-2022-JP encoded word.
    ASSERT_TRUE(p.Post("local.japanese", "=?ISO-2022-JP?B?GyRCRnxLXBsoQg==?= " + tag));
    const int last = p.Range("local.japanese").second;
    const fs::path lum = WriteConfig("local.japanese: 1-" + std::to_string(before) + "\r\n");

    std::ostringstream out, err;
    EXPECT_EQ(tools::OpenCommand(*registry, {"--config", lum.string(), "--save", "local.japanese"}, out, err), 0) << err.str();
    EXPECT_NE(out.str().find(std::to_string(last) + "\t"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\t\xe6\x97\xa5\xe6\x9c\xac " + tag + "\n"), std::string::npos) << out.str();
    const std::string saved = ReadFile(dir / "news.rc");
    const std::size_t at = saved.find("local.japanese: ");
    ASSERT_NE(at, std::string::npos) << saved;
    CReadList marks;
    marks.Parse(saved.substr(at + 16, saved.find('\r', at) - at - 16));
    EXPECT_TRUE(marks.IsRead(last));
    EXPECT_FALSE(marks.HasUnreadIn(1, last)) << saved;

    std::ostringstream out2;
    EXPECT_EQ(tools::OnlineCommand(*registry, {"--config", lum.string()}, out2, err), 0);
    EXPECT_EQ(out2.str().rfind("groups ", 0), 0u);
    EXPECT_EQ(tools::OpenCommand(*registry, {"--config", lum.string(), "no.such.group"}, out2, err), 1);
}

std::string S(const char* utf8) { return textcodec::Utf8ToSjis(utf8); }

// Header and body in Shift_JIS, as the body pane holds them.
using Fetched = std::pair<std::string, std::string>;

// A Japanese article, a follow-up to it and a follow-up to that: subjects,
// References chains, quoted bodies, one thread.
TEST(FollowUpServer, ChainIsAcceptedAndReadsBackAsOneThread)
{
    REQUIRE_SERVER();
    const std::string group = "local.japanese", tag = inttest::Tag();
    const PostParams settings{.strMailAddress = "taro@example.invalid", .strNntpServer = server->host,
                              .nNntpPort = server->port, .PostKanjiCode = textcodec::KanjiCode::Jis};
    inttest::Poster poster(*server);
    const int before = poster.Range(group).second;
    auto post = [&](PostForm form, int step) {
        form.replyTo = tag + "-" + std::to_string(step) + "@example.invalid";
        EXPECT_TRUE(PostArticle(form, settings).posted);
        const int n = poster.Find(group, before + 1, poster.Range(group).second, form.replyTo, "Reply-To").at(0);
        std::ostringstream article, err;
        tools::FetchCommand({"--server", server->host, "--port", std::to_string(server->port), group, std::to_string(n)},
                            article, err);
        std::string text = message::MakeCacheText(article.str());
        text.resize(text.size() - message::kCacheEnd.size());
        const std::size_t blank = text.find("\r\n\r\n");
        return Fetched{text.substr(0, blank + 2), text.substr(blank + 4)};
    };
    auto followUp = [&](const Fetched& parent, int step) {
        const FollowUpFields f = MakeFollowUpFields(parent.first, parent.second,
                                                    {SplitGroupItems(FollowUpGroups(parent.first)), {true}, {true, false, 2, ">"}});
        return post({.newsgroups = f.newsgroups, .subject = f.subject, .body = f.body + S("返事です\r\n"),
                     .references = f.references}, step);
    };
    const Fetched root = post({.newsgroups = group, .subject = S("日本語の題名"), .body = S("一行目\r\n二行目\r\n")}, 0);
    const Fetched first = followUp(root, 1);
    const Fetched second = followUp(first, 2);

    auto field = [](const Fetched& f, const char* name) { return message::GetHeaderField(f.first, name, true); };
    const std::string id0 = field(root, "Message-ID"), id1 = field(first, "Message-ID");
    EXPECT_EQ(field(first, "Subject") + "|" + field(second, "Subject"), S("Re: 日本語の題名|Re: 日本語の題名"));
    EXPECT_EQ(field(first, "References") + "|" + field(second, "References"), id0 + "|" + id0 + " " + id1);
    EXPECT_TRUE(first.second.starts_with(S(">一行目\r\n>二行目\r\n>\r\n"))) << first.second;
    EXPECT_TRUE(second.second.starts_with(S(">>一行目\r\n>>二行目\r\n>>\r\n"))) << second.second;
    EXPECT_NE(second.second.find(S("\r\n>返事です\r\n>\r\n")), std::string::npos) << second.second;
    // The article list threads each under the last References entry.
    EXPECT_EQ(CArticle::FromLastAngle(field(first, "References")) + CArticle::FromLastAngle(field(second, "References")),
              id0 + id1);
}

} // namespace
