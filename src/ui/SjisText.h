#pragma once

// Conversion between the Shift_JIS (CP932) bytes kept in memory and the
// QString that Qt draws. Text that cannot be converted is replaced rather
// than dropped, so a row always shows something.

#include <QString>

#include <string>
#include <string_view>

QString FromSjis(std::string_view sjis);
std::string ToSjis(const QString& text);

// True when the byte starts a double-byte Shift_JIS character.
inline bool IsSjisLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
