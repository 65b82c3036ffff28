#pragma once
// Shift_JIS text as typed by the user to the code used for posting.

#include <cstddef>
#include <string>
#include <string_view>

#include "textcodec/JapaneseCodes.h"

namespace textcodec {

// What becomes of a character the target code cannot carry.
enum class Uncarried {
    Keep,    // as the code arithmetic gives it (NEC row 13 goes out as JIS row 13)
    Replace, // GETA MARK, so the article holds only what its label promises
};

// KanjiCode::Jis: ISO-2022-JP, half-width kana widened, closed with ESC ( B;
// KanjiCode::Euc: EUC-JP; KanjiCode::Sjis: the text unchanged;
// KanjiCode::Utf8: UTF-8. Characters kept as escapes become GETA MARK in the
// Japanese codes. With Keep a double-byte code outside JIS X 0208's
// arithmetic becomes the full-width space.
// With Replace, UTF-8 gives the characters CP932 and the JIS decoders read
// differently (0x8160 〜, 0x8161 ‖, 0x817C −, 0x8191 ¢, 0x8192 £, 0x81CA ¬)
// their JIS forms (U+301C ...), the ones Linux input methods type.
std::string ConvertFromSjis(std::string_view text, KanjiCode code, Uncarried mode = Uncarried::Keep);

// Offset of the first character code cannot carry as itself (no JIS X 0208
// cell, an escaped character, a byte that is no character); npos when
// there is none. UTF-8 carries everything.
std::size_t FindUncarried(std::string_view text, KanjiCode code);

// Length in bytes of the character at text[i] as FindUncarried counts it
// (4 for an escape pair).
std::size_t CharacterLength(std::string_view text, std::size_t i);

} // namespace textcodec
