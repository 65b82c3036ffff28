#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace platform {

std::uint64_t GetTickCount()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int LocalZoneOffsetMinutes(std::int64_t when)
{
    std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return 0;
    return static_cast<int>(local.tm_gmtoff / 60);
}

} // namespace platform
