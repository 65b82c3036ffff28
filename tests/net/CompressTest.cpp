// COMPRESS DEFLATE: the codecs on their own (damage, bombs, any split) and
// a session with scripted servers that compress, refuse, or send a bomb.
#include "NetTest.h"

#include "net/Deflate.h"
#include "net/NntpReply.h"

#include <zlib.h>

using namespace net;

namespace {

// Raw DEFLATE of text the way zlib's own one-shot interface makes it
// (finished stream), independent of our Deflater.
std::string ZlibDeflate(std::string_view text, int flush = Z_FINISH)
{
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&s, text.size()) + 64, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    s.avail_in = static_cast<uInt>(text.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, flush);
    out.resize(out.size() - s.avail_out);
    deflateEnd(&s);
    return out;
}

std::string Overview(int lines)
{
    std::string text;
    for (int n = 1; n <= lines; ++n)
        text += std::to_string(n) + "\t\x93\xfa\x96\x7b\x8c\xea subject " + std::to_string(n * 7) +
                "\tuser@example.jp\tMon, 1 Jan 2024 00:00:00 +0900\t<" + std::to_string(n) +
                "@example.jp>\t\t1234\t20\r\n";
    return text;
}

// Inflates in pieces of step bytes.
std::string InflateBy(Inflater& in, std::string_view data, std::size_t step)
{
    std::string out;
    for (std::size_t i = 0; i < data.size(); i += step)
        in.Put(data.substr(i, step), out);
    in.Finish(out);
    return out;
}

} // namespace

TEST(Deflate, InflaterTakesWhatZlibMakesAndStopsAtDamageAndBombs)
{
    const std::string text = Overview(2000);
    const std::string good = ZlibDeflate(text);
    const std::string zeros(64u << 20, '\0');
    const std::string bomb = ZlibDeflate(zeros);
    const std::string flushed = ZlibDeflate(text, Z_SYNC_FLUSH);
    // Raw DEFLATE has no checksum: damage shows only where the bits cannot
    // be a block, such as the reserved block type.
    const std::string damaged = flushed + "\x07\xff\xff";
    struct Row {
        const char* name;
        std::string input;
        std::size_t step;
        const char* problem; // part of Problem(), empty for none
        bool whole;          // the output is all of text
    } rows[] = {
        {"one piece", good, good.size(), "", true},
        {"byte by byte", good, 1, "", true},
        {"odd pieces", good, 777, "", true},
        {"flushed, never ended", flushed, 100, "", true},
        {"damaged", damaged, 4096, "damaged", true},
        {"bytes after the end", good + "xyz", 4096, "follows the end", true},
        {"cut inside a block", good.substr(0, good.size() / 2), 4096, "inside a block", false},
        {"bomb", bomb, 4096, "bomb", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Inflater in(20, 1u << 20);
        const std::string out = InflateBy(in, r.input, r.step);
        EXPECT_NE(in.Problem().find(r.problem), std::string::npos) << in.Problem();
        EXPECT_EQ(r.problem[0] == 0, !in.Failed());
        if (r.whole) {
            EXPECT_TRUE(out == text);
        } else {
            EXPECT_TRUE(text.starts_with(out) || out.find_first_not_of('\0') == std::string::npos);
        }
        // Never more than the bound lets through, whatever came in.
        EXPECT_LE(out.size(), (1u << 20) + 20 * r.input.size());
    }
}

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
