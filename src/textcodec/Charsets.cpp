#include "textcodec/Charsets.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "textcodec/ConvertToSjis.h"

namespace textcodec {

namespace {

constexpr unsigned kTrails = 188;          // 0x40-0x7E, 0x80-0xFC
constexpr unsigned kHalf = 5 * kTrails;    // codes in leads 0xF0-0xF4
constexpr char32_t kEscapeLimit = char32_t(kHalf) * kHalf;
constexpr char32_t kGetaCode = 0x3013;

unsigned TrailIndex(unsigned char t) { return t < 0x7F ? t - 0x40 : t - 0x41; }
bool IsTrail(unsigned char t) { return t >= 0x40 && t <= 0xFC && t != 0x7F; }
bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

void AppendUserCode(std::string& out, unsigned index)
{
    const unsigned t = index % kTrails;
    out += static_cast<char>(0xF0 + index / kTrails);
    out += static_cast<char>(t < 63 ? 0x40 + t : 0x41 + t);
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// One UTF-8 character at s[i]; 0xFFFFFFFF for an invalid byte (one byte used).
char32_t NextUtf8(std::string_view s, size_t& i)
{
    const unsigned char b = s[i];
    if (b < 0x80) {
        ++i;
        return b;
    }
    int n = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
    if (b > 0xF4)
        n = -1;
    char32_t c = n == 3 ? b & 0x07 : n == 2 ? b & 0x0F : b & 0x1F;
    if (n < 0 || i + n >= s.size()) {
        ++i;
        return 0xFFFFFFFF;
    }
    for (int k = 1; k <= n; ++k) {
        const unsigned char t = s[i + k];
        if ((t & 0xC0) != 0x80) {
            ++i;
            return 0xFFFFFFFF;
        }
        c = c << 6 | (t & 0x3F);
    }
    const char32_t minimum = n == 1 ? 0x80 : n == 2 ? 0x800 : 0x10000;
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return 0xFFFFFFFF;
    }
    i += n + 1;
    return c;
}

// The CP932 mapping, read once from iconv.
struct Tables {
    std::vector<char32_t> toUnicode = std::vector<char32_t>(0x10000, 0);
    std::vector<uint16_t> fromUnicode = std::vector<uint16_t>(0x10000, 0);

    Tables()
    {
        iconv_t cd = iconv_open("UTF-8", "CP932");
        if (cd == reinterpret_cast<iconv_t>(-1))
            return;
        auto decode = [&](unsigned code) -> char32_t {
            char in[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
            const bool single = code < 0x100;
            char outBuf[8];
            char* ip = single ? in + 1 : in;
            size_t il = single ? 1 : 2;
            char* op = outBuf;
            size_t ol = sizeof outBuf;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &ip, &il, &op, &ol) == size_t(-1) || il != 0)
                return 0;
            std::string_view u(outBuf, size_t(op - outBuf));
            size_t i = 0;
            const char32_t c = NextUtf8(u, i);
            return c == 0xFFFFFFFF || i != u.size() ? 0 : c;
        };
        for (unsigned b = 0xA1; b <= 0xDF; ++b)
            Set(b, decode(b));
        // Of duplicate codes the first here wins: NEC row 13 and the
        // IBM extensions at 0xFA-0xFC before their NEC-selected copies.
        std::vector<unsigned> leads;
        for (unsigned l = 0x81; l <= 0x9F; ++l)
            leads.push_back(l);
        for (unsigned l = 0xE0; l <= 0xEC; ++l)
            leads.push_back(l);
        for (unsigned l : {0xFAu, 0xFBu, 0xFCu, 0xEDu, 0xEEu, 0xEFu})
            leads.push_back(l);
        for (unsigned l : leads)
            for (unsigned t = 0x40; t <= 0xFC; ++t)
                if (t != 0x7F)
                    Set(l << 8 | t, decode(l << 8 | t));
        iconv_close(cd);
        // Unicode forms other converters give the JIS characters.
        const std::pair<char32_t, uint16_t> extra[] = {{0x301C, 0x8160}, {0x2016, 0x8161}, {0x2212, 0x817C},
                                                       {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00AC, 0x81CA},
                                                       {0x2014, 0x815C}, {0x00A5, 0x818F}, {0x203E, 0x8150}};
        for (const auto& [u, code] : extra)
            if (!fromUnicode[u])
                fromUnicode[u] = code;
    }
    void Set(unsigned code, char32_t u)
    {
        if (!u)
            return;
        toUnicode[code] = u;
        if (u < 0x10000 && !fromUnicode[u])
            fromUnicode[u] = static_cast<uint16_t>(code);
    }
};

const Tables& Cp932()
{
    static const Tables tables;
    return tables;
}

std::string Lower(std::string_view s)
{
    std::string out;
    for (char c : s)
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    return out;
}

std::string Upper(std::string_view s)
{
    std::string out;
    for (char c : s)
        out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    return out;
}

// Bytes through an open iconv to UTF-8, appended to out; invalid bytes
// become GETA MARK. A character cut short at the end also does, and resets
// the converter so the next piece starts afresh.
void IconvAppend(iconv_t cd, std::string_view bytes, std::string& out, std::string& buffer)
{
    if (buffer.size() < 256)
        buffer.resize(4096);
    char* ip = const_cast<char*>(bytes.data());
    size_t il = bytes.size();
    while (il > 0) {
        char* op = buffer.data();
        size_t ol = buffer.size();
        const size_t r = iconv(cd, &ip, &il, &op, &ol);
        out.append(buffer.data(), size_t(op - buffer.data()));
        if (r != size_t(-1))
            break;
        if (errno == E2BIG)
            continue;
        AppendUtf8(out, kGetaCode);
        if (errno == EINVAL) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            break;
        }
        ++ip;
        --il;
    }
}

