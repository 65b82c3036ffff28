// The document's commands offline, and its online work against a scripted
// peer for what a real server will not do: dropped connections, garbage,
// stalls and refusals of service.
#include "ScriptedHost.h"

#include "../net/FakeServer.h"
#include "net/Tcpip.h"
#include "news/LumeDoc.h"
#include "platform/MessageFormat.h"
#include "platform/Registry.h"
#include "platform/StringTable.h"
#include "textcodec/Charsets.h"
#include "textcodec/Yenc.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>

using namespace news;
using namespace newstest;
namespace cmd = platform::cmd;

namespace {

struct DocFixture : ::testing::Test {
    ScratchDir dir;
    platform::Registry registry{dir / "registry"};
    ScriptedHost host;
    CLumeDoc doc{&host, registry};
    RecordingView view;

    void SetUp() override
    {
        doc.OnNewDocument();
        doc.Config().strNntpServer = "news.example";
        doc.AddView(&view);
    }

    CommandState State(unsigned id)
    {
        CommandState s;
        EXPECT_TRUE(doc.OnUpdateCommand(id, s)) << id;
        return s;
    }
    // A new document on news.example with one-second waits, read articles hidden.
    void Restart(int cancelAtMessage = 0)
    {
        host = ScriptedHost();
        host.cancelAtMessage = cancelAtMessage;
        doc.OnNewDocument();
        doc.Config().strNntpServer = "news.example";
        doc.Config().nTcpWaitSec = doc.Config().nTcpRetryCount = 1;
        doc.Config().bShowOldArticle = false;
        doc.ApplyTransportSettings();
    }
    bool GoOnline(FakeServer& server)
    {
        host.connect = [&](const std::string&, int) { return server.TakeClient(); };
        return doc.GoOnline({});
    }
    // Online with a.b current, against a fake that has greeted, listed and
    // answered GROUP a.b.
    CNewsGroup* OnlineInGroup(FakeServer& server, const std::string& marks)
    {
        EXPECT_TRUE(GoOnline(server));
        CNewsGroup* g = doc.Groups().Find("a.b");
        g->m_strReadList = marks;
        doc.SetCurrentGroup(g);
        return g;
    }
};

void GreetAndList(FakePeer& p, const std::string& groups = "a.b 20 1 y\r\n")
{
    p.Greet("200 fake ready\r\n");
    if (p.ReadLine() == "LIST\r\n")
        p.Send("215 list\r\n" + groups + ".\r\n");
}

void GreetListAndGroup(FakePeer& p)
{
    GreetAndList(p);
    p.ReadLine();
    p.Send("211 20 1 20 a.b\r\n");
    p.ReadLine();
}

TEST_F(DocFixture, ViewsMayLeaveWhileBeingTold)
{
    RecordingView second;
    doc.AddView(&second);
    view.onHint = [&](news::Hint) { doc.RemoveView(&second); };
    doc.UpdateAllViews(nullptr, news::Hint::Group);
    EXPECT_TRUE(second.hints.empty());
    doc.UpdateAllViews(&view, news::Hint::GroupTree); // the sender is not told
    EXPECT_EQ(view.hints, std::vector<news::Hint>{news::Hint::Group});
}

// The article list pane's choice reaches every other view once; the sender
// is not told back.
TEST_F(DocFixture, CurrentArticleIsToldToTheOtherViews)
{
    RecordingView pane;
    doc.AddView(&pane);
    const struct {
        int number;
        int current;
        news::Hint told;
    } rows[] = {
        {7, 7, news::Hint::Article},
        {-1, -1, news::Hint::ListCleared},
        {12, 12, news::Hint::Article},
        {-5, -1, news::Hint::ListCleared},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.number);
        view.hints.clear();
        doc.SetCurrentArticle(row.number, &pane);
        EXPECT_EQ(doc.CurrentArticle(), row.current);
        EXPECT_EQ(view.hints, std::vector<news::Hint>{row.told});
        EXPECT_TRUE(pane.hints.empty());
    }
    doc.SetCurrentArticle(3, nullptr);
    EXPECT_EQ(pane.hints, std::vector<news::Hint>{news::Hint::Article});
    // Nothing of the old document stays current.
    doc.OnNewDocument();
    EXPECT_EQ(doc.CurrentArticle(), -1);
    doc.RemoveView(&pane);
}

TEST_F(DocFixture, FailedConnectStaysOfflineQuietly)
{
    host.connect = [](const std::string&, int) { return -1; };
    doc.Config().nNntpPort = 70000; // out of range: the default port is used
    doc.ToggleOnline();
    ASSERT_EQ(host.connectCalls.size(), 1u);
    EXPECT_EQ(host.connectCalls[0], std::pair(std::string("news.example"), 119));
    EXPECT_FALSE(doc.IsConnected() || doc.IsBusy() || host.waitDepth);
    EXPECT_TRUE(view.hints.empty() && host.messages.empty());
}

