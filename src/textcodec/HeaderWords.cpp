#include "textcodec/HeaderWords.h"

#include <algorithm>
#include <array>

#include "textcodec/Charsets.h"
#include "textcodec/ConvertFromSjis.h"
#include "textcodec/ConvertToSjis.h"
#include "textcodec/TextCode.h"

#include "textcodec/Base64Alphabet.h"

namespace textcodec {

using detail::kBase64Alphabet;
using detail::kBase64Values;

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Offset of needle in text from start, ignoring case; npos when absent.
size_t FindNoCase(std::string_view text, std::string_view needle, size_t start)
{
    if (text.size() < needle.size())
        return std::string_view::npos;
    for (size_t i = start; i + needle.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && Upper(text[i + k]) == needle[k])
            ++k;
        if (k == needle.size())
            return i;
    }
    return std::string_view::npos;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Encoded-word Base64: a byte built from a character outside the alphabet
// (a pad "=" included) is left out.
void DecodeWordBase64(std::string_view b64, std::string& out)
{
    size_t len = b64.size() & ~size_t(3);
    size_t n = out.size();
    out.resize(n + len / 4 * 3);
    for (size_t i = 0; i < len; i += 4) {
        uint8_t v[4];
        for (int k = 0; k < 4; ++k)
            v[k] = kBase64Values.v[static_cast<unsigned char>(b64[i + k])];
        if (v[0] != 0xFF && v[1] != 0xFF)
            out[n++] = static_cast<char>(v[0] << 2 | v[1] >> 4);
        if (v[1] != 0xFF && v[2] != 0xFF)
            out[n++] = static_cast<char>((v[1] & 0x0F) << 4 | v[2] >> 2);
        if (v[2] != 0xFF && v[3] != 0xFF)
            out[n++] = static_cast<char>((v[2] & 0x03) << 6 | v[3]);
    }
    out.resize(n);
}

void EncodeGroup(std::string_view bytes, std::string& out)
{
    for (size_t i = 0; i < bytes.size(); i += 3) {
        size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
        if (n > 1) v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        if (n > 2) v |= static_cast<uint8_t>(bytes[i + 2]);
        out += kBase64Alphabet[v >> 18 & 63];
        out += kBase64Alphabet[v >> 12 & 63];
        out += n > 1 ? kBase64Alphabet[v >> 6 & 63] : '=';
        out += n > 2 ? kBase64Alphabet[v & 63] : '=';
    }
}


// One encoded word found by WordScanner.
struct Word {
    size_t begin = 0, end = 0;
    std::string_view charset, payload;
    char encoding = 'B';
    bool legacy = false; // exactly ISO-2022-JP, read the way it always was
    bool closed = true;
};

// Finds encoded words left to right. The next "?=" and the next line end are
// remembered, so a value full of words (or of broken ones) is read in one pass.
class WordScanner {
public:
    explicit WordScanner(std::string_view text) : text_(text) {}

    bool Next(size_t from, Word& w)
    {
        for (size_t at = text_.find("=?", from); at != std::string_view::npos; at = text_.find("=?", at + 1))
            if (Parse(at, w))
                return true;
        return false;
    }

private:
    size_t Cached(size_t& cache, size_t start, std::string_view what, bool any)
    {
        if (cache == kUnknown || (cache != std::string_view::npos && cache < start)) {
            if (any) { // one search per character: find_first_of searches the set at every byte
                cache = std::string_view::npos;
                for (char c : what)
                    cache = std::min(cache, text_.find(c, start));
            } else {
                cache = text_.find(what, start);
            }
        }
        return cache;
    }

