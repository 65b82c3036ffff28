#include "textcodec/ConvertFromSjis.h"

#include "platform/Sjis.h"
#include "textcodec/Charsets.h"

#include <algorithm>

namespace textcodec {

namespace {

constexpr uint16_t kJisGeta = 0x222E;

// JIS X 0208 value of the character at text[i] (advancing i), or 0 for a
// byte that is not a double-byte character or half-width kana.
uint16_t NextJis(std::string_view text, size_t& i, Uncarried mode)
{
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsUserAreaLead(c) && EscapedCodePoint(text, i)) {
        i += 4;
        return kJisGeta; // the character has no JIS code
    }
    if (platform::SjisCharLength(text, i) == 2) {
        unsigned char d = static_cast<unsigned char>(text[i + 1]);
        i += 2;
        uint16_t sjis = static_cast<uint16_t>(c << 8 | d);
        uint16_t jis = SjisToJis(sjis);
        if (mode == Uncarried::Replace)
            return IsJisX0208(jis) ? jis : kJisGeta;
        return jis == sjis ? 0x2121 : jis; // no JIS X 0208 code: full-width space
    }
    if (c >= 0xA1 && c <= 0xDF) {
        ++i;
        return WidenHalfKana(c);
    }
    if (mode == Uncarried::Replace && c >= 0x80) {
        ++i;
        return kJisGeta;
    }
    return 0;
}

bool IsHalfKana(unsigned char c) { return c >= 0xA1 && c <= 0xDF; }

std::string ToUtf8ForPost(std::string_view text)
{
    static constexpr std::pair<std::string_view, std::string_view> kJisForms[] = {
        {"\x81\x60", "\xE3\x80\x9C"}, {"\x81\x61", "\xE2\x80\x96"}, {"\x81\x7C", "\xE2\x88\x92"},
        {"\x81\x91", "\xC2\xA2"},     {"\x81\x92", "\xC2\xA3"},     {"\x81\xCA", "\xC2\xAC"},
    };
    std::string out;
    size_t done = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t n = CharacterLength(text, i);
        if (n == 2 && text[i] == '\x81') {
            for (const auto& [sjis, utf8] : kJisForms)
                if (text.substr(i, 2) == sjis) {
                    out += SjisToUtf8(text.substr(done, i - done));
                    out += utf8;
                    done = i + 2;
                    break;
                }
        }
        i += n;
    }
    out += SjisToUtf8(text.substr(done));
    return out;
}

} // namespace

size_t CharacterLength(std::string_view text, size_t i)
{
    if (IsUserAreaLead(static_cast<unsigned char>(text[i])) && EscapedCodePoint(text, i))
        return 4;
    return std::max<size_t>(1, platform::SjisCharLength(text, i));
}

size_t FindUncarried(std::string_view text, KanjiCode code)
{
    if (code == KanjiCode::Utf8)
        return std::string_view::npos;
    for (size_t i = 0; i < text.size();) {
        const size_t n = CharacterLength(text, i);
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (n == 4)
            return i;
        if (n == 2) {
            const uint16_t sjis = static_cast<uint16_t>(c << 8 | static_cast<unsigned char>(text[i + 1]));
            if (!IsJisX0208(SjisToJis(sjis)))
                return i;
        } else if (c >= 0x80 && !IsHalfKana(c)) {
            return i;
        }
        i += n;
    }
    return std::string_view::npos;
}

std::string ConvertFromSjis(std::string_view text, KanjiCode code, Uncarried mode)
{
    if (code == KanjiCode::Utf8)
        return mode == Uncarried::Replace ? ToUtf8ForPost(text) : SjisToUtf8(text);
    if (code != KanjiCode::Jis && code != KanjiCode::Euc) {
        const bool clean = mode == Uncarried::Replace ? FindUncarried(text, code) == std::string_view::npos
                                                      : std::none_of(text.begin(), text.end(),
                                                                     [](char c) { return IsUserAreaLead(c); });
        if (clean)
            return std::string(text);
        std::string out;
        for (size_t i = 0; i < text.size();) {
            const size_t n = CharacterLength(text, i);
            const bool bad = n == 4 || (mode == Uncarried::Replace &&
                                        FindUncarried(text.substr(i, n), code) != std::string_view::npos);
            out += bad ? std::string_view(kGeta) : text.substr(i, n);
            i += n;
        }
        return out;
    }
    std::string out;
    out.reserve(text.size() + text.size() / 4 + 8);
    bool shifted = false;
    for (size_t i = 0; i < text.size();) {
        uint16_t jis = NextJis(text, i, mode);
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
