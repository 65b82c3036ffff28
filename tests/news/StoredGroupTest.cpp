// Opening a group with the header store, against a scripted leafnode-shaped
// server that notes what it was asked: a reopen asks only for what the store
// does not answer, and the list and marks are those of an open without it.
#include "ScriptedHost.h"

#include "../net/FakeServer.h"
#include "net/Tcpip.h"
#include "news/HeaderStore.h"
#include "news/LumeDoc.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <set>

using namespace news;
using namespace newstest;

namespace {

struct Group {
    int low = 1, high = 20;
    std::set<int> gone{3, 11};
    bool modern = false; // CAPABILITIES with OVER and HDR instead of LIST EXTENSIONS
    int late = 0;        // the highest number once GROUP has answered: posted meanwhile
};

struct Opened {
    bool ok = false;
    std::string listed; // every field the list shows, newest first
    std::string marks;
    bool operator==(const Opened&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Opened& o) { return out << o.ok << "\n" << o.listed << o.marks; }

void Serve(FakePeer& p, const Group& g, std::vector<std::string>& asked)
{
    const auto head = [](int n) {
        return "Subject: =?ISO-2022-JP?B?GyRCJCIbKEI=?= " + std::to_string(n) + "\r\nFrom: T <t@x>\r\n" +
               "Date: Mon, 7 Dec 2026 04:00:00 +0000\r\nMessage-ID: <" + std::to_string(n) + "@x>\r\n" +
               (n > 10 ? "References: <" + std::to_string(n - 2) + "@x> <" + std::to_string(n - 1) + "@x>\r\n" : "");
    };
    const auto xref = [](int n) { return "leaf a.b:" + std::to_string(n) + " c.d:" + std::to_string(n + 100); };
    bool grouped = false;
    const auto has = [&](int n) {
        return n >= g.low && n <= (grouped ? std::max(g.high, g.late) : g.high) && !g.gone.count(n);
    };
    p.Send("200 leafnode\r\n");
    for (std::string line; !(line = p.ReadLine()).empty();) {
        int lo = 0, hi = 0;
        // OVER and HDR are served as XOVER and XHDR are.
        const bool renamed = g.modern && (line.starts_with("OVER") || line.starts_with("HDR"));
        if (renamed)
            line = "X" + line;
        if (line.starts_with("XOVER") || line.starts_with("XHDR") || line.starts_with("HEAD"))
            asked.push_back(line.substr(renamed, line.size() - 2 - renamed));
        if (line.starts_with("X"))
            std::sscanf(line.c_str() + line.rfind(' '), " %d-%d", &lo, &hi);
        if (line == "CAPABILITIES\r\n" && g.modern) {
            p.Send("101 caps\r\nVERSION 2\r\nREADER\r\nOVER\r\nHDR\r\n.\r\n");
        } else if (line == "LIST\r\n") {
            p.Send("215 list\r\na.b 20 1 y\r\n.\r\n");
        } else if (line == "LIST EXTENSIONS\r\n") {
            p.Send("202 extensions\r\nXOVER\r\nXHDR\r\n.\r\n");
        } else if (line == "LIST OVERVIEW.FMT\r\n") {
            p.Send("215 fmt\r\nSubject:\r\nFrom:\r\nDate:\r\nMessage-ID:\r\nReferences:\r\nBytes:\r\nLines:\r\n.\r\n");
        } else if (line.starts_with("GROUP")) {
            int count = 0;
            for (int n = g.low; n <= g.high; ++n)
                count += has(n);
            p.Send("211 " + std::to_string(count) + " " + std::to_string(g.low) + " " + std::to_string(g.high) +
                   " a.b\r\n");
            grouped = true;
        } else if (line.starts_with("XOVER") && g.modern && lo > std::max(g.high, g.late)) {
            p.Send("423 none in that range\r\n");
        } else if (line.starts_with("XOVER")) {
            std::string out = "224 overview\r\n";
            for (int n = lo; n <= hi; ++n)
                if (has(n))
                    out += std::to_string(n) + "\t=?ISO-2022-JP?B?GyRCJCIbKEI=?= " + std::to_string(n) +
                           "\tT <t@x>\tMon, 7 Dec 2026 04:00:00 +0000\t<" + std::to_string(n) + "@x>\t" +
                           (n > 10 ? "<" + std::to_string(n - 2) + "@x> <" + std::to_string(n - 1) + "@x>" : "") +
                           "\t100\t3\r\n";
            p.Send(out + ".\r\n");
        } else if (line.starts_with("XHDR Xref")) {
            std::string out = g.modern ? "225 xref\r\n" : "221 xref\r\n";
            for (int n = lo; n <= hi; ++n)
                if (has(n))
                    out += std::to_string(n) + " " + xref(n) + "\r\n";
            p.Send(out + ".\r\n");
        } else if (line.starts_with("HEAD")) {
            const int n = std::atoi(line.c_str() + 5);
            p.Send(has(n) ? "221 " + std::to_string(n) + " <" + std::to_string(n) + "@x>\r\n" + head(n) + "Xref: " +
                                xref(n) + "\r\n.\r\n"
                          : std::string("430 no such article\r\n"));
        } else if (line == "QUIT\r\n") {
            p.Send("205 bye\r\n");
        } else {
            p.Send("500 What?\r\n");
        }
    }
}

struct StoreFixture : ::testing::Test {
    ScratchDir dir;
    platform::Registry registry{dir / "registry"};
    std::filesystem::path storeFile = dir / "cache" / "headers.sqlite";
    Group group;
    std::vector<std::string> asked;
    std::string log;


