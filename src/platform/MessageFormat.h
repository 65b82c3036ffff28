#pragma once
// The one formatter of string-table texts: "%s" and "%d" (with an optional
// "-" and a width, counted in bytes) take the arguments in order, a missing
// argument gives nothing, "%%" is a percent sign.
//
// Entries are Shift_JIS. Arguments come in two kinds: file paths (native,
// UTF-8) and everything else (Shift_JIS). The rule that tells them apart: an
// argument that is valid UTF-8 is UTF-8, any other is Shift_JIS. Pure ASCII
// reads the same either way. The formatter converts nothing; each piece says
// how its bytes read, and the caller converts where it shows the text.

#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class TextCode { ShiftJis, Utf8 };

struct MessagePiece {
    std::string text;
    TextCode code;
};

std::vector<MessagePiece> FormatMessagePieces(std::string_view entry, const std::vector<std::string>& args);
// The pieces joined as they are: Shift_JIS when no argument is a path.
std::string FormatSjisMessage(std::string_view entry, const std::vector<std::string>& args);

// Whole-sequence check; overlong forms, surrogates and values past U+10FFFF fail.
bool IsValidUtf8(std::string_view bytes);

} // namespace platform
