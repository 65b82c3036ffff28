#include "textcodec/ConvertFromSjis.h"

#include "platform/Sjis.h"
#include "textcodec/Charsets.h"

#include <algorithm>

namespace textcodec {

namespace {

// JIS X 0208 value of the character at text[i] (advancing i), or 0 for a
// byte that is not a double-byte character or half-width kana.
uint16_t NextJis(std::string_view text, size_t& i)
{
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsUserAreaLead(c) && EscapedCodePoint(text, i)) {
        i += 4;
        return 0x222E; // GETA MARK: the character has no JIS code
    }
    if (platform::SjisCharLength(text, i) == 2) {
        unsigned char d = static_cast<unsigned char>(text[i + 1]);
        i += 2;
        uint16_t sjis = static_cast<uint16_t>(c << 8 | d);
        uint16_t jis = SjisToJis(sjis);
        return jis == sjis ? 0x2121 : jis; // no JIS X 0208 code: full-width space
    }
    if (c >= 0xA1 && c <= 0xDF) {
        ++i;
        return WidenHalfKana(c);
    }
    return 0;
}

} // namespace

std::string ConvertFromSjis(std::string_view text, KanjiCode code)
{
    if (code == KanjiCode::Utf8)
        return SjisToUtf8(text);
    if (code != KanjiCode::Jis && code != KanjiCode::Euc) {
        if (std::none_of(text.begin(), text.end(), [](char c) { return IsUserAreaLead(c); }))
            return std::string(text);
        std::string out;
        for (size_t i = 0; i < text.size();) {
            const size_t n = EscapedCodePoint(text, i) ? 4 : platform::SjisCharLength(text, i);
            out += n == 4 ? std::string_view(kGeta) : text.substr(i, n);
            i += n;
        }
        return out;
    }
    std::string out;
    out.reserve(text.size() + text.size() / 4 + 8);
    bool shifted = false;
    for (size_t i = 0; i < text.size();) {
        uint16_t jis = NextJis(text, i);
        if (jis) {
            if (code == KanjiCode::Jis) {
                if (!shifted) {
                    out += "\x1B$B";
                    shifted = true;
                }
                out += static_cast<char>(jis >> 8);
                out += static_cast<char>(jis & 0xFF);
            } else {
                out += static_cast<char>((jis >> 8) | 0x80);
                out += static_cast<char>((jis & 0xFF) | 0x80);
            }
            continue;
        }
        if (shifted) {
            out += "\x1B(B";
            shifted = false;
        }
        out += text[i++];
    }
    if (shifted)
        out += "\x1B(B";
    return out;
}

} // namespace textcodec
