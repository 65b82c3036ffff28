#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <thread>

namespace {

struct ZoneGuard {
    explicit ZoneGuard(const char* tz) { setenv("TZ", tz, 1); tzset(); }
    ~ZoneGuard() { unsetenv("TZ"); tzset(); }
};

TEST(Clock, TickCountIsMonotonicMilliseconds)
{
    const auto a = platform::GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto b = platform::GetTickCount();
    EXPECT_GE(b - a, 20u);
    EXPECT_LT(b - a, 5000u);
}

TEST(Clock, ZoneOffsetFollowsDaylightSaving)
{
    {
        ZoneGuard tz("Asia/Tokyo");
        EXPECT_EQ(platform::LocalZoneOffsetMinutes(0), 9 * 60);
    }
    {
        ZoneGuard tz("America/New_York");
        EXPECT_EQ(platform::LocalZoneOffsetMinutes(1751328000), -4 * 60); // 2025-07-01
        EXPECT_EQ(platform::LocalZoneOffsetMinutes(1735689600), -5 * 60); // 2025-01-01
    }
    {
        ZoneGuard tz("UTC");
        EXPECT_EQ(platform::LocalZoneOffsetMinutes(), 0);
    }
}

} // namespace
