#pragma once
// Code numbers of the Japanese text codes and the arithmetic between
// Shift_JIS and JIS X 0208 row/cell codes that every converter shares.

#include <cstdint>

namespace textcodec {

// Input and output codes of the streaming converter (tcSetCode).
enum : int {
    TC_AUTO = 1,       // detect; undecided text counts as TC_JIS7
    TC_JIS = 2,        // ISO-2022-JP that may carry 8-bit half-width kana
    TC_SJIS = 3,
    TC_EUC = 4,
    TC_JIS7 = 5,       // 7-bit ISO-2022-JP, kana by SO/SI or ESC ( I
    TC_AUTO_SJIS = 16, // detect; undecided text is Shift_JIS
    TC_AUTO_EUC = 17,  // detect; undecided text is EUC-JP
};

// The code of outgoing text (ConvertFromSjis, the post window's setting);
// the configuration file stores it as this number.
enum class KanjiCode : int { Jis = 0, Sjis = 1, Euc = 2, Utf8 = 3 };

// JIS X 0208 value (row byte * 256 + cell byte) to Shift_JIS. Values outside
// 0x2121-0x7E7E or with a cell byte outside 0x21-0x7E come back unchanged.
uint16_t JisToSjis(uint16_t jis);

// Shift_JIS double-byte code to JIS X 0208. Only 0x8140-0xEFFC with a second
// byte 0x40-0xFC (not 0x7F), outside 0x9FFD-0xE03F, are converted; anything
// else comes back unchanged.
uint16_t SjisToJis(uint16_t sjis);

// True for a cell JIS X 0208 defines: what ISO-2022-JP, EUC-JP and strict
// Shift_JIS readers accept. NEC row 13 and the IBM rows are not among them.
bool IsJisX0208(uint16_t jis);

// Half-width katakana byte (0xA0-0xDF) to its full-width JIS X 0208 value
// (0xA0 gives an ASCII space); any other value comes back unchanged.
uint16_t WidenHalfKana(uint16_t value);

} // namespace textcodec
