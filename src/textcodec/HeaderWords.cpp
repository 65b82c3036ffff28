#include "textcodec/HeaderWords.h"

#include <array>

#include "textcodec/Base64Alphabet.h"

namespace textcodec {

using detail::kBase64Alphabet;
using detail::kBase64Values;

namespace {

const std::string_view kBWord = "=?ISO-2022-JP?B?";
const std::string_view kQWord = "=?ISO-2022-JP?Q?";

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
    for (size_t i = 0; i < len; i += 4) {
        uint8_t v[4];
        for (int k = 0; k < 4; ++k)
            v[k] = kBase64Values.v[static_cast<unsigned char>(b64[i + k])];
        if (v[0] != 0xFF && v[1] != 0xFF)
            out += static_cast<char>(v[0] << 2 | v[1] >> 4);
        if (v[1] != 0xFF && v[2] != 0xFF)
            out += static_cast<char>((v[1] & 0x0F) << 4 | v[2] >> 2);
        if (v[2] != 0xFF && v[3] != 0xFF)
            out += static_cast<char>((v[2] & 0x03) << 6 | v[3]);
    }
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

} // namespace

std::string MimeHeaderDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    size_t p = 0;
    size_t q = std::string_view::npos;
    bool qKnown = false; // q is the first Q word at or after p
    while (p < text.size()) {
        size_t b = FindNoCase(text, kBWord, p);
        if (!qKnown || (q != std::string_view::npos && q < p)) {
            q = FindNoCase(text, kQWord, p);
            qKnown = true;
        }
        if (b == std::string_view::npos && q == std::string_view::npos) {
            out.append(text.substr(p));
            break;
        }
        if (b != std::string_view::npos && (q == std::string_view::npos || b < q)) {
            size_t start = b + kBWord.size();
            size_t close = text.find("?=", start);
            if (close == std::string_view::npos)
                return std::string(text); // an unfinished word leaves the value alone
            out.append(text.substr(p, b - p));
            DecodeWordBase64(text.substr(start, close - start), out);
            p = close + 2;
            continue;
        }
        // Q word (RFC 2047): ends at "?=", or at a CR or the end when unclosed.
        out.append(text.substr(p, q - p));
        size_t i = q + kQWord.size();
        for (; i < text.size(); ++i) {
            char c = text[i];
            if (c == '?' && i + 1 < text.size() && text[i + 1] == '=') {
                i += 2;
                break;
            }
            if (c == '\r' || c == '\n')
                break;
            if (c == '_') {
                out += ' ';
            } else if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                       HexValue(text[i + 2]) >= 0) {
                out += static_cast<char>(HexValue(text[i + 1]) << 4 | HexValue(text[i + 2]));
                i += 2;
            } else {
                out += c;
            }
        }
        p = i;
    }
    return out;
}

std::string MimeHeaderEncode(std::string_view s)
{
    static const std::array<std::string_view, 3> kIn = {"\x1B$B", "\x1B$@", ""};
    static const std::array<std::string_view, 3> kOut = {"\x1B(J", "\x1B(B", "\x1B(H"};
    const std::string_view kFold = "\r\n\t";

    std::string out;
    out.reserve(s.size() * 2 + 16);
    int column = 0;
    size_t i = 0;
    auto fold = [&] {
        out += kFold;
        column = 0;
    };
    while (i < s.size()) {
        if (s[i] != '\x1B') {
            out += s[i++];
            ++column;
            continue;
        }
        int in = -1;
        for (int k = 0; k < 3 && in < 0; ++k) {
            if (s.substr(i).starts_with(kIn[k])) {
                in = k;
            } else if (s.substr(i).starts_with(kOut[k])) {
                // A shift-out with no run open is plain text.
                out.append(kOut[k]);
                column += static_cast<int>(kOut[k].size());
                i += kOut[k].size();
                break;
            }
        }
        if (in < 0)
            continue;
        i += kIn[in].size();
        if (column > 42)
            fold();
        // The run: up to and including the first shift-out escape.
        size_t runEnd = s.size();
        for (size_t j = i; j < s.size(); ++j) {
            if (s[j] != '\x1B')
                continue;
            bool found = false;
            for (const auto& o : kOut)
                if (s.substr(j).starts_with(o)) {
                    runEnd = j + o.size();
                    found = true;
                    break;
                }
            if (found)
                break;
        }
        bool open = false;
        size_t consumed = 0;
        while (i < runEnd) {
            if (!open) {
                std::string_view rest = s.substr(i, runEnd - i);
                bool onlyShiftOut = false;
                for (const auto& o : kOut)
                    if (rest == o)
                        onlyShiftOut = true;
                if (onlyShiftOut) {
                    i = runEnd;
                    break;
                }
                out += kBWord;
                EncodeGroup(kIn[in], out);
                column += 20;
                open = true;
            }
            size_t n = runEnd - i < 3 ? runEnd - i : 3;
            std::string_view group = s.substr(i, n);
            EncodeGroup(group, out);
            column += 4;
            i += n;
            consumed += n;
            if (column > 42 && consumed % 2 == 0 && group.find('\x1B') == std::string_view::npos &&
                i < runEnd) {
                EncodeGroup(kOut[in], out);
                out += "?=";
                fold();
                open = false;
            }
        }
        if (open) {
            out += "?=";
            if (column > 42)
                fold();
            column += 2;
            if (column > 42)
                fold();
        }
    }
    if (!out.empty() && out.back() == '\t')
        out.pop_back();
    if (out.size() >= 2 && out.ends_with("\r\n"))
        out.resize(out.size() - 2);
    return out;
}

void DecodeHeaderWords(std::string& dest, std::string_view source) { dest = MimeHeaderDecode(source); }
void EncodeHeaderWords(std::string& dest, std::string_view source) { dest = MimeHeaderEncode(source); }

} // namespace textcodec