// Any charset to UTF-8 through iconv; invalid bytes become GETA MARK.
std::optional<std::string> IconvToUtf8(std::string_view bytes, const std::string& charset)
{
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out, buffer;
    IconvAppend(cd, bytes, out, buffer);
    char* op = buffer.data();
    size_t ol = buffer.size();
    iconv(cd, nullptr, nullptr, &op, &ol);
    out.append(buffer.data(), size_t(op - buffer.data()));
    iconv_close(cd);
    return out;
}

int JapaneseCode(const std::string& canonical)
{
    return canonical == "SHIFT_JIS" ? TC_SJIS : canonical == "EUC-JP" ? TC_EUC : canonical == "ISO-2022-JP" ? TC_JIS : 0;
}

std::string JapaneseToSjis(std::string_view bytes, int code)
{
    std::string out;
    if (!ConvertToSjis(out, bytes, bytes.size() + 16, code))
        return std::string(bytes);
    return out;
}

} // namespace

std::string CanonicalCharset(std::string_view name)
{
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t' || name.front() == '"'))
        name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t' || name.back() == '"'))
        name.remove_suffix(1);
    name = name.substr(0, name.find('*'));
    if (name.empty() || name.size() > 64)
        return {};
    static const std::map<std::string, std::string, std::less<>> kAliases = {
        {"shift_jis", "SHIFT_JIS"},  {"shift-jis", "SHIFT_JIS"},     {"sjis", "SHIFT_JIS"},
        {"x-sjis", "SHIFT_JIS"},     {"ms_kanji", "SHIFT_JIS"},      {"csshiftjis", "SHIFT_JIS"},
        {"cp932", "SHIFT_JIS"},      {"windows-31j", "SHIFT_JIS"},   {"ms932", "SHIFT_JIS"},
        {"x-ms-cp932", "SHIFT_JIS"}, {"euc-jp", "EUC-JP"},           {"eucjp", "EUC-JP"},
        {"x-euc-jp", "EUC-JP"},      {"ujis", "EUC-JP"},             {"cseucpkdfmtjapanese", "EUC-JP"},
        {"iso-2022-jp", "ISO-2022-JP"}, {"csiso2022jp", "ISO-2022-JP"}, {"utf-8", "UTF-8"},
        {"utf8", "UTF-8"},           {"us-ascii", "US-ASCII"},       {"ascii", "US-ASCII"},
        {"ansi_x3.4-1968", "US-ASCII"}, {"euc-kr", "CP949"},         {"ks_c_5601-1987", "CP949"},
        {"ks_c_5601", "CP949"},      {"gb2312", "GB18030"},          {"gbk", "GB18030"},
        {"x-gbk", "GB18030"},        {"cp936", "GB18030"},           {"csgb2312", "GB18030"},
    };
    const std::string key = Lower(name);
    if (auto it = kAliases.find(key); it != kAliases.end())
        return it->second;
    for (char c : key)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == ':'))
            return {};
    static std::mutex mutex;
    static std::map<std::string, bool, std::less<>> known;
    const std::string upper = Upper(key);
    std::lock_guard lock(mutex);
    auto it = known.find(upper);
    if (it == known.end()) {
        iconv_t cd = iconv_open("UTF-8", upper.c_str());
        const bool ok = cd != reinterpret_cast<iconv_t>(-1);
        if (ok)
            iconv_close(cd);
        if (known.size() < 256)
            it = known.emplace(upper, ok).first;
        else
            return ok ? upper : std::string();
    }
    return it->second ? upper : std::string();
}

