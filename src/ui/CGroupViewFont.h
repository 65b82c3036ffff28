#pragma once
// The font of the group pane as stored per user: the 60-byte logical-font
// record (height, width, escapement, orientation, weight as little-endian
// 32-bit numbers, then italic, underline, strike-out, character set, four
// precision and family bytes, then a 32-byte NUL-terminated face name in
// Shift_JIS).

#include <QFont>

#include <array>
#include <cstdint>
#include <optional>

namespace ui {

constexpr std::size_t kLogFontSize = 60;
using LogFontRecord = std::array<std::uint8_t, kLogFontSize>;

LogFontRecord FontToLogFont(const QFont& font);
// None when the record names no face or no usable size.
std::optional<QFont> FontFromLogFont(const LogFontRecord& record);

} // namespace ui
