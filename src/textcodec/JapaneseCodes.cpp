#include "textcodec/JapaneseCodes.h"

namespace textcodec {

uint16_t JisToSjis(uint16_t jis)
{
    unsigned hi = jis >> 8, lo = jis & 0xFF;
    if (jis < 0x2121 || jis > 0x7E7E || lo < 0x21 || lo > 0x7E)
        return jis;
    if (hi & 1)
        lo += (lo <= 0x5F) ? 0x1F : 0x20;
    else
        lo += 0x7E;
    hi = ((hi + 1) >> 1) + (hi <= 0x5E ? 0x70 : 0xB0);
    return static_cast<uint16_t>(hi << 8 | lo);
}

uint16_t SjisToJis(uint16_t sjis)
{
    unsigned hi = sjis >> 8, lo = sjis & 0xFF;
    if (sjis < 0x8140 || sjis > 0xEFFC || lo < 0x40 || lo > 0xFC || lo == 0x7F)
        return sjis;
    if (sjis >= 0x9FFD && sjis < 0xE040)
        return sjis;
    hi -= (hi <= 0x9F) ? 0x71 : 0xB1;
    hi = hi * 2 + 1;
    if (lo > 0x7F)
        --lo;
    if (lo >= 0x9E) {
        lo -= 0x7D;
        ++hi;
    } else {
        lo -= 0x1F;
    }
    return static_cast<uint16_t>(hi << 8 | lo);
}

bool IsJisX0208(uint16_t jis)
{
    const unsigned row = (jis >> 8) - 0x20, cell = (jis & 0xFF) - 0x20;
    if (row < 1 || row > 94 || cell < 1 || cell > 94)
        return false;
    struct Span { unsigned char row, first, last; };
    // Rows with gaps; 16-83 but 47 are full, 84 ends at 6.
    static constexpr Span kSpans[] = {
        {1, 1, 94},   {2, 1, 14},   {2, 26, 33},  {2, 42, 48}, {2, 60, 74}, {2, 82, 89}, {2, 94, 94},
        {3, 16, 25},  {3, 33, 58},  {3, 65, 90},  {4, 1, 83},  {5, 1, 86},  {6, 1, 24},  {6, 33, 56},
        {7, 1, 33},   {7, 49, 81},  {8, 1, 32},   {47, 1, 51}, {84, 1, 6},
    };
    if (row >= 16 && row <= 83 && row != 47)
        return true;
    for (const Span& s : kSpans)
        if (s.row == row && cell >= s.first && cell <= s.last)
            return true;
    return false;
}

namespace {
// 0xA0-0xDF in order.
const uint16_t kWide[64] = {
    0x0020, 0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, // A0-A7
    0x2523, 0x2525, 0x2527, 0x2529, 0x2563, 0x2565, 0x2567, 0x2543, // A8-AF
    0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D, // B0-B7
    0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, // B8-BF
    0x253F, 0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, // C0-C7
    0x254D, 0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E, // C8-CF
    0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569, // D0-D7
    0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C, // D8-DF
};
} // namespace

uint16_t WidenHalfKana(uint16_t value)
{
    if (value >= 0xA0 && value <= 0xDF)
        return kWide[value - 0xA0];
    return value;
}

} // namespace textcodec
