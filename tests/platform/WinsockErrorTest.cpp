#include "platform/WinsockError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace platform;

namespace {

TEST(WinsockError, RealFailuresGiveTheirWinsockNumbers)
{
    sockaddr_in addr{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    socklen_t len = sizeof addr;
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), len), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    ::close(listener); // the port is closed now
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&addr), len), -1);
    EXPECT_EQ(WinsockFromErrno(errno), WSAECONNREFUSED);
    ::close(s);
    int pair[2];
    char c;
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    EXPECT_EQ(::recv(pair[0], &c, 1, MSG_DONTWAIT), -1);
    EXPECT_EQ(WinsockFromErrno(errno), WSAEWOULDBLOCK);
    ::close(pair[1]);
    EXPECT_EQ(::send(pair[0], "x", 1, MSG_NOSIGNAL), -1);
    EXPECT_EQ(WinsockFromErrno(errno), WSAECONNRESET);
    ::close(pair[0]);
    EXPECT_EQ(WinsockFromErrno(0), 0);

    addrinfo* res = nullptr;
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    EXPECT_EQ(WinsockFromResolver(::getaddrinfo("not a host", nullptr, &hints, &res)), WSAHOST_NOT_FOUND);
    if (res)
        ::freeaddrinfo(res);
    errno = ECONNREFUSED; // a system error behind the resolver is the socket's
    EXPECT_EQ(WinsockFromResolver(EAI_SYSTEM), WSAECONNREFUSED);
}

} // namespace
