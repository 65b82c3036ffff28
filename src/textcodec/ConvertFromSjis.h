#pragma once
// Shift_JIS text as typed by the user to the code used for posting.

#include <string>
#include <string_view>

#include "textcodec/JapaneseCodes.h"

namespace textcodec {

// KanjiCode::Jis: ISO-2022-JP, half-width kana widened, closed with ESC ( B;
// KanjiCode::Euc: EUC-JP; any other code: the text unchanged.
// A character with no JIS X 0208 code becomes the full-width space.
std::string ConvertFromSjis(std::string_view text, KanjiCode code);

} // namespace textcodec
