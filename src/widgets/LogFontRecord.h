#pragma once
// Fonts kept in the per-user store as the 60-byte logical-font record: five
// little-endian 32-bit fields (height, width, escapement, orientation,
// weight), eight bytes (italic, underline, strike-out, character set, output
// and clip precision, quality, pitch and family) and a 32-byte face name in
// Shift_JIS ending in a NUL.

#include <QFont>

#include <array>
#include <cstdint>
#include <optional>

namespace platform { class Registry; }

namespace widgets {

inline constexpr std::size_t kLogFontSize = 60;
using LogFontRecord = std::array<std::uint8_t, kLogFontSize>;

LogFontRecord RecordFromFont(const QFont& font);
// None when the record names no face or gives no usable size.
std::optional<QFont> FontFromRecord(const LogFontRecord& record);

// section/"lfFont": none when missing or not a binary value of 60 bytes.
std::optional<QFont> ReadFontSetting(const platform::Registry& registry, const char* section);
bool WriteFontSetting(platform::Registry& registry, const char* section, const QFont& font);

} // namespace widgets
