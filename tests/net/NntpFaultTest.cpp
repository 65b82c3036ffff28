// What a real server cannot be made to do: drops, garbage, stalls, odd
// greetings. Each must end in a clear failure with the connection closed, so
// nothing is ever read out of step.
#include "NetTest.h"

using namespace net;

namespace {

using NntpFault = NetTest;

TEST_F(NntpFault, GreetingRules)
{
    struct Case {
        const char* greeting;
        bool allowReadOnly;
        int expect;
    } cases[] = {
        {"200 ok\r\n", false, 1},
        {"201 no posting\r\n", false, 0},
        {"201 no posting\r\n", true, 1},
        {"502 go away\r\n", true, 0},
        {"HTTP/1.1 400 Bad Request\r\n", true, 0},
    };
    for (const Case& c : cases) {
        FakeServer server([&](FakePeer& p) {
            p.Send(c.greeting);
            p.AnswerQuit();
        });
        CNntp nntp;
        Use(nntp);
        nntp.Attach(server.TakeClient());
        EXPECT_EQ(nntp.ReadGreeting(c.allowReadOnly), c.expect) << c.greeting;
        EXPECT_EQ(nntp.IsConnected(), c.expect) << c.greeting;
    }
    // The greeting itself is not logged; a refused one closes silently.
    for (const auto& l : log)
        EXPECT_EQ(l.find("201"), std::string::npos) << l;
}

// However a reply breaks, the client ends up disconnected and the next
// command fails at once instead of reading anything out of step.
TEST_F(NntpFault, BrokenRepliesCloseTheConnection)
{
    ShortWait();
    int pumps = 0;
    const auto list = [](CNntp& n) { return n.List(); };
    const auto head = [](CNntp& n) { return n.Head(5); };
    const auto article = [](CNntp& n) { int c; return n.Article(5, c); };
    const auto group = [](CNntp& n) { std::string r; int c, f, l; return n.Group("a.b", r, c, f, l); };
    const struct {
        const char* name;
        std::function<int(CNntp&)> command;
        const char* reply; // nullptr: the server is gone before the command
        bool stall;        // silent after the reply instead of closing
    } cases[] = {
        {"drop in LIST", list, "215 list\r\nfj.test 10 1 y\r\nlocal.te", false},
        {"drop in HEAD", head, "221 5 <a@b> head\r\nSubject: x\r\n", false},
        {"drop in ARTICLE", article, "220 5 <a@b>\r\nSubject: x\r\n\r\nbody\r\n..", false},
        {"stall in HEAD", head, "221 5 <x@y>\r\nSubject: stalled\r\n", true},
        {"stall before the reply", list, "", true},
        {"garbage status line", group, "hello there\r\n211 3 1 3 late.reply\r\n", true},
        {"gone before the command", list, nullptr, false},
    };
    for (const auto& c : cases) {
        FakeServer server([&](FakePeer& p) {
            p.Send("200 ok\r\n");
            if (!c.reply)
                return;
            p.Reply(c.reply);
            if (c.stall)
                p.ReadToEnd();
        });
        CNntp nntp;
        Use(nntp);
        nntp.SetPump([&] { ++pumps; });
        Greet(nntp, server);
        if (!c.reply)
            server.Join();
        if (c.command(nntp) == 1) {
            std::string text, line = "x";
            EXPECT_FALSE(nntp.ReadData(text)) << c.name;
            EXPECT_EQ(nntp.ReadDataLine(line), -1) << c.name;
        }
        EXPECT_EQ(nntp.IsConnected(), 0) << c.name;
        EXPECT_EQ(c.command(nntp), 0) << c.name;
        server.Join();
        const auto& got = server.received();
        EXPECT_EQ(std::count(got.begin(), got.end(), '\n'), c.reply ? 1 : 0) << c.name << ": " << got;
    }
    EXPECT_GT(pumps, 0);
    EXPECT_TRUE(Logged("NNTP: Command Fail\r\n"));
}

TEST_F(NntpFault, CancelFromThePumpEndsTheWait)
{
    int pumps = 0;
    FakeServer server([](FakePeer& p) {
        p.Send("200 ok\r\n");
        p.Reply("215 list\r\nfj.test 2 1 y\r\n");
        p.ReadToEnd();
    });
    CNntp nntp;
    Use(nntp);
    nntp.SetPump([&] {
        EXPECT_TRUE(net::IsBlocking());
        if (++pumps == 3)
            net::CancelBlockingCall();
    });
    Greet(nntp, server);
    ASSERT_EQ(nntp.List(), 1);
    std::string line;
    EXPECT_EQ(nntp.ReadDataLine(line), 1);
    EXPECT_EQ(nntp.ReadDataLine(line), -1);
    EXPECT_EQ(nntp.Tcp().LastError(), 10004);
    EXPECT_EQ(nntp.IsConnected(), 0);
    EXPECT_EQ(pumps, 3);
    // Outside a wait a cancel is ignored.
    EXPECT_FALSE(net::IsBlocking());
    net::CancelBlockingCall();
    FakeServer next([](FakePeer& p) {
        p.Send("200 ok\r\n");
        p.AnswerQuit();
    });
    CNntp again;
    Use(again);
    again.Attach(next.TakeClient());
    EXPECT_EQ(again.ReadGreeting(), 1);
}

TEST_F(NntpFault, DestroyingAfterASilentQuitReturns)
{
    ShortWait();
    FakeServer silent([](FakePeer& p) {
        p.Send("200 ok\r\n");
        p.ReadToEnd();
    });
    {
        CNntp nntp;
        Use(nntp);
        Greet(nntp, silent);
    }
    silent.Join();
    EXPECT_EQ(silent.received(), "QUIT\r\n");
}

TEST_F(NntpFault, TerminatorIsExactAndStuffingHandledPerCommand)
{
    FakeServer server([](FakePeer& p) {
        p.Send("200 ok\r\n");
        p.Reply("221 1 <x@y>\r\nSubject: a\r\n..hidden\r\n. \r\n.x\r\n.\n");
        p.Reply("220 1 <x@y>\r\nSubject: a\r\n\r\n..\r\n..dots\r\n.\r\n");
        p.Reply("215 list\r\n..odd.group 2 1 y\r\n.\r\n");
        p.Reply("205 bye\r\n");
    });
    CNntp nntp;
    Use(nntp);
    Greet(nntp, server);
    std::string text;
    ASSERT_EQ(nntp.Head(1), 1);
    ASSERT_TRUE(nntp.ReadData(text));
    EXPECT_EQ(text, "Subject: a\r\n.hidden\r\n. \r\n.x\r\n");
    int code = 0;
    ASSERT_EQ(nntp.Article(1, code), 1);
    EXPECT_EQ(code, 220);
    text.clear();
    ASSERT_TRUE(nntp.ReadData(text));
    EXPECT_EQ(text, "Subject: a\r\n\r\n..\r\n..dots\r\n");
    ASSERT_EQ(nntp.List(), 1);
    text.clear();
    ASSERT_TRUE(nntp.ReadData(text));
    EXPECT_EQ(text, ".odd.group 2 1 y\r\n");
    nntp.Quit();
    EXPECT_EQ(nntp.IsConnected(), 0);
}

TEST_F(NntpFault, UnreadDataIsSkippedBeforeTheNextCommand)
{
    FakeServer server([](FakePeer& p) {
        p.Send("200 ok\r\n");
        p.Reply("221 1 <x@y>\r\nSubject: one\r\n");
        FakePeer::Pause(20);
        p.Send("Subject: split\r\n.\r\n");
        p.Reply("211 1234 3000 4233 fj.test\r\n");
        p.AnswerQuit();
    });
    CNntp nntp;
    Use(nntp);
    Greet(nntp, server);
    ASSERT_EQ(nntp.Head(1), 1);
    std::string line;
    ASSERT_EQ(nntp.ReadDataLine(line), 1);
    std::string reply;
    int count = 0, first = 0, last = 0;
    ASSERT_EQ(nntp.Group("fj.test", reply, count, first, last), 1);
    EXPECT_EQ(reply, "211 1234 3000 4233 fj.test\r\n");
    EXPECT_EQ(count, 1234);
    EXPECT_EQ(first, 3000);
    EXPECT_EQ(last, 4233);
}

TEST_F(NntpFault, GroupRepliesAndCommandLineEnds)
{
    FakeServer server([](FakePeer& p) {
        p.Send("200 ok\r\n");
        p.Reply("411 No such group no.such\r\n");
        p.Reply("211 5 1\r\n");
        p.Reply("500 what\r\n");
        p.Reply("223 0 <a@b>\r\n");
        p.ReadToEnd();
    });
    CNntp nntp;
    Use(nntp);
    Greet(nntp, server);
    std::string reply;
    int count = 7, first = 7, last = 7;
    EXPECT_EQ(nntp.Group("no.such", reply, count, first, last), 0);
    EXPECT_EQ(nntp.ReplyCode(), 411);
    EXPECT_EQ(reply, "411 No such group no.such\r\n");
    // A short 211 reply is a failure, not zeros; the connection stays usable.
    // (A name cannot smuggle a second command in.)
    EXPECT_EQ(nntp.Group("sh\r\nort", reply, count, first, last), 0);
    EXPECT_EQ(reply, "211 5 1\r\n");
    EXPECT_EQ(count, 7);
    EXPECT_EQ(nntp.IsConnected(), 1);
    // A command that already ends in CR LF gets no second one.
    EXPECT_FALSE(nntp.SendCommand("XYZZY\r\n"));
    EXPECT_EQ(nntp.ReplyCode(), 500);
    int code = 0;
    // 223 carries no data: nothing is waiting to be read.
    EXPECT_EQ(nntp.Article(9, code), 1);
    EXPECT_EQ(code, 223);
    std::string line;
    EXPECT_EQ(nntp.ReadDataLine(line), 0);
    nntp.Disconnect();
    server.Join();
    EXPECT_EQ(server.received(), "GROUP no.such\r\nGROUP sh??ort\r\nXYZZY\r\nARTICLE 9\r\n");
    EXPECT_TRUE(Logged("NNTP: >> GROUP no.such\r\n"));
    EXPECT_TRUE(Logged("NNTP: << 411 No such group no.such\r\n\r\n"));
    EXPECT_TRUE(Logged("NNTP: Disconect\r\n"));
}

} // namespace

