#include "textcodec/TextCode.h"

#include "textcodec/Charsets.h"
#include "textcodec/ConvertToSjis.h"
#include "textcodec/JapaneseCodes.h"

namespace textcodec {

namespace {

using Byte = unsigned char;

bool IsJisEscape(std::string_view s, std::size_t i)
{
    const std::string_view rest = s.substr(i + 1, 3);
    return rest.starts_with("$B") || rest.starts_with("$@") || rest.starts_with("(J") || rest.starts_with("(I") ||
           rest.starts_with("$(D") || rest.starts_with("$(Q");
}

// Weight of an EUC-JP double-byte character by its row: kana and
// punctuation are the bulk of Japanese prose, the user rows almost never.
int EucWeight(Byte row)
{
    if (row == 0xA4 || row == 0xA5)
        return 4;
    if (row == 0xA1)
        return 3;
    if (row >= 0xB0 && row <= 0xCF)
        return 2;
    if ((row >= 0xA2 && row <= 0xA8) || (row >= 0xD0 && row <= 0xF4))
        return 1;
    return -2; // rows 9-15 and 85-94 are empty or private
}

// The same for Shift_JIS by lead byte (and second byte for the kana rows).
int SjisWeight(Byte lead, Byte second)
{
    if ((lead == 0x82 && second >= 0x9F) || (lead == 0x83 && second <= 0x96))
        return 4;
    if (lead == 0x81)
        return 3;
    if (lead >= 0x88 && lead <= 0x98)
        return 2;
    if (lead == 0x82 || lead == 0x83 || lead == 0x84 || lead == 0x87 || (lead >= 0x99 && lead <= 0xEA) ||
        (lead >= 0xFA && lead <= 0xFC))
        return 1;
    return -2; // the empty rows and the user area
}

void ScanEuc(std::string_view s, long long& bad, long long& score)
{
    for (std::size_t i = 0; i < s.size();) {
        const Byte b = static_cast<Byte>(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        const Byte b2 = i + 1 < s.size() ? static_cast<Byte>(s[i + 1]) : 0;
        if (b >= 0xA1 && b <= 0xFE && b2 >= 0xA1 && b2 <= 0xFE) {
            score += EucWeight(b);
            i += 2;
        } else if (b == 0x8E && b2 >= 0xA1 && b2 <= 0xDF) {
            i += 2; // half-width kana: possible, no evidence either way
        } else if (b == 0x8F && b2 >= 0xA1 && b2 <= 0xFE && i + 2 < s.size() &&
                   static_cast<Byte>(s[i + 2]) >= 0xA1 && static_cast<Byte>(s[i + 2]) <= 0xFE) {
            i += 3;
        } else {
            ++bad;
            ++i;
        }
    }
}

void ScanSjis(std::string_view s, long long& bad, long long& score)
{
    for (std::size_t i = 0; i < s.size();) {
        const Byte b = static_cast<Byte>(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        if (b >= 0xA1 && b <= 0xDF) {
            ++i; // half-width kana are rare in prose, and every EUC byte reads as one
            continue;
        }
        const Byte b2 = i + 1 < s.size() ? static_cast<Byte>(s[i + 1]) : 0;
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        if (lead && ((b2 >= 0x40 && b2 <= 0x7E) || (b2 >= 0x80 && b2 <= 0xFC))) {
            score += SjisWeight(b, b2);
            i += 2;
        } else {
            ++bad;
            ++i;
        }
    }
}

// A character CP932 lacks (kept as an escape pair): short EUC-JP text can
// pass for UTF-8, but then mostly as characters no Japanese text holds.
bool HasForeignCharacter(std::string_view sjis)
{
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        const Byte b = static_cast<Byte>(sjis[i]);
        if (IsUserAreaLead(b))
            return true;
        if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC))
            ++i;
    }
    return false;
}

// The ISO-2022-JP headers are written in (ASCII and JIS X 0208 under ESC $ B,
// ESC $ @ and ESC ( B) read in one pass, as the full converter reads it; false
// for anything else, which the converter reads instead.
bool PlainJisToSjis(std::string_view line, std::string& out)
{
    // Never longer than the line: a character keeps its size, escapes go.
    out.resize(line.size());
    std::size_t n = 0;
    bool kanji = false;
    for (std::size_t i = 0; i < line.size();) {
        const Byte b = static_cast<Byte>(line[i]);
        if (b == 0x1B) {
            const std::string_view esc = line.substr(i + 1, 2);
            if (esc == "$B" || esc == "$@")
                kanji = true;
            else if (esc == "(B")
                kanji = false;
            else
                return false;
            i += 3;
        } else if (b < 0x20 || b >= 0x7F) {
            return false;
        } else if (!kanji) {
            out[n++] = static_cast<char>(b);
            ++i;
        } else {
            const Byte c = i + 1 < line.size() ? static_cast<Byte>(line[i + 1]) : 0;
            if (b < 0x21 || c < 0x21 || c > 0x7E)
                return false;
            const std::uint16_t sjis = JisToSjis(static_cast<std::uint16_t>(b << 8 | c));
            out[n++] = static_cast<char>(sjis >> 8);
            out[n++] = static_cast<char>(sjis & 0xFF);
            i += 2;
        }
    }
    out.resize(n);
    return true;
}

} // namespace

