#include "textcodec/Base64Codec.h"

#include <cstdint>
#include <cstring>

#include "textcodec/Base64Alphabet.h"

namespace textcodec {

using namespace detail;

namespace {

// Each character's value already shifted to its place in a group of four;
// characters outside the alphabet count as zero.
struct DecodeTables {
    uint32_t d0[256], d1[256], d2[256], d3[256];
    DecodeTables()
    {
        for (int c = 0; c < 256; ++c) {
            uint32_t v = kBase64Values.v[c] == 0xFF ? 0 : kBase64Values.v[c];
            d0[c] = v << 18;
            d1[c] = v << 12;
            d2[c] = v << 6;
            d3[c] = v;
        }
    }
};
const DecodeTables& Tables()
{
    static const DecodeTables t;
    return t;
}

// What the text decoder does with each byte: skip it, take it, or give up.
struct ByteKinds {
    uint8_t take[256];
    uint8_t bad[256];
    ByteKinds()
    {
        for (int c = 0; c < 256; ++c) {
            const bool skip = c == '\r' || c == '\n' || c == ' ' || c == '\t';
            const bool ok = c == '=' || kBase64Values.v[c] != 0xFF;
            take[c] = ok;
            bad[c] = !ok && !skip;
        }
    }
};
const ByteKinds& Kinds()
{
    static const ByteKinds k;
    return k;
}

// The final characters (at most 4) with their pads; returns the end of o.
char* DecodeLast(const unsigned char* p, size_t n, char* o)
{
    const DecodeTables& t = Tables();
    if (n == 4) {
        o = Base64DecodeGroups(p, 4, o);
        // Pads count only in the last group's third and fourth positions.
        if (p[3] == '=')
            --o;
        if (p[2] == '=')
            --o;
    } else if (n >= 2) {
        const uint32_t g = t.d0[p[0]] | t.d1[p[1]] | (n == 3 ? t.d2[p[2]] : 0);
        *o++ = static_cast<char>(g >> 16);
        if (n == 3 && p[2] != '=')
            *o++ = static_cast<char>(g >> 8);
    }
    return o;
}

const unsigned char* Bytes(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

} // namespace

namespace detail {

char* Base64EncodeGroups(const unsigned char* p, size_t n, char* o)
{
    for (size_t j = 0; j + 3 <= n; j += 3) {
        const uint32_t g = p[j] << 16 | p[j + 1] << 8 | p[j + 2];
        o[0] = kBase64Alphabet[g >> 18];
        o[1] = kBase64Alphabet[g >> 12 & 63];
        o[2] = kBase64Alphabet[g >> 6 & 63];
        o[3] = kBase64Alphabet[g & 63];
        o += 4;
    }
    return o;
}

char* Base64EncodeTail(const unsigned char* p, size_t n, char* o)
{
    if (n == 0)
        return o;
    const uint32_t g = p[0] << 16 | (n == 2 ? p[1] << 8 : 0);
    o[0] = kBase64Alphabet[g >> 18];
    o[1] = kBase64Alphabet[g >> 12 & 63];
    o[2] = n == 2 ? kBase64Alphabet[g >> 6 & 63] : '=';
    o[3] = '=';
    return o + 4;
}

char* Base64DecodeGroups(const unsigned char* p, size_t n, char* o)
{
    const DecodeTables& t = Tables();
    for (size_t i = 0; i + 4 <= n; i += 4) {
        const uint32_t g = t.d0[p[i]] | t.d1[p[i + 1]] | t.d2[p[i + 2]] | t.d3[p[i + 3]];
        o[0] = static_cast<char>(g >> 16);
        o[1] = static_cast<char>(g >> 8);
        o[2] = static_cast<char>(g);
        o += 3;
    }
    return o;
}

} // namespace detail

void Base64Encoder::EncodeWhole(const unsigned char* p, size_t n, std::string& out)
{
    const size_t start = out.size();
    if (lineBytes_ == 0) {
        out.resize(start + n / 3 * 4);
        Base64EncodeGroups(p, n, out.data() + start);
        return;
    }
    const size_t lineChars = (lineBytes_ + 2) / 3 * 4 + 1;
    out.resize(start + n / lineBytes_ * lineChars);
    char* o = out.data() + start;
    for (size_t i = 0; i < n; i += lineBytes_) {
        o = Base64EncodeGroups(p + i, lineBytes_ / 3 * 3, o);
        o = Base64EncodeTail(p + i + lineBytes_ / 3 * 3, lineBytes_ % 3, o);
        *o++ = '\n';
    }
}

void Base64Encoder::Put(std::string_view in, std::string& out)
{
    const size_t unit = lineBytes_ ? lineBytes_ : 3;
    if (!carry_.empty()) {
        if (!FillCarry(carry_, in, unit))
            return;
        EncodeWhole(Bytes(carry_), unit, out);
        carry_.clear();
    }
    const size_t whole = in.size() / unit * unit;
    EncodeWhole(Bytes(in), whole, out);
    carry_.assign(in.substr(whole));
}

void Base64Encoder::Finish(std::string& out)
{
    if (carry_.empty())
        return;
    const size_t start = out.size();
    out.resize(start + (carry_.size() + 2) / 3 * 4 + 1);
    char* o = Base64EncodeGroups(Bytes(carry_), carry_.size() / 3 * 3, out.data() + start);
    o = Base64EncodeTail(Bytes(carry_) + carry_.size() / 3 * 3, carry_.size() % 3, o);
    if (lineBytes_)
        *o++ = '\n';
    out.resize(static_cast<size_t>(o - out.data()));
    carry_.clear();
}

void Base64Decoder::DecodeHolding(std::string_view chars, std::string& out)
{
    // The last group waits, as it may be the final one whose pads count.
    const size_t keep = chars.size() % 4 ? chars.size() % 4 : (chars.size() < 4 ? chars.size() : 4);
    const size_t whole = chars.size() - keep;
    const size_t start = out.size();
    out.resize(start + whole / 4 * 3);
    Base64DecodeGroups(Bytes(chars), whole, out.data() + start);
    held_.assign(chars.substr(whole));
}

void Base64Decoder::Put(std::string_view in, std::string& out)
{
    if (stopped_)
        return;
    if (input_ == Input::Run) {
        const size_t nul = in.find('\0');
        if (nul != std::string_view::npos) {
            in = in.substr(0, nul);
            stopped_ = true;
        }
        if (held_.empty()) {
            DecodeHolding(in, out);
            return;
        }
        // Complete the held group first, then the rest goes straight through.
        FillCarry(held_, in, 4);
        if (in.empty())
            return;
        const size_t start = out.size();
        out.resize(start + 3);
        Base64DecodeGroups(Bytes(held_), 4, out.data() + start);
        DecodeHolding(in, out);
        return;
    }
    const ByteKinds& kinds = Kinds();
    // The filtered text goes to a buffer kept between blocks: filling it
    // anew costs no allocation and no clearing.
    if (filtered_.size() < held_.size() + in.size())
        filtered_.resize(held_.size() + in.size());
    unsigned char* const start = filtered_.data();
    std::copy(held_.begin(), held_.end(), start);
    unsigned char* w = start + held_.size();
    uint8_t bad = 0;
    for (unsigned char c : in) {
        *w = c;
        w += kinds.take[c];
        bad |= kinds.bad[c];
    }
    if (bad) {
        SetProblem("not Base64");
        stopped_ = true;
        held_.clear();
        return;
    }
    DecodeHolding(std::string_view(reinterpret_cast<const char*>(start), static_cast<size_t>(w - start)), out);
}

void Base64Decoder::Finish(std::string& out)
{
    if (Failed())
        return;
    const size_t start = out.size();
    out.resize(start + 3);
    char* end = DecodeLast(Bytes(held_), held_.size(), out.data() + start);
    out.resize(static_cast<size_t>(end - out.data()));
    held_.clear();
}

} // namespace textcodec