// GROUP sent ahead: its reply is Group()'s when it names the group asked for;
// one naming another is out of step, and the command goes again on its own.
TEST_F(NntpFault, GroupSentAheadIsAnsweredInStep)
{
    const struct {
        const char* name;
        std::vector<std::string> replies;
        const char* received;
    } rows[] = {
        {"in step", {"211 3 1 3 a.b\r\n"}, "GROUP a.b\r\n"},
        {"no name given", {"211 3 1 3\r\n"}, "GROUP a.b\r\n"},
        {"another group's", {"211 9 1 9 x.y\r\n", "111 20261207000000\r\n", "211 3 1 3 a.b\r\n"},
         "GROUP a.b\r\nDATE\r\nGROUP a.b\r\n"},
        {"a login wanted", {"480 login\r\n", "211 3 1 3 a.b\r\n"}, "GROUP a.b\r\nGROUP a.b\r\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        FakeServer server([&](FakePeer& p) {
            p.Send("200 ok\r\n");
            for (const std::string& reply : r.replies)
                p.Reply(reply);
            p.ReadToEnd();
        });
        CNntp nntp;
        Use(nntp);
        Greet(nntp, server);
        ASSERT_TRUE(nntp.SendGroupAhead("a.b"));
        std::string reply;
        int count = 0, first = 0, last = 0;
        EXPECT_EQ(nntp.Group("a.b", reply, count, first, last), 1);
        EXPECT_EQ(last, 3);
        EXPECT_EQ(nntp.CommandsAhead(), 0u);
        nntp.Disconnect();
        server.Join();
        EXPECT_EQ(server.received(), r.received);
    }
}