void TextCodeScan::Add(std::string_view piece)
{
    long long high = 0;
    for (std::size_t i = 0; i < piece.size(); ++i) {
        const Byte b = static_cast<Byte>(piece[i]);
        if (b >= 0x80)
            ++high;
        else if (b == 0x1B && !escape_)
            escape_ = IsJisEscape(piece, i);
    }
    if (high == 0)
        return;
    high_ += high;
    utf8Valid_ = utf8Valid_ && IsMultibyteUtf8(piece);
    if (utf8Valid_ && !utf8Foreign_)
        utf8Foreign_ = HasForeignCharacter(Utf8ToSjis(piece));
    ScanEuc(piece, eucBad_, eucScore_);
    ScanSjis(piece, sjisBad_, sjisScore_);
}

TextCode TextCodeScan::Code() const
{
    if (escape_)
        return TextCode::Jis;
    if (high_ == 0)
        return TextCode::Ascii;
    if (utf8Valid_ && !(utf8Foreign_ && eucBad_ == 0))
        return TextCode::Utf8;
    // A reading with broken pairs loses to one without; with both broken the
    // text is mixed unless one reading breaks far more rarely.
    const long long fewer = std::min(eucBad_, sjisBad_);
    if (fewer > 0 && (fewer * 64 > high_ || fewer * 4 > std::max(eucBad_, sjisBad_)))
        return TextCode::Undecided;
    if (eucBad_ != sjisBad_)
        return eucBad_ < sjisBad_ ? TextCode::EucJp : TextCode::ShiftJis;
    if (eucScore_ == sjisScore_)
        return TextCode::Undecided;
    return eucScore_ > sjisScore_ ? TextCode::EucJp : TextCode::ShiftJis;
}

TextCode DetectTextCode(std::string_view text)
{
    TextCodeScan scan;
    scan.Add(text);
    return scan.Code();
}

std::string LineToSjis(std::string_view line, TextCode code)
{
    int input = TC_AUTO_SJIS;
    switch (code) {
    case TextCode::Utf8:
        return Utf8ToSjis(line);
    case TextCode::EucJp:
        input = TC_EUC;
        break;
    case TextCode::ShiftJis:
        input = TC_SJIS;
        break;
    default:
        break;
    }
    std::string out;
    if (code == TextCode::Jis && PlainJisToSjis(line, out))
        return out;
    return ConvertToSjis(out, line, line.size() + 16, input) ? out : std::string(line);
}

} // namespace textcodec
