#pragma once

#include <algorithm>
#include <cstdint>

namespace net {

// The two settings that govern every wait of one connection (configuration
// nTcpWaitSec and nTcpRetryCount). Out-of-range values count as the defaults.
struct TcpTimeouts {
    int waitSec = 12;
    int retryCount = 5;

    int WaitSec() const { return (waitSec < 0 || waitSec > 3600) ? 12 : waitSec; }
    int RetryCount() const { return (retryCount < 0 || retryCount > 1000) ? 5 : retryCount; }
    // The limit of one line read or one connect: at least one wait of at
    // least a second.
    std::int64_t LineLimitMs() const { return std::int64_t{std::max(1, RetryCount())} * std::max(1, WaitSec()) * 1000; }
};

} // namespace net
