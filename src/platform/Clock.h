#pragma once
#include <cstdint>
#include <ctime>

namespace platform {

// Milliseconds from a steady clock; only differences are meaningful.
std::uint64_t GetTickCount();

// Offset of local time from UTC in minutes at the given moment (east positive).
int LocalZoneOffsetMinutes(std::int64_t when);
inline int LocalZoneOffsetMinutes() { return LocalZoneOffsetMinutes(static_cast<std::int64_t>(std::time(nullptr))); }

} // namespace platform
