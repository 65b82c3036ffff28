#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeServer.h"
#include "net/Log.h"
#include "net/Nntp.h"
#include "net/Tcpip.h"
#include "platform/WinsockError.h"

namespace {

struct Settings : ::testing::Test {
    void SetUp() override
    {
        net::SetTcpWaitSec(12);
        net::SetTcpRetryCount(5);
        net::SetPumpHook({});
        net::SetLogSink({});
    }
    void TearDown() override { SetUp(); }
};

using TcpipRead = Settings;

TEST_F(TcpipRead, SegmentsJoinAndSharedSegmentsSplit)
{
    FakeServer server([](FakePeer& p) {
        p.Trickle("200 split\r\n");
        p.Send("211 one\r\n223 two\nlast");
        FakePeer::Pause(50);
        p.Send(" piece\r\n");
    });
    CTcpip tcp;
    tcp.Attach(server.TakeClient());
    std::string line;
    EXPECT_EQ(tcp.ReadLine(line), 11);
    EXPECT_EQ(line, "200 split\r\n");
    EXPECT_GT(tcp.ReadLine(line), 0);
    EXPECT_EQ(line, "211 one\r\n");
    EXPECT_GT(tcp.ReadLine(line), 0);
    EXPECT_EQ(line, "223 two\n"); // a bare LF stays bare
    EXPECT_GT(tcp.ReadLine(line), 0);
    EXPECT_EQ(line, "last piece\r\n");
    tcp.Close();
}

TEST_F(TcpipRead, LongLinesAndNulBytesArriveWhole)
{
    std::string longLine(20000, 'x');
    longLine += "\r\n";
    std::string withNul("a\0b\0\0c\r\n", 8);
    FakeServer server([&](FakePeer& p) {
        p.Send(longLine);
        p.Send(withNul);
        p.Send("after\r\n");
    });
    CTcpip tcp;
    tcp.Attach(server.TakeClient());
    std::string line;
    EXPECT_EQ(tcp.ReadLine(line), 20002);
    EXPECT_EQ(line, longLine);
    EXPECT_EQ(tcp.ReadLine(line), 8);
    EXPECT_EQ(line, withNul);
    EXPECT_GT(tcp.ReadLine(line), 0);
    EXPECT_EQ(line, "after\r\n");
    tcp.Close();
}

TEST_F(TcpipRead, StallEndsAtTheLimitPumpingMeanwhile)
{
    net::SetTcpWaitSec(1);
    net::SetTcpRetryCount(1);
    int pumps = 0;
    net::SetPumpHook([&] { ++pumps; });
    FakeServer server([](FakePeer& p) {
        p.Send("partial line without end");
        p.ReadLine(); // holds the connection open until the client closes
    });
    CTcpip tcp;
    tcp.Attach(server.TakeClient());
    std::string line = "stale";
    EXPECT_EQ(tcp.ReadLine(line), -1);
    EXPECT_EQ(line, "");
    EXPECT_EQ(tcp.LastError(), platform::WSAETIMEDOUT);
    EXPECT_GT(pumps, 0);
    tcp.Close();
}

TEST_F(TcpipRead, RetryCountZeroStillSendsAndReadsWhatIsThere)
{
    net::SetTcpRetryCount(0);
    FakeServer server([](FakePeer& p) {
        p.Send("ready\r\n");
        std::string l = p.ReadLine();
        p.Send("got " + l);
        p.ReadLine();
    });
    CTcpip tcp;
    tcp.Attach(server.TakeClient());
    pollfd pfd{tcp.Socket(), POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 10000), 1);
    std::string line;
    EXPECT_EQ(tcp.ReadLine(line), 7);
    // Sending is not refused for want of a wait attempt.
    EXPECT_EQ(tcp.SendAll("HELLO\r\n", 7), 7);
    ASSERT_EQ(::poll(&pfd, 1, 10000), 1);
    EXPECT_EQ(tcp.ReadLine(line), 11);
    EXPECT_EQ(line, "got HELLO\r\n");
    // Nothing more comes: the short limit ends the read.
    EXPECT_EQ(tcp.ReadLine(line), -1);
    tcp.Close();
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

using Log = Settings;

TEST_F(Log, NothingRecordedWithoutSinkAndTextsNotReformatted)
{
    LogPrintf("lost %d", 1);
    std::vector<std::string> lines;
    net::SetLogSink([&](std::string_view l) { lines.emplace_back(l); });
    LogPrintf("CreateSocket %s, %d", "news.example", 119);
    net::LogText("100% literal %s");
    std::string huge(3000, 'a');
    LogPrintf("%s", huge.c_str());
    net::SetLogSink({});
    LogPrintf("lost again");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "CreateSocket news.example, 119\r\n");
    EXPECT_EQ(lines[1], "100% literal %s\r\n");
    EXPECT_EQ(lines[2].size(), 1026u);
}

TEST(CutSjis, NeverSplitsACharacter)
{
    // "あい" in Shift_JIS is 82 A0 82 A2.
    EXPECT_EQ(net::CutSjis("a\x82\xa0\x82\xa2", 4), "a\x82\xa0");
    EXPECT_EQ(net::CutSjis("a\x82\xa0\x82\xa2", 5), "a\x82\xa0\x82\xa2");
    EXPECT_EQ(net::CutSjis("abc", 2), "ab");
}

using Connect = Settings;

TEST_F(Connect, DottedAddressConnectsAndFailuresCarryWinsockCodes)
{
    std::vector<std::string> errors;
    net::SetErrorBoxHook([&](const std::string& t) { errors.push_back(t); });
    FakeServer server([](FakePeer& p) {
        p.Send("200 fake\r\n");
        p.ReadLine();
        p.Send("205 bye\r\n");
        p.ReadToEnd();
    }, true);
    {
        CNntp nntp;
        ASSERT_EQ(nntp.Open("127.0.0.1", 1, server.port()), 1);
        EXPECT_EQ(nntp.IsConnected(), 1);
        EXPECT_EQ(nntp.ReadGreeting(), 1);
    }
    server.Join();
    EXPECT_EQ(server.received(), "QUIT\r\n");
    EXPECT_TRUE(errors.empty());

    // A port nobody listens on.
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(probe);
    CNntp refused;
    EXPECT_EQ(refused.Open("127.0.0.1", 0, ntohs(a.sin_port)), 0);
    EXPECT_EQ(refused.IsConnected(), 0);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("NNTP: error at [ConnectServer::connect](10061:", 0), 0u) << errors[0];

    CNntp unknown;
    EXPECT_EQ(unknown.Open("no-such-host.invalid", 0, 119), 0);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1].rfind("NNTP: error at [ConnectServer::SetAddr](1100", 0), 0u) << errors[1];
    net::SetErrorBoxHook({});
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
        ASSERT_EQ(nntp.Open(host, 1, server.port()), 1) << host;
        EXPECT_EQ(nntp.ReadGreeting(), 1) << host;
        nntp.Quit();
        server.Join();
        EXPECT_EQ(server.received(), "QUIT\r\n");
    }
}

TEST_F(Connect, DisconnectOfNeverConnectedLogsNothing)
{
    std::vector<std::string> lines;
    net::SetLogSink([&](std::string_view l) { lines.emplace_back(l); });
    {
        CNntp nntp;
        nntp.disconnect();
        nntp.Quit();
    }
    EXPECT_TRUE(lines.empty());
}

} // namespace
