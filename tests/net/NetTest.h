#pragma once
// Shared set-up for the transport tests: every global knob back to its
// default around each test, and the log kept for inspection.

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
    void SetUp() override
    {
        Reset();
        net::SetLogSink([this](std::string_view l) { log.emplace_back(l); });
    }
    void TearDown() override { Reset(); }
    static void Reset()
    {
        net::SetTcpWaitSec(12);
        net::SetTcpRetryCount(5);
        net::SetLogSink({});
    }
    static void ShortWait()
    {
        net::SetTcpWaitSec(1);
        net::SetTcpRetryCount(1);
    }
    bool Logged(const std::string& text) const { return std::find(log.begin(), log.end(), text) != log.end(); }

    std::vector<std::string> log;
};

// Hands the client end to nntp and reads the greeting the script sent.
inline void Greet(net::CNntp& nntp, FakeServer& server)
{
    nntp.Attach(server.TakeClient());
    ASSERT_EQ(nntp.ReadGreeting(), 1);
}
