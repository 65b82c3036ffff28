#include "platform/WinsockError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <netdb.h>
#include <set>

using namespace platform;

namespace {

TEST(WinsockError, ErrnoAndResolverFailuresMapToWinsockNumbers)
{
    const std::pair<int, int> errnos[] = {
        {0, 0}, {EINTR, 10004}, {EAGAIN, 10035}, {EWOULDBLOCK, 10035}, {EINPROGRESS, 10036},
        {ECONNRESET, 10054}, {EPIPE, 10054}, {ETIMEDOUT, 10060}, {ECONNREFUSED, 10061},
        {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051},
    };
    for (auto [err, code] : errnos)
        EXPECT_EQ(WinsockFromErrno(err), code) << "errno " << err;
    const std::pair<int, int> resolver[] = {
        {0, 0}, {EAI_NONAME, 11001}, {EAI_AGAIN, 11002}, {EAI_FAIL, 11003}, {EAI_NODATA, 11004},
    };
    for (auto [rc, code] : resolver)
        EXPECT_EQ(WinsockFromResolver(rc), code) << "resolver " << rc;
    errno = ECONNREFUSED;
    EXPECT_EQ(WinsockFromResolver(EAI_SYSTEM), 10061);

    // A real look-up of a name that cannot exist gives "host not found".
    addrinfo* res = nullptr;
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_flags = AI_NUMERICHOST;
    const int rc = ::getaddrinfo("not a host", nullptr, &hints, &res);
    if (res)
        ::freeaddrinfo(res);
    EXPECT_EQ(WinsockFromResolver(rc), 11001);
}

TEST(WinsockError, EachListedCodeHasItsOwnTextAndOthersShareOne)
{
    std::vector<int> listed = {10004, 10009, 10013, 10014, 10022, 10024, 10091, 10092, 10093,
                               11001, 11002, 11003, 11004};
    for (int c = 10035; c <= 10071; ++c)
        listed.push_back(c);
    const std::string unknown = WinsockErrorText(-1);
    EXPECT_FALSE(unknown.empty());
    std::set<std::string> texts;
    for (int c : listed) {
        const std::string t = WinsockErrorText(c);
        EXPECT_NE(t, unknown) << c;
        EXPECT_TRUE(texts.insert(t).second) << c << " repeats " << t;
    }
    for (int c : {0, 1, 10000, 10005, 10034, 10072, 10090, 10094, 11000, 11005, 99999})
        EXPECT_EQ(WinsockErrorText(c), unknown) << c;
}

} // namespace
