#include "NetTest.h"
#include "platform/WinsockError.h"

using namespace net;

namespace {

using TcpipRead = NetTest;

TEST_F(TcpipRead, LinesArriveWholeWhateverTheSegments)
{
    const std::string longLine = std::string(20000, 'x') + "\r\n";
    const std::string withNul("a\0b\0\0c\r\n", 8);
    FakeServer server([&](FakePeer& p) {
        for (char c : std::string("200 split\r\n"))
            p.Send({&c, 1}), FakePeer::Pause(2);
        p.Send("211 one\r\n223 two\nlast");
        FakePeer::Pause(50);
        p.Send(" piece\r\n" + longLine + withNul);
    });
    CTcpip tcp;
    tcp.Attach(server.TakeClient());
    // A bare LF stays bare; NUL bytes are data.
    for (const std::string& want : {std::string("200 split\r\n"), std::string("211 one\r\n"),
                                    std::string("223 two\n"), std::string("last piece\r\n"), longLine, withNul}) {
        std::string line;
        EXPECT_EQ(tcp.ReadLine(line), static_cast<int>(want.size()));
        EXPECT_EQ(line, want);
    }
    tcp.Close();
}

// A stall ends at the limit, pumping meanwhile; with no retries at all what
// is there is still read and sending is not refused.
TEST_F(TcpipRead, StallEndsAtTheLimitPumpingMeanwhile)
{
    for (int retries : {1, 0}) {
        SCOPED_TRACE(retries);
        FakeServer server([](FakePeer& p) {
            p.Send("ready\r\n");
            p.Send("got " + p.ReadLine() + "partial line without end");
            p.ReadLine(); // holds the connection open until the client closes
        });
        CTcpip tcp;
        tcp.SetTimeouts({1, retries});
        int pumps = 0;
        tcp.SetPump([&] { ++pumps; });
        tcp.Attach(server.TakeClient());
        pollfd pfd{tcp.Socket(), POLLIN, 0};
        std::string line;
        ASSERT_EQ(::poll(&pfd, 1, 10000), 1);
        EXPECT_EQ(tcp.ReadLine(line), 7);
        EXPECT_EQ(tcp.SendAll("HELLO\r\n", 7), 7);
        ASSERT_EQ(::poll(&pfd, 1, 10000), 1);
        EXPECT_EQ(tcp.ReadLine(line), 11);
        EXPECT_EQ(line, "got HELLO\r\n");
        EXPECT_EQ(tcp.ReadLine(line), -1);
        EXPECT_EQ(line, "");
        EXPECT_EQ(tcp.LastError(), platform::WSAETIMEDOUT);
        EXPECT_TRUE(pumps > 0 || !retries);
        tcp.Close();
    }
}

TEST_F(TcpipRead, PeerCloseAndClosedSocketFailAtOnce)
{
    FakeServer server([](FakePeer& p) { p.Send("bye\r\n"); });
    CTcpip tcp;
    tcp.Attach(server.TakeClient());
    server.Join();
    std::string line;
    EXPECT_GT(tcp.ReadLine(line), 0);
    EXPECT_EQ(tcp.ReadLine(line), -1);
    EXPECT_EQ(tcp.ReadLine(line), -1);
    // Writing to a closed peer is a failed send, not SIGPIPE.
    std::string big(1 << 20, 'z');
    EXPECT_EQ(tcp.SendAll(big.data(), big.size()), -1);
    tcp.Close();
    EXPECT_EQ(tcp.ReadLine(line), 0);
    EXPECT_EQ(tcp.SendAll("x", 1), -1);
}

TEST_F(TcpipRead, OverlongLineFailsInsteadOfGrowingForever)
{
    FakeServer server([](FakePeer& p) {
        std::string chunk(1 << 20, 'y');
        for (int i = 0; i < 5; ++i)
            p.Send(chunk);
        p.ReadLine();
    });
    CTcpip tcp;
    tcp.Attach(server.TakeClient());
    std::string line;
    EXPECT_EQ(tcp.ReadLine(line), 0);
    EXPECT_TRUE(line.empty());
    tcp.Close();
}

using Log = NetTest;

TEST_F(Log, NothingRecordedWithoutSinkAndTextsNotReformatted)
{
    ProtocolLog own;
    own.Printf("lost %d", 1);
    std::vector<std::string> lines;
    own.SetSink([&](std::string_view l) { lines.emplace_back(l); });
    own.Printf("CreateSocket %s, %d", "news.example", 119);
    own.Text("100% literal %s");
    own.Printf("%s", std::string(3000, 'a').c_str());
    own.SetSink({});
    own.Printf("lost again");
    EXPECT_TRUE(log.empty()); // another log's lines go nowhere else
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "CreateSocket news.example, 119\r\n");
    EXPECT_EQ(lines[1], "100% literal %s\r\n");
    EXPECT_EQ(lines[2].size(), 1026u);
}

using Connect = NetTest;

TEST_F(Connect, DottedAddressConnectsAndFailuresCarryWinsockCodes)
{
    {
        CNntp idle; // never connected: nothing to log
        Use(idle);
        idle.Disconnect();
        idle.Quit();
    }
    EXPECT_TRUE(log.empty());
    std::vector<std::string> errors;
    const auto reporting = [&](CNntp& n) -> CNntp& {
        n.SetErrorReporter([&](const std::string& t) { errors.push_back(t); });
        return n;
    };
    int freedPort = 0;
    {
        FakeServer server([](FakePeer& p) {
            p.Send("200 fake\r\n");
            p.AnswerQuit();
        }, true);
        {
            CNntp nntp;
            Use(nntp);
            ASSERT_EQ(reporting(nntp).Open("127.0.0.1", 1, server.port()), 1);
            EXPECT_EQ(nntp.IsConnected(), 1);
            EXPECT_EQ(nntp.ReadGreeting(), 1);
        }
        server.Join();
        EXPECT_EQ(server.received(), "QUIT\r\n");
        EXPECT_TRUE(errors.empty());
        freedPort = server.port();
    }
    // Nobody listens there any more.
    CNntp refused;
    Use(refused);
    EXPECT_EQ(reporting(refused).Open("127.0.0.1", 0, freedPort), 0);
    EXPECT_EQ(refused.IsConnected(), 0);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("NNTP: error at [ConnectServer::connect](10061:", 0), 0u) << errors[0];

    CNntp unknown;

    Use(unknown);
    EXPECT_EQ(reporting(unknown).Open("no-such-host.invalid", 0, 119), 0);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1].rfind("NNTP: error at [ConnectServer::SetAddr](1100", 0), 0u) << errors[1];
}

TEST_F(Connect, IPv6LoopbackByNameAndNumber)
{
    for (const char* host : {"::1", "ip6-localhost"}) {
        std::vector<net::SocketAddress> resolved;
        CTcpip probe;
        if (probe.SetAddr(resolved, host, 119) != 0)
            continue; // the name is not known on this machine
        FakeServer server([](FakePeer& p) {
            p.Send("200 six\r\n");
            p.AnswerQuit();
        }, true, AF_INET6);
        CNntp nntp;
        Use(nntp);
        ASSERT_EQ(nntp.Open(host, 1, server.port()), 1) << host;
        EXPECT_EQ(nntp.ReadGreeting(), 1) << host;
        nntp.Quit();
        server.Join();
        EXPECT_EQ(server.received(), "QUIT\r\n");
    }
}

} // namespace
