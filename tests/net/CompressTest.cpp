// COMPRESS DEFLATE: the codecs on their own (damage, bombs, any split) and
// a session with scripted servers that compress, refuse, or send a bomb.
#include "NetTest.h"

#include "net/Deflate.h"
#include "net/NntpReply.h"

#include <zlib.h>

using namespace net;

namespace {

} // namespace

namespace {

// The server's side of a compressed session on the scripted peer.
struct CompressedPeer {
    explicit CompressedPeer(FakePeer& peer) : p(peer) {}
    FakePeer& p;
    Inflater in;
    Deflater out;
    std::string pending;

    // One command from the client, inflated.
    std::string ReadLine()
    {
        for (;;) {
            if (auto lf = pending.find('\n'); lf != std::string::npos) {
                std::string line = pending.substr(0, lf + 1);
                pending.erase(0, lf + 1);
                return line;
            }
            char buf[4096];
            pollfd w{p.Fd(), POLLIN, 0};
            long n = ::poll(&w, 1, 10000) > 0 ? ::recv(p.Fd(), buf, sizeof buf, 0) : 0;
            if (n <= 0)
                return {};
            in.Put(std::string_view(buf, static_cast<std::size_t>(n)), pending);
        }
    }
    void Send(std::string_view text)
    {
        std::string wire;
        out.Put(text, wire);
        out.Flush(wire);
        p.Send(wire);
    }
};

// Greeting and CAPABILITIES with COMPRESS DEFLATE; the answer to COMPRESS.
void OfferCompress(FakePeer& p, const char* answer)
{
    p.Send("200 hi\r\n");
    p.Reply("101 caps\r\nVERSION 2\r\nREADER\r\nCOMPRESS DEFLATE\r\n.\r\n");
    if (*answer)
        p.Reply(answer);
}

const char* const kGroup = "211 3 1 3 a.b\r\n";
const char* const kList = "215 list\r\na.b 3 1 y\r\nc.d 9 2 n\r\n.\r\n";

} // namespace

TEST_F(NetTest, CompressedSessionsAndTheirFailures)
{
    struct Row {
        const char* name;
        bool compress; // the switch
        bool asked;    // COMPRESS was sent
        FakeServer::Script script;
        bool compressed;
        bool listOk;
        const char* logged; // a line the log must hold; empty for none
    } rows[] = {
        {"switched on and accepted", true, true,
         [](FakePeer& p) {
             OfferCompress(p, "206 Compression active\r\n");
             CompressedPeer z(p);
             if (z.ReadLine() == "GROUP a.b\r\n")
                 z.Send(kGroup);
             if (z.ReadLine() == "LIST\r\n")
                 z.Send(kList);
             if (z.ReadLine() == "QUIT\r\n")
                 z.Send("205 bye\r\n");
             p.ReadToEnd();
         },
         true, true, ">> COMPRESS DEFLATE"},
        {"switched off", false, false,
         [](FakePeer& p) {
             OfferCompress(p, "");
             p.Reply(kGroup), p.Reply(kList), p.AnswerQuit();
         },
         false, true, ""},
        {"refused by the server", true, true,
         [](FakePeer& p) {
             OfferCompress(p, "403 not now\r\n");
             p.Reply(kGroup), p.Reply(kList), p.AnswerQuit();
         },
         false, true, "<< 403 not now\r\n"},
        {"login offered, nobody logged in: a 480 may still need it", true, false,
         [](FakePeer& p) {
             p.Send("200 hi\r\n");
             p.Reply("101 caps\r\nVERSION 2\r\nREADER\r\nAUTHINFO USER\r\nCOMPRESS DEFLATE\r\n.\r\n");
             p.Reply(kGroup), p.Reply(kList), p.AnswerQuit();
         },
         false, true, ""},
        {"a bomb", true, true,
         [](FakePeer& p) {
             OfferCompress(p, "206 Compression active\r\n");
             CompressedPeer z(p);
             z.ReadLine(), z.Send(kGroup), z.ReadLine();
             // Well-formed lines, tiny on the wire and without end once inflated.
             z.Send("215 list\r\n");
             std::string lines;
             while (lines.size() < (1u << 20))
                 lines += "a.b 3 1 y\r\n";
             for (int i = 0; i < 100; ++i)
                 z.Send(lines);
             p.ReadToEnd();
         },
         true, false, "COMPRESS: the server's compressed data grows more than 100 times"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ShortWait();
        log.clear();
        std::vector<std::string> errors;
        FakeServer server(r.script);
        CNntp nntp;
        Use(nntp);
        nntp.Attach(server.TakeClient());
        nntp.SetErrorReporter([&](const std::string& e) { errors.push_back(e); });
        SecuritySettings s;
        s.compress = r.compress;
        nntp.SetSecurity(s);
        ASSERT_EQ(nntp.StartSession(true), 1);
        EXPECT_EQ(nntp.Tcp().IsCompressed(), r.compressed);
        std::string reply;
        int count = 0, first = 0, last = 0;
        EXPECT_EQ(nntp.Group("a.b", reply, count, first, last), 1);
        EXPECT_EQ(last, 3);
        std::string list;
        const bool listed = nntp.List() == 1 && nntp.ReadData(list);
        EXPECT_EQ(listed, r.listOk);
        if (r.listOk) {
            EXPECT_EQ(list, "a.b 3 1 y\r\nc.d 9 2 n\r\n");
        }
        if (*r.logged) {
            const bool found = std::any_of(log.begin(), log.end(), [&](const std::string& l) {
                return l.find(r.logged) != std::string::npos;
            });
            EXPECT_TRUE(found) << r.logged;
        }
        // A broken stream: a clear word to the user, once, and the connection is gone.
        EXPECT_EQ(errors.size(), r.listOk ? 0u : 1u);
        EXPECT_EQ(nntp.IsConnected(), r.listOk ? 1 : 0);
        nntp.Quit();
        server.Join();
        EXPECT_EQ(server.received().find("COMPRESS") != std::string::npos, r.asked);
    }
}