std::optional<std::string> CharsetToSjis(std::string_view bytes, std::string_view charset)
{
    const std::string name = CanonicalCharset(charset);
    if (name.empty())
        return std::nullopt;
    if (name == "US-ASCII")
        return std::string(bytes);
    if (name == "UTF-8")
        return Utf8ToSjis(bytes);
    if (const int code = JapaneseCode(name))
        return JapaneseToSjis(bytes, code);
    auto utf8 = IconvToUtf8(bytes, name);
    if (!utf8)
        return std::nullopt;
    return Utf8ToSjis(*utf8);
}

CharsetReader::CharsetReader(std::string_view charset)
{
    const std::string name = CanonicalCharset(charset);
    if (name.empty())
        return;
    if (name == "US-ASCII") {
        kind_ = Kind::Ascii;
    } else if (name == "UTF-8") {
        kind_ = Kind::Utf8;
    } else if ((japaneseCode_ = JapaneseCode(name)) != 0) {
        kind_ = Kind::Japanese;
    } else if (iconv_t cd = iconv_open("UTF-8", name.c_str()); cd != reinterpret_cast<iconv_t>(-1)) {
        iconv_ = cd;
        kind_ = Kind::Iconv;
    }
}

CharsetReader::~CharsetReader()
{
    if (iconv_)
        iconv_close(static_cast<iconv_t>(iconv_));
}

std::string CharsetReader::ToSjis(std::string_view bytes)
{
    switch (kind_) {
    case Kind::Utf8:
        return Utf8ToSjis(bytes);
    case Kind::Japanese:
        return JapaneseToSjis(bytes, japaneseCode_);
    case Kind::Iconv: {
        std::string utf8;
        IconvAppend(static_cast<iconv_t>(iconv_), bytes, utf8, buffer_);
        return Utf8ToSjis(utf8);
    }
    default:
        return std::string(bytes);
    }
}

bool IsMultibyteUtf8(std::string_view text)
{
    bool multibyte = false;
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        if (NextUtf8(text, i) == 0xFFFFFFFF)
            return false;
        multibyte = true;
    }
    return multibyte;
}

std::string Utf8ToSjis(std::string_view utf8)
{
    const Tables& t = Cp932();
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            out += utf8[i++];
            continue;
        }
        const char32_t c = NextUtf8(utf8, i);
        const uint16_t code = c < 0x10000 && !(c >= 0xE000 && c <= 0xF8FF) ? t.fromUnicode[c] : 0;
        if (code >= 0x100) {
            out += static_cast<char>(code >> 8);
            out += static_cast<char>(code & 0xFF);
        } else if (code) {
            out += static_cast<char>(code);
        } else if (c < kEscapeLimit) {
            AppendUserCode(out, unsigned(c / kHalf));
            AppendUserCode(out, kHalf + unsigned(c % kHalf));
        } else {
            out += kGeta;
        }
    }
    return out;
}

char32_t EscapedCodePoint(std::string_view text, size_t i)
{
    if (i + 4 > text.size())
        return 0;
    const auto b = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
    if (!IsUserAreaLead(b(0)) || !IsUserAreaLead(b(2)) || !IsTrail(b(1)) || !IsTrail(b(3)))
        return 0;
    const unsigned hi = (b(0) - 0xF0) * kTrails + TrailIndex(b(1));
    const unsigned lo = (b(2) - 0xF0) * kTrails + TrailIndex(b(3));
    if (hi >= kHalf || lo < kHalf)
        return 0;
    return char32_t(hi) * kHalf + (lo - kHalf);
}

std::string SjisToUtf8(std::string_view sjis, char32_t replacement)
{
    const Tables& t = Cp932();
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    for (size_t i = 0; i < sjis.size();) {
        const unsigned char b = sjis[i];
        if (b < 0x80) {
            out += sjis[i++];
            continue;
        }
        if (IsLead(b) && i + 1 < sjis.size() && IsTrail(static_cast<unsigned char>(sjis[i + 1]))) {
            if (IsUserAreaLead(b)) {
                const char32_t c = EscapedCodePoint(sjis, i);
                AppendUtf8(out, c ? c : replacement);
                i += c ? 4 : 2;
                continue;
            }
            const char32_t c = t.toUnicode[unsigned(b) << 8 | static_cast<unsigned char>(sjis[i + 1])];
            AppendUtf8(out, c ? c : replacement);
            i += 2;
            continue;
        }
        const char32_t c = t.toUnicode[b];
        AppendUtf8(out, c ? c : replacement);
        ++i;
    }
    return out;
}

} // namespace textcodec