    bool Parse(size_t at, Word& w)
    {
        size_t i = at + 2;
        const size_t limit = std::min(text_.size(), i + 64);
        while (i < limit && text_[i] != '?' && text_[i] > ' ' && text_[i] < 0x7F)
            ++i;
        if (i == at + 2 || i + 2 >= text_.size() || text_[i] != '?' || text_[i + 2] != '?')
            return false;
        const char enc = Upper(text_[i + 1]);
        if (enc != 'B' && enc != 'Q')
            return false;
        w.begin = at;
        w.charset = text_.substr(at + 2, i - at - 2);
        w.encoding = enc;
        w.legacy = w.charset.size() == 11 && FindNoCase(w.charset, "ISO-2022-JP", 0) == 0;
        const size_t start = i + 3;
        const size_t close = Cached(close_, start, "?=", false);
        const size_t lineEnd = Cached(lineEnd_, start, "\r\n", true);
        if (w.legacy && enc == 'B') {
            w.closed = close != std::string_view::npos;
        } else {
            w.closed = close != std::string_view::npos && close < lineEnd;
            if (!w.closed && w.legacy) { // a Q word runs to the line end
                w.payload = text_.substr(start, std::min(lineEnd, text_.size()) - start);
                w.end = start + w.payload.size();
                w.closed = true;
                return true;
            }
        }
        if (!w.closed) {
            w.end = start;
            return true;
        }
        w.payload = text_.substr(start, close - start);
        w.end = close + 2;
        return true;
    }