    // One run of the program: online, open a.b with marks, offline.
    Opened Open(const std::string& marks, bool withStore, bool overview, int limit = -1, int cancelAt = 0)
    {
        ScriptedHost host;
        host.cancelAtMessage = cancelAt;
        CLumeDoc doc{&host, registry};
        doc.OnNewDocument();
        doc.Config().strNntpServer = "news.example";
        doc.Config().nTcpWaitSec = doc.Config().nTcpRetryCount = 1;
        doc.Config().bShowOldArticle = false;
        doc.Config().nMaxReadArtcleCount = limit;
        doc.ApplyTransportSettings();
        doc.SetUseOverview(overview);
        if (withStore)
            doc.UseHeaderStore(storeFile);
        doc.Nntp().SetStatusWindow([&](const std::string& t) { log += t; });
        std::vector<std::string> seen;
        Opened o;
        {
            FakeServer server([&](FakePeer& p) { Serve(p, group, seen); });
            host.connect = [&](const std::string&, int) { return server.TakeClient(); };
            EXPECT_TRUE(doc.GoOnline({}));
            CNewsGroup* g = doc.Groups().Find("a.b");
            g->m_strReadList = marks;
            doc.SetCurrentGroup(g);
            o.ok = doc.OpenCurrentGroup();
            for (const auto& a : doc.Articles())
                o.listed += std::to_string(a->m_nNumber) + " " + a->m_strSubject + " " + a->m_strFrom + " " +
                            a->m_strMessageID + " " + a->m_strParentID + " " + a->m_strReferences + " " +
                            a->m_strXref + " " + std::to_string(a->m_timeDate) + (a->m_bRead ? " read" : "") + "\n";
            doc.SetCurrentGroup(nullptr);
            o.marks = g->m_strReadList;
            doc.GoOffline();
        }
        if (withStore)
            asked = seen;
        return o;
    }
};

TEST_F(StoreFixture, ReopeningAsksOnlyWhatTheStoreLacksAndListsTheSame)
{
    struct Row {
        const char* name;
        bool overview;
        int limit;
        int cancelAt;                           // Cancel in the first open (0: none)
        std::function<void(Group&, std::string&)> between; // what changes before the reopen
        std::vector<std::string> reopenAsks;
        int lowestStored;                       // after the reopen
        bool modern = false;
    };
    const Row rows[] = {
        {"new articles by overview", true, -1, 0, [](Group& g, std::string&) { g.high = 25; },
         {"XOVER 21-25", "XHDR Xref 21-25"}, 2},
        {"new articles by HEAD", false, -1, 0, [](Group& g, std::string&) { g.high = 22; },
         {"HEAD 22", "HEAD 21"}, 2},
        {"nothing new", true, -1, 0, [](Group&, std::string&) {}, {}, 2},
        {"expired below the low mark", true, -1, 0, [](Group& g, std::string&) { g.low = 6, g.high = 21; },
         {"XOVER 21-21", "XHDR Xref 21-21"}, 6},
        // Numbers above the new high mark are the old numbering's.
        {"a group numbered anew", true, -1, 0, [](Group& g, std::string&) { g.high = 8; }, {}, 2},
        // The limit's selection goes on below the stored rows once they are read.
        {"the read limit reaches past the store", true, 4, 0, [](Group&, std::string& m) { m += ",17-20"; },
         {"XOVER 1-16", "XHDR Xref 1-16"}, 13},
        {"by HEAD past a limit", false, 4, 0, [](Group&, std::string& m) { m += ",17-20"; },
         {"HEAD 16", "HEAD 15", "HEAD 14", "HEAD 13"}, 13},
        // What the walk took before the Cancel stays; the rest is asked.
        {"Cancel keeps what arrived", true, -1, 6, [](Group&, std::string&) {},
         {"XOVER 1-14", "XHDR Xref 1-14"}, 2},
        {"Cancel by HEAD", false, -1, 6, [](Group&, std::string&) {},
         {"HEAD 14", "HEAD 13", "HEAD 12", "HEAD 11", "HEAD 10", "HEAD 9", "HEAD 8", "HEAD 7", "HEAD 6", "HEAD 5",
          "HEAD 4", "HEAD 3", "HEAD 2"}, 2},
        // A server that says what it offers is sent the OVER above the store with GROUP.
        {"new articles with GROUP", true, -1, 0, [](Group& g, std::string&) { g.high = 25; },
         {"OVER 21-2020", "HDR Xref 21-25"}, 2, true},
        {"the early OVER finds nothing new", true, -1, 0, [](Group&, std::string&) {}, {"OVER 21-2020"}, 2, true},
        {"articles posted after GROUP are passed over", true, -1, 0,
         [](Group& g, std::string&) { g.high = 25, g.late = 27; }, {"OVER 21-2020", "HDR Xref 21-25"}, 2, true},
        {"more new than the early OVER asked", true, -1, 0, [](Group& g, std::string&) { g.high = 2100; },
         {"OVER 21-2020", "OVER 521-2100", "HDR Xref 521-2100", "OVER 21-520", "HDR Xref 21-520"}, 2, true},
        {"the store renumbered away", true, -1, 0, [](Group& g, std::string&) { g.high = 8; }, {"OVER 21-2020"}, 2,
         true},
        {"the early OVER spans what the limit needs", true, 4, 0, [](Group& g, std::string&) { g.high = 25; },
         {"OVER 21-120", "HDR Xref 21-25", "OVER 1-16", "HDR Xref 1-16"}, 17, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::filesystem::remove_all(storeFile.parent_path());
        group = Group();
        group.modern = r.modern;
        std::string marks = "1";
        const Opened first = Open(marks, true, r.overview, r.limit, r.cancelAt);
        EXPECT_EQ(first.ok, r.cancelAt == 0);
        if (r.cancelAt == 0) {
            EXPECT_EQ(first, Open(marks, false, r.overview, r.limit));
        }
        marks = first.marks;
        r.between(group, marks);
        log.clear();
        const Opened again = Open(marks, true, r.overview, r.limit);
        EXPECT_EQ(asked, r.reopenAsks);
        // One round trip: the OVER went out before GROUP was answered.
        if (r.modern)
            EXPECT_LT(log.find(">> " + r.reopenAsks[0]), log.find("<< 211")) << log;
        EXPECT_TRUE(again.ok);
        EXPECT_EQ(again, Open(marks, false, r.overview, r.limit));
        HeaderStore store;
        ASSERT_TRUE(store.Open(storeFile));
        const auto records = store.Load(HeaderStore::ServerKey("news.example", 119), "a.b");
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.front().number, r.lowestStored);
    }
}

// A store that cannot be trusted or had is no reason to fail the open.
TEST_F(StoreFixture, AStoreThatCannotBeUsedLeavesTheOpenAsWithout)
{
    const Opened without = Open("1", false, true);
    const struct {
        const char* name;
        std::function<void(StoreFixture&)> make;
        const char* logged;
    } rows[] = {
        {"garbage", [](StoreFixture& t) { WriteFile(t.storeFile, std::string(5000, 'x')); }, "set aside"},
        {"a folder in its place", [](StoreFixture& t) { std::filesystem::create_directories(t.storeFile); },
         "not opened"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::filesystem::remove_all(storeFile.parent_path());
        std::filesystem::create_directories(storeFile.parent_path());
        r.make(*this);
        log.clear();
        EXPECT_EQ(Open("1", true, true), without);
        EXPECT_NE(log.find(r.logged), std::string::npos) << log;
    }
}

} // namespace
