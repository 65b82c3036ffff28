#pragma once
// Walking Shift_JIS (code page 932) text byte by byte: the second byte of a
// double-byte character can look like any ASCII letter or sign, so every
// scan of such text steps over whole characters.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

constexpr bool IsSjisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Bytes of the character at text[i]: a lead byte with nothing after it counts as one.
constexpr std::size_t SjisCharLength(std::string_view text, std::size_t i)
{
    return IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// At most max bytes of text, never splitting a character.
constexpr std::string_view CutSjis(std::string_view text, std::size_t max)
{
    if (text.size() <= max)
        return text;
    std::size_t i = 0;
    for (std::size_t step; i < max && i + (step = SjisCharLength(text, i)) <= max;)
        i += step;
    return text.substr(0, i);
}

// A value from outside going into one header or command line: a CR, LF or
// NUL in it would end the line (or the article) early.
inline std::string OneLineValue(std::string_view value, char replacement = ' ')
{
    std::string out(value);
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\0')
            c = replacement;
    return out;
}

} // namespace platform
