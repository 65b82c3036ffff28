#include "platform/Clock.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

TEST(Clock, ZoneOffsetFollowsDaylightSaving)
{
    const struct {
        const char* zone;
        std::time_t at;
        int minutes;
    } cases[] = {
        {"Asia/Tokyo", 0, 9 * 60},
        {"America/New_York", 1751328000, -4 * 60}, // 2025-07-01
        {"America/New_York", 1735689600, -5 * 60}, // 2025-01-01
        {"UTC", std::time(nullptr), 0},
    };
    for (const auto& c : cases) {
        testutil::ScopedEnv tz("TZ", c.zone);
        EXPECT_EQ(platform::LocalZoneOffsetMinutes(c.at), c.minutes) << c.zone << " " << c.at;
    }
}

} // namespace
