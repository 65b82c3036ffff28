#include "textcodec/Base64.h"

#include "textcodec/Base64Alphabet.h"
#include "textcodec/FileIo.h"

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
} // namespace

size_t Base64DecodeLine(std::string& out, std::string_view text)
{
    size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    const DecodeTables& t = Tables();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t full = text.size() / 4 * 4;
    size_t rest = text.size() - full;
    out.resize(full / 4 * 3 + 3);
    char* o = out.data();
    for (size_t i = 0; i < full; i += 4) {
        uint32_t g = t.d0[p[i]] | t.d1[p[i + 1]] | t.d2[p[i + 2]] | t.d3[p[i + 3]];
        o[0] = static_cast<char>(g >> 16);
        o[1] = static_cast<char>(g >> 8);
        o[2] = static_cast<char>(g);
        o += 3;
    }
    size_t n = full / 4 * 3;
    if (rest == 0 && full >= 4) {
        // Pads count only in the last group's third and fourth positions.
        if (p[full - 1] == '=')
            --n;
        if (p[full - 2] == '=')
            --n;
    } else if (rest >= 2) {
        uint32_t g = t.d0[p[full]] | t.d1[p[full + 1]] | (rest == 3 ? t.d2[p[full + 2]] : 0);
        out[n++] = static_cast<char>(g >> 16);
        if (rest == 3 && p[full + 2] != '=')
            out[n++] = static_cast<char>(g >> 8);
    }
    out.resize(n);
    return n;
}

namespace {
void EncodeInto(std::string& out, const unsigned char* p, size_t n)
{
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        uint32_t g = p[i] << 16 | p[i + 1] << 8 | p[i + 2];
        out += kBase64Alphabet[g >> 18];
        out += kBase64Alphabet[g >> 12 & 63];
        out += kBase64Alphabet[g >> 6 & 63];
        out += kBase64Alphabet[g & 63];
    }
    if (n - i == 1) {
        uint32_t g = p[i] << 16;
        out += kBase64Alphabet[g >> 18];
        out += kBase64Alphabet[g >> 12 & 63];
        out += "==";
    } else if (n - i == 2) {
        uint32_t g = p[i] << 16 | p[i + 1] << 8;
        out += kBase64Alphabet[g >> 18];
        out += kBase64Alphabet[g >> 12 & 63];
        out += kBase64Alphabet[g >> 6 & 63];
        out += '=';
    }
}
} // namespace

std::string Base64EncodeLine(std::string_view data)
{
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4 + 1);
    EncodeInto(out, reinterpret_cast<const unsigned char*>(data.data()), data.size());
    out += '\n';
    return out;
}

std::string Base64EncodeText(std::string_view data)
{
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4 + data.size() / 54 + 2);
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    for (size_t i = 0; i < data.size(); i += 54) {
        size_t n = data.size() - i < 54 ? data.size() - i : 54;
        EncodeInto(out, p + i, n);
        out += '\n';
    }
    return out;
}

bool Base64EncodeFile(const std::filesystem::path& input, const std::filesystem::path& output)
{
    auto data = ReadFileBytes(input);
    if (!data)
        return false;
    return WriteFileBytes(output, Base64EncodeText(*data)) == WriteResult::Ok;
}

} // namespace textcodec