TEST_F(DocFixture, PostingOfflineIsRefusedButAnOpenWindowComesForward)
{
    doc.Config().strRealName = "Taro";
    doc.OnCommand(cmd::NewArticle);
    EXPECT_EQ(host.StopIds(), std::vector<unsigned>{61250});
    EXPECT_TRUE(host.postParams.empty());
    EXPECT_EQ(doc.LastPostParams().strRealName, "Taro");
    host.postWindowExists = true;
    doc.OnCommand(cmd::FollowUp);
    EXPECT_EQ(host.activations, 1);
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(DocFixture, ReplyMailHandsOverTheArticleOnceOrSaysWhy)
{
    testutil::ScopedEnv paths{"LUMETRA_APP_PATHS", (dir / "apppaths").c_str()};
    const std::string from = "From: Taro <t@x>\r\n", path = "/opt/a b/lumetra-mail";
    const struct {
        bool registered, clipboardFree, startWorks;
        std::string header, expected; // message id | clipboard | arguments
    } rows[] = {
        {true, true, true, "Reply-To: r@x\r\n" + from, "|To:r@x\r\nReply-To: r@x\r\n" + from + "\r\nbody\r\n|/c2"},
        {true, true, true, "Subject: s\r\n", "|To:\r\nSubject: s\r\n\r\nbody\r\n|/c2"},
        {true, true, true, "From: =?US-ASCII?Q?a=0D=0ABcc:_e@x?=\r\n", "|To:a  Bcc: e@x\r\nFrom: =?US-ASCII?Q?a=0D=0ABcc:_e@x?=\r\n\r\nbody\r\n|/c2"},
        {false, true, true, from, "61271 ||"},
        {true, false, true, from, "61270 ||"},
        {true, true, false, from, "61271 |To:Taro <t@x>\r\n" + from + "\r\nbody\r\n|/c2"},
    };
    for (const auto& row : rows) {
        WriteFile(dir / "apppaths", row.registered ? "lumetra-mail=" + path + "\n" : "");
        host.messages.clear(), host.clipboard.clear(), host.started.clear();
        // The pane shows (filtered) header lines above the body.
        host.showsArticle = true, host.shownHeader = row.header, host.shownText = "Subject: s\r\n\r\nbody\r\n";
        host.clipboardFree = row.clipboardFree, host.startWorks = row.startWorks;
        doc.OnCommand(cmd::ReplyMail);
        std::string got = host.StopIds().empty() ? "|" : std::to_string(host.StopIds()[0]) + " |";
        got += (host.clipboard.empty() ? "" : host.clipboard[0]) + "|";
        for (const auto& start : host.started)
            got += (start.at(0) == path ? "" : start[0]) + start.at(1);
        EXPECT_EQ(got, row.expected);
        EXPECT_EQ(host.waitDepth, 0);
    }
    doc.OnCommand(cmd::NewMail);
    EXPECT_EQ(host.started.back(), (std::vector<std::string>{path, "/m"}));
}

// A refused greeting, a refused LIST and a LIST cut short all leave the
// document offline with the groups read so far and nothing modified, and
// the user is told which of them happened.
TEST_F(DocFixture, RefusedOrDroppedStartGoesOffline)
{
    const std::pair<const char*, unsigned> rows[] = {
        {"502 go away\r\n", 61360},
        {"200 ready\r\n503 overloaded\r\n", 61368},
        {"200 ready\r\n215 list\r\nx.one 5 1 y\r\nx.two 7 3 y\r\nx.thr", 61279},
    };
    for (const auto& [answer, told] : rows) {
        SCOPED_TRACE(answer);
        host = ScriptedHost();
        FakeServer server([&](FakePeer& p) {
            const std::string a = answer;
            p.Greet(a.substr(0, a.find('\n') + 1));
            p.ReadLine();
            p.Send(a.substr(a.find('\n') + 1));
            if (a.back() == '\n')
                p.AnswerQuit();
        });
        EXPECT_FALSE(GoOnline(server));
        EXPECT_FALSE(doc.IsConnected());
        EXPECT_FALSE(doc.IsModified());
        EXPECT_TRUE(view.hints.empty());
        EXPECT_TRUE(host.texts.empty());
        EXPECT_EQ(host.StopIds(), Ids{told});
    }
    EXPECT_EQ(doc.Groups().Find("x.two")->m_nFirst, 3);
    EXPECT_EQ(doc.Groups().Find("x.thr"), nullptr);
    EXPECT_TRUE(host.progress.back()->closed);
    EXPECT_EQ(host.progress.back()->caption, 61224u);
}

// Only "no such article" marks a number read; a refusal of service, a drop,
// garbage or a stall stops the fetch and leaves every other number unread.
TEST_F(DocFixture, OnlyMissingArticlesAreMarkedRead)
{
    const auto missingThen = [](std::string refusal) {
        return [refusal](FakePeer& p) {
            for (const char* r : {"423 no such article\r\n", "430 no such article\r\n", "412 something else\r\n"})
                p.Send(r), p.ReadLine();
            p.Send(refusal + "\r\n");
            // A peer closing with commands unread resets the connection, and the
            // replies still queued for us may be thrown away with it.
            if (refusal.starts_with("400"))
                p.ReadToEnd();
            else
                p.AnswerQuit();
        };
    };
    const std::tuple<std::function<void(FakePeer&)>, const char*, unsigned> cases[] = {
        {missingThen("480 authentication required"), "1-5,19-20", 61279},
        {missingThen("502 access denied"), "1-5,19-20", 61279},
        {missingThen("503 overloaded"), "1-5,19-20", 61279},
        {missingThen("400 closing"), "1-5,19-20", 61279},
        {missingThen("500 what?"), "1-5,19-20", 61279},
        {[](FakePeer& p) { p.Send("221 20 <a@b> head\r\nSubject: cut"); }, "1-5", 61279},
        {[](FakePeer& p) { p.Send("garbage\r\n"); p.ReadToEnd(); }, "1-5", 61279},
        {[](FakePeer& p) { p.Send("221 20 <a@b> head\r\nSubject: x\r\n"); p.ReadToEnd(); }, "1-5", 61365}, // stall
        {[](FakePeer& p) { p.Close(); }, "1-5", 61279},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const auto& [ending, marks, said] = cases[i];
        Restart();
        FakeServer server([&](FakePeer& p) {
            GreetListAndGroup(p);
            ending(p);
        });
        CNewsGroup* g = OnlineInGroup(server, "1-5");
        EXPECT_FALSE(doc.OpenCurrentGroup());
        EXPECT_EQ(g->m_strReadList, marks);
        EXPECT_EQ(doc.GetCurrentGroup(), nullptr);
        EXPECT_TRUE(doc.Articles().empty());
        EXPECT_EQ(host.StopIds(), std::vector<unsigned>{said});
        EXPECT_FALSE(doc.IsBusy());
        if (std::string_view(marks) == "1-5") {
            EXPECT_FALSE(doc.IsConnected()); // out of step: closed, never reused
        }
        doc.GoOffline();
    }
}

// A server that claims two billion articles and has none: the walk stops
// after a run of gone articles and says so.
TEST_F(DocFixture, ARangeOfGoneArticlesEndsTheWalk)
{
    int heads = 0;
    FakeServer server([&](FakePeer& p) {
        GreetAndList(p, "a.b 2000000000 1 y\r\n");
        p.Reply("211 2000000000 1 2000000000 a.b\r\n");
        for (std::string line; (line = p.ReadLine()).rfind("HEAD ", 0) == 0; ++heads)
            p.Send("423 no such article\r\n");
        p.ReadToEnd();
    });
    OnlineInGroup(server, "");
    EXPECT_TRUE(doc.OpenCurrentGroup());
    EXPECT_TRUE(doc.Articles().empty());
    EXPECT_EQ(host.texts.size(), 1u);
    doc.GoOffline();
    server.Join();
    EXPECT_EQ(heads, 10000);
}

// Read ranges are passed whole: two billion numbers, nearly all read, take
// three HEADs and a few turns of the window loop.
TEST_F(DocFixture, ReadRangesArePassedWhole)
{
    Restart();
    std::vector<int> asked;
    FakeServer server([&](FakePeer& p) {
        GreetAndList(p, "a.b 2000000000 1 y\r\n");
        p.Reply("211 2000000000 1 2000000000 a.b\r\n");
        std::string line;
        while ((line = p.ReadLine()).starts_with("HEAD ")) {
            const int n = std::atoi(line.c_str() + 5);
            asked.push_back(n);
            p.Send("221 " + std::to_string(n) + " <" + std::to_string(n) + "@x>\r\nSubject: s\r\n.\r\n");
        }
        if (line == "QUIT\r\n")
            p.Send("205 bye\r\n");
        p.ReadToEnd();
    });
    OnlineInGroup(server, "1-999999999,1000000001-1999999998");
    EXPECT_TRUE(doc.OpenCurrentGroup());
    EXPECT_EQ(doc.Articles().size(), 3u);
    EXPECT_LT(host.pumps, 100);
    doc.GoOffline();
    server.Join();
    EXPECT_EQ(asked, (std::vector<int>{2000000000, 1999999999, 1000000000}));
}

// Servers whose replies to HEADs sent ahead cannot be trusted by position.
// Each either ends with the marks asking one at a time gives (20..6 listed,
// 18 gone) or fails clearly with the marks as they were.
TEST_F(DocFixture, HostileRepliesEndWithCorrectMarksOrFailClearly)
{
    const auto head = [](int n, const std::string& id) {
        return "221 " + std::to_string(n) + " " + id + "\r\nSubject: s\r\nMessage-ID: <" + std::to_string(n) + "@x>\r\n.\r\n";
    };
    const auto answer = [&](const std::string& command, bool date) -> std::string {
        if (command.starts_with("DATE"))
            return date ? "111 20261206000000\r\n" : "500 What?\r\n";
        if (command.starts_with("QUIT"))
            return "205 bye\r\n";
        const int n = std::atoi(command.c_str() + 5);
        return n == 18 ? "423 gone\r\n" : head(n, "<" + std::to_string(n) + "@x>");
    };
    using Batch = std::vector<std::string>; // the commands that arrived together
    struct Row {
        const char* name;
        std::function<std::string(const Batch&)> firstBurst; // the replies to the first batch of several
        int limit;
        bool endless;
        const char* listed;
        const char* marks;
    };
    const auto each = [&](const Batch& b, auto&& f) { std::string r; for (std::size_t i = 0; i < b.size(); ++i) r += f(i); return r; };
    const Row rows[] = {
        {"reversed", [&](const Batch& b) { return each(b, [&](std::size_t i) { return answer(b[b.size() - 1 - i], true); }); }, -1, false, "20 19 17 16 15 14 13 12 11 10 9 8 7 6 ", "1-5,18"},
        {"shuffled", [&](const Batch& b) { return each(b, [&](std::size_t i) { return answer(b[(i ^ 1) < b.size() ? (i ^ 1) : i], true); }); }, -1, false, "20 19 17 16 15 14 13 12 11 10 9 8 7 6 ", "1-5,18"},
        {"wrong number", [&](const Batch& b) { return each(b, [&](std::size_t i) { return i == 1 ? head(7, "<7@x>") : answer(b[i], true); }); }, -1, false, "20 19 17 16 15 14 13 12 11 10 9 8 7 6 ", "1-5,18"},
        {"wrong Message-ID", [&](const Batch& b) { return each(b, [&](std::size_t i) { return i == 3 ? head(17, "<other@x>") : answer(b[i], true); }); }, -1, false, "20 19 17 16 15 14 13 12 11 10 9 8 7 6 ", "1-5,18"},
        {"stray 111", [&](const Batch& b) { return "111 20261206000000\r\n" + each(b, [&](std::size_t i) { return answer(b[i], true); }); }, -1, false, "20 19 17 16 15 14 13 12 11 10 9 8 7 6 ", "1-5,18"},
        {"extra 423, limit", [&](const Batch& b) { return "423 gone\r\n" + each(b, [&](std::size_t i) { return answer(b[i], true); }); }, 4, false, "20 19 17 16 ", "1-5,18"},
        {"dropped, DATE", nullptr, -1, false, "20 19 17 16 15 14 13 12 11 10 9 8 7 6 ", "1-5,18"},
        {"dropped, no DATE", nullptr, -1, false, "20 19 17 16 15 14 13 12 11 10 9 8 7 6 ", "1-5,18"},
        {"endless", nullptr, -1, true, "", "1-5"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Restart();
        doc.Config().nMaxReadArtcleCount = r.limit;
        doc.Nntp().SetReplyBounds({1u << 20, 20});
        const bool noDate = std::string_view(r.name).ends_with("no DATE");
        const bool drops = std::string_view(r.name).starts_with("dropped");
        FakeServer server([&](FakePeer& p) {
            GreetAndList(p);
            p.Reply("211 20 1 20 a.b\r\n");
            bool hostile = r.firstBurst != nullptr;
            for (std::string line; !(line = p.ReadLine()).empty() && line != "QUIT\r\n";) {
                if (r.endless) {
                    p.Send("221 20 <20@x>\r\nSubject: s\r\n");
                    const std::string junk = "X-Junk: " + std::string(1000, 'j') + "\r\n";
                    while (::send(p.Fd(), junk.data(), junk.size(), MSG_NOSIGNAL) > 0) {
                    }
                    return;
                }
                // What arrived together with the line is one batch of commands.
                Batch batch{line};
                const std::size_t before = p.received.size();
                p.DropWaiting(30);
                const std::string extra = p.received.substr(before);
                for (std::size_t at = 0, lf; (lf = extra.find('\n', at)) != std::string::npos; at = lf + 1)
                    batch.push_back(extra.substr(at, lf + 1 - at));
                if (drops) {
                    p.Send(answer(batch[0], !noDate)); // reads only the first command of a batch
                } else if (hostile && batch.size() > 2) {
                    hostile = false;
                    p.Send(r.firstBurst(batch));
                } else {
                    p.Send(each(batch, [&](std::size_t i) { return answer(batch[i], true); }));
                }
            }
        });
        CNewsGroup* g = OnlineInGroup(server, "1-5");
        EXPECT_EQ(doc.OpenCurrentGroup(), *r.listed != 0);
        std::string listed;
        for (const auto& a : doc.Articles())
            listed += std::to_string(a->m_nNumber) + " ";
        EXPECT_EQ(listed, r.listed);
        doc.SetCurrentGroup(nullptr);
        EXPECT_EQ(g->m_strReadList, r.marks);
        EXPECT_EQ(host.StopIds(), *r.listed ? Ids{} : Ids{61363}); // over the reply bound
        EXPECT_EQ(doc.IsConnected(), !r.endless);
        doc.GoOffline();
    }
}

// A server shaped like leafnode: no CAPABILITIES, LIST EXTENSIONS with XOVER
// and XHDR, an overview without Xref, 430 for missing articles. Through the
// overview and through HEAD the list, its order and the marks are the same;
// an overview that does not fit gives way to HEAD for that group.
TEST_F(DocFixture, OverviewAndHeadGiveTheSameList)
{
    const std::set<int> gone{3, 11, 12, 18};
    const auto subject = [](int n) { return "Subject: =?ISO-2022-JP?B?GyRCJCIbKEI=?= " + std::to_string(n); };
    const auto refs = [](int n) { return n > 10 ? "<" + std::to_string(n - 1) + "@x>\r\n <" + std::to_string(n - 2) + "@x>" : std::string(); };
    struct Row {
        const char* name;
        bool overview;
        std::function<std::string(int n, const std::string& line)> overLine; // the fault a row puts in
        const char* fallsBack;
    };
    const Row rows[] = {
        {"by HEAD", false, nullptr, nullptr},
        {"by overview", true, nullptr, nullptr},
        {"overview lacks an article", true, [](int n, const std::string& l) { return n == 15 ? std::string() : l; }, "an article the overview lacks"},
        {"a line that does not parse", true, [](int n, const std::string& l) { return n == 16 ? "x\t" + l : l; }, "a line"},
        {"a number outside the range", true, [](int n, const std::string& l) { return n == 16 ? "99" + l.substr(l.find('\t')) : l; }, "a line"},
    };
    std::string expected;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Restart();
        doc.SetUseOverview(r.overview);
        std::string log;
        doc.Nntp().SetStatusWindow([&](const std::string& t) { log += t; });
        FakeServer server([&](FakePeer& p) {
            p.Send("200 leafnode\r\n");
            for (std::string line; !(line = p.ReadLine()).empty();) {
                const auto range = [&] { int lo = 0, hi = 0; std::sscanf(line.c_str() + line.find(' ', 5), " %d-%d", &lo, &hi); return std::pair(lo, hi); };
                if (line == "LIST\r\n") {
                    p.Send("215 list\r\na.b 20 1 y\r\n.\r\n");
                } else if (line == "LIST EXTENSIONS\r\n") {
                    p.Send("202 extensions\r\nXOVER\r\nXHDR\r\nLISTGROUP\r\n.\r\n");
                } else if (line == "LIST OVERVIEW.FMT\r\n") {
                    p.Send("215 fmt\r\nSubject:\r\nFrom:\r\nDate:\r\nMessage-ID:\r\nReferences:\r\nBytes:\r\nLines:\r\n.\r\n");
                } else if (line.starts_with("GROUP")) {
                    p.Send("211 16 1 20 a.b\r\n");
                } else if (line.starts_with("XOVER")) {
                    std::string out = "224 overview\r\n";
                    for (int n = range().first; n <= range().second; ++n) {
                        if (gone.count(n))
                            continue;
                        std::string l = std::to_string(n) + "\t" + subject(n).substr(9) + "\tT <t@x>\tMon, 7 Dec 2026 04:00:00 +0000\t<" +
                                        std::to_string(n) + "@x>\t" + (n > 10 ? "<" + std::to_string(n - 1) + "@x> <" + std::to_string(n - 2) + "@x>" : "") + "\t100\t3\r\n";
                        out += r.overLine ? r.overLine(n, l) : l;
                    }
                    p.Send(out + ".\r\n");
                } else if (line.starts_with("XHDR Xref")) {
                    std::string out = "221 xref\r\n";
                    for (int n = range().first; n <= range().second; ++n)
                        if (!gone.count(n))
                            out += std::to_string(n) + " leaf a.b:" + std::to_string(n) + " c.d:" + std::to_string(n + 100) + "\r\n";
                    p.Send(out + ".\r\n");
                } else if (line.starts_with("HEAD")) {
                    const int n = std::atoi(line.c_str() + 5);
                    p.Send(gone.count(n) ? std::string("430 no such article\r\n")
                                         : "221 " + std::to_string(n) + " <" + std::to_string(n) + "@x>\r\n" + subject(n) +
                                               "\r\nFrom: T <t@x>\r\nDate: Mon, 7 Dec 2026 04:00:00 +0000\r\nMessage-ID: <" + std::to_string(n) +
                                               "@x>\r\n" + (n > 10 ? "References: " + refs(n) + "\r\n" : "") + "Xref: leaf a.b:" +
                                               std::to_string(n) + " c.d:" + std::to_string(n + 100) + "\r\n.\r\n");
                } else if (line == "QUIT\r\n") {
                    p.Send("205 bye\r\n");
                } else {
                    p.Send("500 What?\r\n");
                }
            }
        });
        CNewsGroup* g = OnlineInGroup(server, "1-2,19");
        EXPECT_TRUE(doc.OpenCurrentGroup());
        std::string listed;
        for (const auto& a : doc.Articles())
            listed += std::to_string(a->m_nNumber) + " " + a->m_strSubject + " " + a->m_strMessageID + " " + a->m_strParentID +
                      " " + a->m_strReferences + " " + a->m_strXref + " " + std::to_string(a->m_timeDate) + "\n";
        doc.SetCurrentGroup(nullptr);
        listed += g->m_strReadList;
        if (expected.empty())
            expected = listed;
        EXPECT_EQ(listed, expected);
        EXPECT_EQ(log.find(r.overview ? "overview by XOVER" : "XOVER") != std::string::npos, r.overview);
        EXPECT_EQ(log.find("overview given up") != std::string::npos, r.fallsBack != nullptr) << log;
        EXPECT_TRUE(host.StopIds().empty());
        doc.GoOffline();
    }
    EXPECT_NE(expected.find("16 \x82\xa0 16 <16@x> <14@x> <15@x> <14@x> leaf a.b:16 c.d:116"), std::string::npos) << expected;
    EXPECT_TRUE(expected.ends_with("1-3,18-19,11-12")) << expected;
}

// Servers that misbehave on purpose. Each ends within a few waits (of one
// second; a reply may last two) and the user is told what the server did,
// never the password it repeated. Cancel ends a list inside a line's wait.
TEST_F(DocFixture, HostileServersAreNamedWithinTheirBound)
{
    static const std::string pw = "pw-s3cret";
    const auto plain = [](const std::string& l, bool over) -> std::string {
        if (l.starts_with("CAPABILITIES"))
            return std::string("101 caps\r\nVERSION 2\r\nREADER\r\n") + (over ? "OVER\r\n" : "") + ".\r\n";
        if (l.starts_with("LIST OVERVIEW.FMT"))
            return "215 fmt\r\nSubject:\r\nFrom:\r\nDate:\r\nMessage-ID:\r\nReferences:\r\nBytes:\r\nLines:\r\n.\r\n";
        if (l.starts_with("LIST"))
            return "215 list\r\na.b 20 1 y\r\n.\r\n";
        return l.starts_with("GROUP") ? "211 20 1 20 a.b\r\n" : "500 what?\r\n";
    };
    // The reply to verb comes a line (or a byte) every 200 ms for ever.
    const auto trickle = [&](std::string verb, bool byByte) {
        return [=](FakePeer& p) {
            p.Send("200 ok\r\n");
            for (std::string l; !(l = p.ReadLine()).empty() && !l.starts_with(verb);)
                p.Send(plain(l, verb == "OVER"));
            p.Send(verb == "HEAD" ? "221 20 <20@x>\r\n" : verb == "OVER" ? "224 over\r\n" : "215 list\r\n");
            for (int n = 1;; ++n) {
                const std::string line = verb == "HEAD"   ? "X-Pad: " + std::to_string(n) + "\r\n"
                                         : verb == "OVER" ? std::to_string(n) + "\ts\tf\td\t<" + std::to_string(n) + "@x>\t\t9\t1\r\n"
                                                          : "g" + std::to_string(n) + " 1 1 y\r\n";
                for (std::size_t at = 0, step = byByte ? 1 : line.size(); at < line.size(); at += step)
                    if (FakePeer::Pause(200); ::send(p.Fd(), line.data() + at, step, MSG_NOSIGNAL) <= 0)
                        return;
            }
        };
    };
    // Greets, then answers each command with the next reply; silent after the last.
    const auto replies = [](std::vector<std::string> said) {
        return [=](FakePeer& p) {
            p.Send("200 ok\r\n");
            for (const std::string& r : said)
                p.Reply(r);
            p.ReadToEnd();
        };
    };
    const std::string login = "101 caps\r\nVERSION 2\r\nAUTHINFO USER\r\n.\r\n";
    std::string caps = "101 caps\r\n";
    while (caps.size() < (10u << 20))
        caps += std::string(1022, 'X') + "\r\n";
    const struct Row {
        const char* name;
        std::function<void(FakePeer&)> script;
        bool openGroup, login, cancel;
        const char* said; // in the one message shown; null for none
        int boundSec;
    } rows[] = {
        {"LIST, a line at a time", trickle("LIST\r\n", false), false, false, false, "2秒たっても終わらない", 8},
        {"LIST, a byte at a time", trickle("LIST\r\n", true), false, false, false, "1秒待っても次の行が届かない", 6},
        {"OVER, a line at a time", trickle("OVER", false), true, false, false, "2秒たっても終わらない", 8},
        {"OVER, a byte at a time", trickle("OVER", true), true, false, false, "1秒待っても次の行が届かない", 6},
        {"HEAD, a line at a time", trickle("HEAD", false), true, false, false, "2秒たっても終わらない", 8},
        {"HEAD, a byte at a time", trickle("HEAD", true), true, false, false, "1秒待っても次の行が届かない", 6},
        {"LIST cancelled within a line", replies({"500 what?\r\n", "215 list\r\ng1 1"}), false, false, true, nullptr, 6},
        {"capabilities of 10 MB", replies({caps}), false, false, false,
         "機能一覧(CAPABILITIES)が1024KBを超えた", 5},
        {"MODE READER refused", replies({"101 caps\r\nVERSION 2\r\nMODE-READER\r\n.\r\n", "502 not here\r\n"}), false,
         false, false, "読者モード(MODE READER)に切り替えませんでした。\n502 not here", 5},
        {"password in a 481", replies({login, "381 more\r\n", "481 no such password: " + pw + "\r\n"}), false, true,
         false, "パスワードが違います。\n481 no such password: ****", 5},
        {"password in a 502", replies({login, "381 more\r\n", "502 not for " + pw + "\r\n"}), false, true, false,
         "この方法でログインできません。\n502 not for ****", 5},
        {"password in later replies",
         replies({login, "381 more\r\n", "281 hi " + pw + "\r\n", "502 go, " + pw + "\r\n", "502 " + pw + "\r\n",
                  "205 bye\r\n"}),
         false, true, false, "(MODE READER)に切り替えませんでした。\n502 ****", 5},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Restart();
        doc.Nntp().SetReplyBounds({std::size_t{256} << 20, 2});
        if (r.login) {
            doc.Config().strUserName = "taro";
            doc.Config().bAllowPlainPassword = true;
            host.logins = {{"taro", pw}};
        }
        if (r.cancel) {
            doc.Config().nTcpWaitSec = 30;
            doc.ApplyTransportSettings();
            host.onPump = [&](int) {
                if (host.progress.back()->caption == 61224)
                    host.progress.back()->cancel = true;
            };
        }
        std::string log;
        doc.Log().SetSink([&](std::string_view l) { log += l; });
        FakeServer server(r.script);
        const auto started = std::chrono::steady_clock::now();
        if (GoOnline(server) && r.openGroup) {
            doc.SetCurrentGroup(doc.Groups().Find("a.b"));
            EXPECT_FALSE(doc.OpenCurrentGroup());
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(r.boundSec));
        EXPECT_FALSE(doc.IsConnected());
        std::vector<std::string> shown;
        for (const auto& m : host.messages)
            shown.push_back(textcodec::SjisToUtf8(platform::FormatSjisMessage(platform::LoadString(m.id), m.args)));
        ASSERT_EQ(shown.size(), r.said ? 1u : 0u);
        if (r.said) {
            EXPECT_NE(shown[0].find(r.said), std::string::npos) << shown[0];
        }
        for (const std::string& text : {shown.empty() ? std::string() : shown[0], log})
            EXPECT_EQ(text.find(pw), std::string::npos) << text;
        doc.Log().SetSink({});
        doc.GoOffline();
    }
}

TEST_F(DocFixture, GroupFailuresAreReported)
{
    FakeServer server([](FakePeer& p) {
        GreetAndList(p, "a.b 20 1 y\r\nc.d 5 1 y\r\n");
        p.ReadLine();
        p.Send("211 20 1\r\n"); // short reply
        p.ReadLine();
        p.Send("211 -3 -10 -5 a.b\r\n"); // negative numbers
        p.ReadLine();
        p.Send("502 denied\r\n");
        p.AnswerQuit();
    });
    ASSERT_TRUE(GoOnline(server));
    int first = 7, last = 7;
    bool unread = true;
    EXPECT_FALSE(doc.OpenGroup(*doc.Groups().Find("a.b"), first, last, unread));
    EXPECT_FALSE(doc.OpenGroup(*doc.Groups().Find("a.b"), first, last, unread));
    EXPECT_FALSE(doc.OpenGroup(*doc.Groups().Find("c.d"), first, last, unread));
    EXPECT_EQ(host.StopIds(), (std::vector<unsigned>{61279, 61279, 61279}));
    EXPECT_TRUE(doc.Groups().Find("c.d")->m_bSubscribed);
    EXPECT_GT(first, last); // never a range to fetch after a failure
    doc.GoOffline();
}

// One article into the cache file: what counts as read, and the connection
// left in step (the next article arrives) whatever happened to this one.
TEST_F(DocFixture, ArticleBodyCountsAsReadOnlyWhenItArrivedOrIsGone)
{
    std::string lines;
    for (int i = 0; i < 70; ++i)
        lines += "line " + std::to_string(i) + "\r\n";
    const std::string article = "220 1 <a@b>\r\nSubject: x\r\n\r\n..dot\r\n\x1b$B$\"\x1b(B\r\nbin\x1b\x0e\r\n" + lines + ".\r\n";
    struct Case {
        const char* name;
        std::string reply;
        int cancelAtMessage;
        BodyFetch result;
        std::vector<unsigned> stops;
    };
    const Case cases[] = {
        {"arrived", article, 0, BodyFetch::Arrived, {}},
        {"gone by number", "423 no such article\r\n", 0, BodyFetch::Gone, {61287}},
        {"gone by id", "430 no such article\r\n", 0, BodyFetch::Gone, {61287}},
        {"refused", "480 authentication required\r\n", 0, BodyFetch::Failed, {61333, 61287}},
        {"cancelled", article, 2, BodyFetch::Cancelled, {}},
        {"dropped", "220 1 <a@b>\r\nSubject: x\r\n", 0, BodyFetch::Failed, {61216}},
    };
    const auto file = dir / "mes";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host = ScriptedHost();
        host.cancelAtMessage = c.cancelAtMessage;
        const bool drop = std::string(c.name) == "dropped";
        FakeServer server([&](FakePeer& p) {
            GreetAndList(p);
            EXPECT_EQ(p.ReadLine(), "ARTICLE 1\r\n");
            p.Send(c.reply);
            if (drop)
                return p.Close();
            if (p.ReadLine() == "ARTICLE 2\r\n")
                p.Send("220 2 <c@d>\r\n\r\nnext\r\n.\r\n");
            p.AnswerQuit();
        });
        ASSERT_TRUE(GoOnline(server));
        std::vector<std::pair<bool, bool>> busyAndOffline;
        host.onPump = [&](int) { busyAndOffline.emplace_back(doc.IsBusy(), doc.GoOffline()); };
        int cancels = 0;
        EXPECT_EQ(doc.FetchArticleBody(1, file, [&] { ++cancels; }), c.result);
        EXPECT_EQ(host.StopIds(), c.stops);
        EXPECT_EQ(cancels, c.cancelAtMessage ? 1 : 0);
        EXPECT_EQ(CountsAsRead(c.result), c.result == BodyFetch::Arrived || c.result == BodyFetch::Gone);
        for (const auto& [busy, offline] : busyAndOffline)
            EXPECT_TRUE(busy && !offline);
        if (c.result == BodyFetch::Arrived) {
            EXPECT_EQ(ReadFile(file), "Subject: x\r\n\r\n..dot\r\n\x82\xa0\r\nbin\x1b\x0e\r\n" + lines + ".\r\n");
            EXPECT_FALSE(busyAndOffline.empty()); // the network waits pump too
        }
        host.onPump = {};
        if (drop) {
            EXPECT_FALSE(doc.IsConnected());
        } else {
            EXPECT_EQ(doc.FetchArticleBody(2, file), BodyFetch::Arrived);
            EXPECT_EQ(ReadFile(file), "\r\nnext\r\n.\r\n");
        }
        EXPECT_FALSE(doc.IsBusy());
        doc.GoOffline();
        server.Join();
    }

    // Another operation holds the connection: refused with a beep, nothing sent.
    host = ScriptedHost();
    ASSERT_TRUE(doc.Nntp().TryLock());
    EXPECT_EQ(doc.FetchArticleBody(1, file), BodyFetch::Busy);
    doc.Nntp().Unlock();
    EXPECT_EQ(host.beeps, 1);
    EXPECT_TRUE(host.progress.empty());
}

} // namespace

