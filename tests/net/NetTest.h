#pragma once
// Shared set-up for the transport tests: each connection a test makes is
// given the fixture's log (kept for inspection) and waits.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FakeServer.h"
#include "net/Log.h"
#include "net/Nntp.h"
#include "net/Tcpip.h"
#include "net/TextbaseProtocol.h"

struct NetTest : ::testing::Test {
    NetTest()
    {
        protocolLog.SetSink([this](std::string_view l) { log.emplace_back(l); });
    }
    // One-second waits, one try, for the tests that wait for a stall.
    void ShortWait() { timeouts = {1, 1}; }
    // The fixture's log and waits for a connection made in the test.
    net::CNntp& Use(net::CNntp& nntp)
    {
        nntp.SetLog(&protocolLog);
        nntp.SetTimeouts(timeouts);
        return nntp;
    }
    bool Logged(const std::string& text) const { return std::find(log.begin(), log.end(), text) != log.end(); }

    std::vector<std::string> log;
    net::ProtocolLog protocolLog;
    net::TcpTimeouts timeouts;
};

// Hands the client end to nntp and reads the greeting the script sent.
inline void Greet(net::CNntp& nntp, FakeServer& server)
{
    nntp.Attach(server.TakeClient());
    ASSERT_EQ(nntp.ReadGreeting(), 1);
}
