#pragma once
// The code of undeclared Japanese text, decided from all of its bytes as nkf
// decides it: ISO-2022-JP escapes, then valid UTF-8, then EUC-JP against
// Shift_JIS by how plausible the pairs of each reading are.

#include <string>
#include <string_view>

namespace textcodec {

enum class TextCode {
    Undecided, // bytes above 0x7F that fit neither reading well (mixed text)
    Ascii,     // nothing to decide
    Jis,
    Utf8,
    EucJp,
    ShiftJis,
};

TextCode DetectTextCode(std::string_view text);

// Accumulates the evidence of a text given in pieces; Code() is what one
// DetectTextCode of all the pieces gives. A piece must end on a character
// boundary (a line end does).
class TextCodeScan {
public:
    void Add(std::string_view piece);
    TextCode Code() const;
    bool HasHighBytes() const { return high_ > 0; }

private:
    bool escape_ = false;
    bool utf8Valid_ = true;
    bool utf8Foreign_ = false; // valid UTF-8 so far, but with characters CP932 lacks
    long long high_ = 0;
    long long eucBad_ = 0, sjisBad_ = 0;
    long long eucScore_ = 0, sjisScore_ = 0;
};

// One line (no line end) of a text in code to Shift_JIS. Undecided and
// Ascii text goes by the per-line Japanese rule.
std::string LineToSjis(std::string_view line, TextCode code);

} // namespace textcodec
