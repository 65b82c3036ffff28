#include "textcodec/Base64.h"

#include "textcodec/Base64Alphabet.h"
#include "textcodec/FileIo.h"

using namespace textcodec_detail;

size_t Base64DecodeLine(std::string& out, std::string_view text)
{
    size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    out.clear();
    out.reserve(text.size() / 4 * 3 + 3);
    const uint8_t* v = kBase64Values.v;
    auto val = [&](size_t i) -> uint32_t {
        uint8_t x = v[static_cast<unsigned char>(text[i])];
        return x == 0xFF ? 0 : x;
    };
    size_t full = text.size() / 4 * 4;
    for (size_t i = 0; i < full; i += 4) {
        uint32_t g = val(i) << 18 | val(i + 1) << 12 | val(i + 2) << 6 | val(i + 3);
        out += static_cast<char>(g >> 16);
        out += static_cast<char>(g >> 8);
        out += static_cast<char>(g);
    }
    size_t rest = text.size() - full;
    if (rest == 0 && full >= 4) {
        // Pads count only in the last group's third and fourth positions.
        if (text[full - 1] == '=')
            out.pop_back();
        if (text[full - 2] == '=')
            out.pop_back();
    } else if (rest >= 2) {
        uint32_t g = val(full) << 18 | val(full + 1) << 12 | (rest == 3 ? val(full + 2) << 6 : 0);
        out += static_cast<char>(g >> 16);
        if (rest == 3 && text[full + 2] != '=')
            out += static_cast<char>(g >> 8);
    }
    return out.size();
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