    static constexpr size_t kUnknown = std::string_view::npos - 1;
    std::string_view text_;
    size_t close_ = kUnknown, lineEnd_ = kUnknown;
};

void DecodeQ(std::string_view q, std::string& out)
{
    for (size_t i = 0; i < q.size(); ++i) {
        const char c = q[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < q.size() && HexValue(q[i + 1]) >= 0 && HexValue(q[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(q[i + 1]) << 4 | HexValue(q[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
}

// Base64 of a word in another charset, read as leniently as mail readers do:
// characters outside the alphabet skipped, a missing pad supplied.
void DecodeLenientBase64(std::string_view b64, std::string& out)
{
    uint32_t bits = 0;
    int count = 0;
    for (char c : b64) {
        if (c == '=')
            break;
        const uint8_t v = kBase64Values.v[static_cast<unsigned char>(c)];
        if (v == 0xFF)
            continue;
        bits = bits << 6 | v;
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>(bits >> count & 0xFF);
        }
    }
}

void DecodePayload(const Word& w, std::string& out)
{
    if (w.encoding == 'Q')
        DecodeQ(w.payload, out);
    else if (w.legacy)
        DecodeWordBase64(w.payload, out);
    else
        DecodeLenientBase64(w.payload, out);
}

} // namespace

std::string MimeHeaderDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    WordScanner scan(text);
    size_t p = 0;
    for (Word w; scan.Next(p, w);) {
        if (!w.legacy) {
            out.append(text.substr(p, w.begin + 1 - p));
            p = w.begin + 1;
            continue;
        }
        if (!w.closed)
            return std::string(text); // an unfinished word leaves the value alone
        out.append(text.substr(p, w.begin - p));
        DecodePayload(w, out);
        p = w.end;
    }
    out.append(text.substr(p));
    return out;
}

bool HasOtherCharsetWords(std::string_view text)
{
    WordScanner scan(text);
    size_t p = 0;
    for (Word w; scan.Next(p, w); p = w.end) {
        if (!w.legacy)
            return true;
    }
    return false;
}

std::string DecodeHeaderToSjis(std::string_view text)
{
    std::string out, legacy, run, runCharset;
    auto flushLegacy = [&] {
        // Raw 8-bit text is read in the code all of its bytes point to
        // (UTF-8 as many clients send it today, EUC-JP, Shift_JIS); text
        // with JIS escapes keeps the Japanese rule.
        if (legacy.empty())
            return;
        if (out.empty())
            out = LineToSjis(legacy, DetectTextCode(legacy));
        else
            out += LineToSjis(legacy, DetectTextCode(legacy));
        legacy.clear();
    };
    auto flushRun = [&] {
        if (runCharset.empty())
            return;
        flushLegacy();
        out += CharsetToSjis(run, runCharset).value_or(run);
        run.clear();
        runCharset.clear();
    };
    WordScanner scan(text);
    size_t p = 0;
    bool prevWord = false;
    for (Word w; scan.Next(p, w);) {
        std::string charset = w.legacy ? std::string() : CanonicalCharset(w.charset);
        if (w.legacy && !w.closed) {
            out.clear();
            legacy.assign(text);
            flushLegacy();
            return out;
        }
        if (!w.legacy && (charset.empty() || !w.closed)) {
            flushRun();
            legacy.append(text.substr(p, w.begin + 1 - p));
            p = w.begin + 1;
            prevWord = false;
            continue;
        }
        std::string_view between = text.substr(p, w.begin - p);
        // Blanks between two words vanish (RFC 2047 section 6.2).
        const bool dropGap = prevWord && between.find_first_not_of(" \t\r\n") == std::string_view::npos;
        if (!w.legacy && dropGap && charset == runCharset) {
            DecodePayload(w, run);
        } else {
            flushRun();
            if (!dropGap)
                legacy.append(between);
            if (w.legacy) {
                DecodePayload(w, legacy);
            } else {
                runCharset = charset;
                DecodePayload(w, run);
            }
        }
        prevWord = true;
        p = w.end;
    }
    flushRun();
    legacy.append(text.substr(p));
    flushLegacy();
    return out;
}

std::string DecodeHeaderWordsAs(std::string_view sjis, std::string_view charset)
{
    std::string out, run;
    auto flushRun = [&] {
        if (!run.empty())
            out += CharsetToSjis(run, charset).value_or(run);
        run.clear();
    };
    WordScanner scan(sjis);
    size_t p = 0;
    bool prevWord = false;
    for (Word w; scan.Next(p, w);) {
        if (!w.closed) {
            flushRun();
            out.append(sjis.substr(p, w.begin + 1 - p));
            p = w.begin + 1;
            prevWord = false;
            continue;
        }
        const std::string_view between = sjis.substr(p, w.begin - p);
        // Adjacent words are one text in the one charset: a character may be split between them.
        if (!(prevWord && between.find_first_not_of(" \t\r\n") == std::string_view::npos)) {
            flushRun();
            out.append(between);
        }
        if (w.encoding == 'Q')
            DecodeQ(w.payload, run);
        else
            DecodeLenientBase64(w.payload, run);
        prevWord = true;
        p = w.end;
    }
    flushRun();
    out.append(sjis.substr(p));
    return out;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A word that must be encoded: 8-bit text, or text a reader would take for
// an encoded word.
bool IsHot(std::string_view word)
{
    return word.find("=?") != std::string_view::npos ||
           std::any_of(word.begin(), word.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The run as B words joined by blanks, each holding whole characters.
void EncodeRun(std::string_view run, KanjiCode code, std::string& out)
{
    const bool utf8 = code == KanjiCode::Utf8;
    const std::string_view prefix = utf8 ? "=?UTF-8?B?" : "=?ISO-2022-JP?B?";
    // 75 characters: the prefix, "?=" and the Base64 of at most this many bytes.
    const size_t maxBytes = (75 - prefix.size() - 2) / 4 * 3;
    const KanjiCode target = utf8 ? KanjiCode::Utf8 : KanjiCode::Jis;
    auto convert = [&](std::string_view piece) { return ConvertFromSjis(piece, target, Uncarried::Replace); };
    bool first = true;
    for (size_t i = 0; i < run.size();) {
        size_t end = i + CharacterLength(run, i);
        std::string bytes = convert(run.substr(i, end - i));
        while (end < run.size()) {
            const size_t next = end + CharacterLength(run, end);
            std::string longer = convert(run.substr(i, next - i));
            if (longer.size() > maxBytes)
                break;
            bytes = std::move(longer);
            end = next;
        }
        if (!first)
            out += ' ';
        first = false;
        out += prefix;
        EncodeGroup(bytes, out);
        out += "?=";
        i = end;
    }
}

} // namespace

std::string EncodeHeaderValue(std::string_view s, KanjiCode code)
{
    if (!IsHot(s))
        return std::string(s);
    std::string out;
    out.reserve(s.size() * 2);
    auto wordEnd = [&](size_t from) {
        while (from < s.size() && !IsBlank(s[from]))
            ++from;
        return from;
    };
    for (size_t i = 0; i < s.size();) {
        if (IsBlank(s[i])) {
            out += s[i++];
            continue;
        }
        size_t end = wordEnd(i);
        if (!IsHot(s.substr(i, end - i))) {
            out.append(s.substr(i, end - i));
            i = end;
            continue;
        }
        // The run of such words, the blanks between them included.
        for (size_t next = end;;) {
            while (next < s.size() && IsBlank(s[next]))
                ++next;
            if (next == s.size())
                break;
            const size_t nextEnd = wordEnd(next);
            if (!IsHot(s.substr(next, nextEnd - next)))
                break;
            end = nextEnd;
            next = nextEnd;
        }
        EncodeRun(s.substr(i, end - i), code, out);
        i = end;
    }
    return out;
}

std::optional<std::string> FoldHeaderLine(std::string_view line)
{
    constexpr size_t kSoft = 78, kHard = 998;
    // Never fold between the name and the start of its value.
    size_t i = line.find(':');
    i = i == std::string_view::npos ? 0 : i + 1;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    std::string out;
    size_t lineStart = 0; // in line
    size_t lastBlank = std::string_view::npos;
    size_t written = 0;
    auto breakAt = [&](size_t at) {
        out.append(line.substr(written, at - written));
        out += "\r\n";
        written = at;
        lineStart = at;
        lastBlank = std::string_view::npos;
    };
    // Folds go before the first blank of a run, so no line is only blanks.
    for (size_t p = i; p <= line.size(); ++p) {
        const bool atEnd = p == line.size();
        if (!atEnd && !(IsBlank(line[p]) && p > 0 && !IsBlank(line[p - 1])))
            continue;
        if (p - lineStart > kSoft && lastBlank != std::string_view::npos)
            breakAt(lastBlank);
        if (!atEnd)
            lastBlank = p;
    }
    out.append(line.substr(written));
    for (size_t from = 0; from <= out.size();) {
        const size_t to = std::min(out.find("\r\n", from), out.size());
        if (to - from > kHard)
            return std::nullopt;
        from = to + 2;
    }
    return out;
}

std::string MimeHeaderEncode(std::string_view s)
{
    std::string sjis;
    if (!ConvertToSjis(sjis, s, s.size() * 2 + 16, TC_JIS))
        sjis.assign(s);
    const std::string encoded = EncodeHeaderValue(sjis, KanjiCode::Jis);
    return FoldHeaderLine(encoded).value_or(encoded);
}

std::string EncodeUtf8HeaderWords(std::string_view s)
{
    constexpr size_t kMaxBytes = 45; // 60 Base64 characters: a 72-character word
    constexpr size_t kFoldAt = 76;
    auto hot = [](std::string_view word) {
        return word.find("=?") != std::string_view::npos ||
               std::any_of(word.begin(), word.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    };
    if (!hot(s))
        return std::string(s);
    std::string out;
    size_t column = 0;
    // A fold goes before the blanks ahead of a word that would pass the column.
    auto put = [&](std::string_view blanks, std::string_view piece) {
        if (column > 0 && !blanks.empty() && column + blanks.size() + piece.size() > kFoldAt) {
            out += "\r\n";
            column = 0;
        }
        out += blanks;
        out += piece;
        column += blanks.size() + piece.size();
    };
    auto wordEnd = [&](size_t from) { return std::min(s.find(' ', from), s.size()); };
    for (size_t i = 0; i < s.size();) {
        const size_t start = std::min(s.find_first_not_of(' ', i), s.size());
        const std::string_view blanks = s.substr(i, start - i);
        if (start == s.size()) {
            out += blanks;
            break;
        }
        size_t end = wordEnd(start);
        if (!hot(s.substr(start, end - start))) {
            put(blanks, s.substr(start, end - start));
            i = end;
            continue;
        }
        // The run of such words, the blanks between them included.
        for (size_t next; (next = s.find_first_not_of(' ', end)) != std::string_view::npos &&
                          hot(s.substr(next, wordEnd(next) - next));)
            end = wordEnd(next);
        const std::string_view run = s.substr(start, end - start);
        for (size_t k = 0; k < run.size();) {
            size_t n = std::min(kMaxBytes, run.size() - k);
            while (n > 1 && k + n < run.size() && (static_cast<unsigned char>(run[k + n]) & 0xC0) == 0x80)
                --n; // never split a character
            std::string word = "=?UTF-8?B?";
            EncodeGroup(run.substr(k, n), word);
            word += "?=";
            put(k == 0 ? blanks : std::string_view(" "), word);
            k += n;
        }
        i = end;
    }
    return out;
}

void DecodeHeaderWords(std::string& dest, std::string_view source) { dest = MimeHeaderDecode(source); }
void EncodeHeaderWords(std::string& dest, std::string_view source) { dest = MimeHeaderEncode(source); }

} // namespace textcodec