// An NZB through the document: refused offline; parts that are not yEnc are
// named in the summary and leave zeros, never their bytes, in the file; a
// file already in the folder stays; the progress window counts segments.
TEST_F(DocFixture, NzbPartsThatAreNotYencAreNamedAndNeverSavedAsGood)
{
    auto one = [](const char* subject, std::vector<std::string> ids) {
        NzbFile f{subject, "p", {}, {}};
        for (unsigned k = 0; k < ids.size(); ++k)
            f.segments.push_back({10, k + 1, "<" + ids[k] + ">"});
        return f;
    };
    const std::vector<NzbFile> files = {one("\"f.bin\"", {"y", "uu"}), one("\"g.bin\"", {"b64"}),
                                        one("\"h.bin\"", {"mime"}), one("\"i.txt\"", {"text"}),
                                        one("\"j.bin\"", {"far"})};
    EXPECT_FALSE(doc.DownloadNzb(files, dir / "out"));
    EXPECT_EQ(host.StopIds(), Ids{61382});

    textcodec::YencPartInfo part{.name = "f.bin", .fileSize = 6, .part = 1, .total = 2, .begin = 1, .partSize = 3};
    part.lineEnd = "\r\n";
    // A server's word for where a part lies is not a reason to write a terabyte of zeros.
    textcodec::YencPartInfo far = part;
    far.name = "j.bin";
    far.fileSize = 2000000000000;
    far.begin = 1000000000000;
    const std::pair<const char*, std::string> bodies[] = {
        {"y", textcodec::YencEncode("abc", part)},
        {"uu", "begin 644 f.bin\r\nM" + std::string(60, '!') + "\r\n"},
        {"b64", std::string(76, 'Q') + "\r\n"},
        {"mime", "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\nQUJD\r\n"},
        {"text", "just words\r\n"},
        {"far", textcodec::YencEncode("abc", far)},
    };
    Restart();
    FakeServer server([&](FakePeer& p) {
        GreetAndList(p);
        for (const auto& [id, body] : bodies) {
            EXPECT_EQ(p.ReadLine(), "BODY <" + std::string(id) + ">\r\n");
            p.Send("222 0 <" + std::string(id) + ">\r\n" + body + ".\r\n");
        }
        p.AnswerQuit();
    });
    ASSERT_TRUE(GoOnline(server));
    std::filesystem::create_directory(dir / "out");
    WriteFile(dir / "out" / "f.damaged.bin", "mine");
    const std::optional<NzbSummary> summary = doc.DownloadNzb(files, dir / "out");
    ASSERT_TRUE(summary);
    ASSERT_EQ(summary->files.size(), 5u);
    const struct {
        const char* name;
        bool saved;
        const char* problem;
    } want[] = {
        {"f.damaged-2.bin", true, "segment 2 is uuencoded, which is not supported (only yEnc)"},
        {"g.damaged.bin", false, "segment 1 is Base64, which is not supported (only yEnc)"},
        {"h.damaged.bin", false, "segment 1 is Base64, which is not supported (only yEnc)"},
        {"i.damaged.txt", false, "segment 1 holds no yEnc"},
        {"j.damaged.bin", false, "segment 1 lies past the end of the file"},
    };
    for (std::size_t i = 0; i < 5; ++i) {
        const NzbFileResult& f = summary->files[i];
        EXPECT_EQ(f.name, want[i].name);
        EXPECT_EQ(f.saved, want[i].saved) << f.name;
        EXPECT_EQ(f.problem, want[i].problem);
    }
    EXPECT_EQ(ReadFile(dir / "out" / "f.damaged-2.bin"), std::string("abc\0\0\0", 6));
    EXPECT_EQ(ReadFile(dir / "out" / "f.damaged.bin"), "mine");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "out"), {}), 2);
    const ProgressLog& progress = *host.progress.back();
    EXPECT_EQ(progress.caption, 61380u);
    EXPECT_EQ(progress.total, 6);
    EXPECT_EQ(progress.messages.back(), "\x83t\x83@\x83" "C\x83\x8b 5/5: j.bin (\x83Z\x83O\x83\x81\x83\x93\x83g 1/1)");
    EXPECT_TRUE(progress.closed && !doc.IsBusy());
    doc.GoOffline();
    server.Join();
}
