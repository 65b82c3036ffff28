#pragma once
// Japanese text of any supported code to Shift_JIS.

#include <cstddef>
#include <string>
#include <string_view>

#include "textcodec/JapaneseCodes.h"

namespace textcodec {

// Converts text (input code TC_AUTO, TC_AUTO_SJIS, TC_AUTO_EUC or a concrete
// code) to Shift_JIS into out. size bounds both the input accepted and the
// output: a text longer than size fails, the result is never longer than
// size. Half-width kana stay half-width. False when the codes are refused or
// the input does not fit; out is then left unchanged. Each call uses its own
// converter, so calls are independent.
bool ConvertToSjis(std::string& out, std::string_view text, size_t size, int inputCode);

} // namespace textcodec
