#include "textcodec/CBase64.h"

#include <cstring>
#include <string>
#include <vector>

#include "textcodec/Base64Alphabet.h"
#include "textcodec/CodecNotice.h"

namespace textcodec {

CBase64::CBase64() : alphabet_(detail::kBase64Alphabet)
{
    std::memset(valid_, 0, sizeof valid_);
    std::memset(value_, 0xFF, sizeof value_);
    for (int i = 0; i < 64; ++i) {
        auto c = static_cast<unsigned char>(alphabet_[i]);
        valid_[c] = 1;
        value_[c] = static_cast<uint8_t>(i);
    }
}

bool CBase64::Take(Op op, const char* name)
{
    bool armed = prepared_[op];
    prepared_[op] = false;
    if (!armed)
        CodecNotice(std::string("CBase64::") + name + "() -> notYetAllocBuffer");
    return armed;
}

size_t CBase64::EncodeSize(size_t length)
{
    if (length >= 0xBFFFFFFFu)
        return 0;
    prepared_[OpEncode] = true;
    return 3 + length * 133334 / 100000;
}

size_t CBase64::DecodeSize(size_t length)
{
    prepared_[OpDecode] = true;
    return (length + 3) / 4 * 3;
}

size_t CBase64::ToUTF7Size(size_t length)
{
    prepared_[OpToUTF7] = true;
    return length;
}

size_t CBase64::FromUTF7Size(size_t length)
{
    prepared_[OpFromUTF7] = true;
    return length + 2;
}

size_t CBase64::UTF7ToIMAP4Size(size_t length)
{
    prepared_[OpToIMAP4] = true;
    return length;
}

size_t CBase64::IMAP4ToUTF7Size(size_t length)
{
    prepared_[OpFromIMAP4] = true;
    return length;
}

int CBase64::Encode(size_t length, size_t& outLength, const char* input, char* output)
{
    if (!Take(OpEncode, "Encode"))
        return 2;
    const auto* p = reinterpret_cast<const unsigned char*>(input);
    size_t o = 0;
    for (size_t i = 0; i < length; i += 3) {
        size_t n = length - i < 3 ? length - i : 3;
        uint32_t g = p[i] << 16 | (n > 1 ? p[i + 1] << 8 : 0) | (n > 2 ? p[i + 2] : 0);
        output[o++] = alphabet_[g >> 18];
        output[o++] = alphabet_[g >> 12 & 63];
        output[o++] = n > 1 ? alphabet_[g >> 6 & 63] : '=';
        output[o++] = n > 2 ? alphabet_[g & 63] : '=';
    }
    outLength = o;
    return 0;
}

int CBase64::Decode(size_t length, size_t& outLength, const char* input, char* output)
{
    if (!Take(OpDecode, "Decode"))
        return 2;
    outLength = 0;
    if (length % 4 != 0)
        return 1;
    const auto* p = reinterpret_cast<const unsigned char*>(input);
    size_t o = 0;
    for (size_t i = 0; i < length; i += 4) {
        bool last = i + 4 == length;
        int bytes = 3;
        if (last && p[i + 2] == '=')
            bytes = 1;
        else if (last && p[i + 3] == '=')
            bytes = 2;
        uint32_t g = 0;
        for (int k = 0; k < 4; ++k) {
            unsigned char c = p[i + k];
            if (k > bytes) // the pads of the last group
                continue;
            if (!valid_[c]) {
                error_ = true;
                return 1;
            }
            g |= static_cast<uint32_t>(value_[c]) << (18 - 6 * k);
        }
        output[o++] = static_cast<char>(g >> 16);
        if (bytes > 1)
            output[o++] = static_cast<char>(g >> 8);
        if (bytes > 2)
            output[o++] = static_cast<char>(g);
    }
    outLength = o;
    return 0;
}

int CBase64::Base64ToBase64InUTF7(size_t length, size_t& outLength, const char* input, char* output)
{
    if (!Take(OpToUTF7, "Base64ToBase64InUTF7"))
        return 2;
    outLength = 0;
    if (length % 4 != 0)
        return 1;
    if (length == 0)
        return 0;
    size_t n = length;
    uint8_t mask = 0x3F;
    if (input[n - 1] == '=' && input[n - 2] == '=') {
        n -= 2;
        mask = 0x30;
    } else if (input[n - 1] == '=') {
        n -= 1;
        mask = 0x3C;
    }
    std::memmove(output, input, n);
    auto last = static_cast<unsigned char>(output[n - 1]);
    if (mask != 0x3F && valid_[last])
        output[n - 1] = alphabet_[value_[last] & mask];
    outLength = n;
    return 0;
}

int CBase64::Base64InUTF7ToBase64(size_t length, size_t& outLength, const char* input, char* output)
{
    if (!Take(OpFromUTF7, "Base64InUTF7ToBase64"))
        return 2;
    outLength = 0;
    if (length % 4 == 1)
        return 1;
    std::memmove(output, input, length);
    size_t n = length;
    if (length % 4 == 2) {
        output[n++] = '=';
        output[n++] = '=';
    } else if (length % 4 == 3) {
        output[n++] = '=';
    }
    outLength = n;
    return 0;
}

int CBase64::Base64InUTF7ToBase64InIMAP4(size_t length, size_t& outLength, const char* input, char* output)
{
    if (!Take(OpToIMAP4, "Base64InUTF7ToBase64InIMAP4"))
        return 2;
    for (size_t i = 0; i < length; ++i)
        output[i] = input[i] == '/' ? ',' : input[i];
    outLength = length;
    return 0;
}

int CBase64::Base64InIMAP4ToBase64InUTF7(size_t length, size_t& outLength, const char* input, char* output)
{
    if (!Take(OpFromIMAP4, "Base64InIMAP4ToBase64InUTF7"))
        return 2;
    for (size_t i = 0; i < length; ++i)
        output[i] = input[i] == ',' ? '/' : input[i];
    outLength = length;
    return 0;
}

int CBase64::EncodeString(std::string_view input, std::string& output)
{
    size_t size = EncodeSize(input.size());
    std::vector<char> buffer(size + 1);
    size_t n = 0;
    int rc = Encode(input.size(), n, input.data(), buffer.data());
    output.assign(buffer.data(), rc == 0 ? n : 0);
    return rc;
}

int CBase64::DecodeString(std::string_view input, std::string& output)
{
    size_t size = DecodeSize(input.size());
    std::vector<char> buffer(size + 1);
    size_t n = 0;
    int rc = Decode(input.size(), n, input.data(), buffer.data());
    output.assign(buffer.data(), rc == 0 ? n : 0);
    return rc;
}

std::string CBase64::ToIMAP4String(std::string_view text)
{
    std::string s(text);
    for (char& c : s)
        if (c == '/')
            c = ',';
    return s;
}

std::string CBase64::FromIMAP4String(std::string_view text)
{
    std::string s(text);
    for (char& c : s)
        if (c == ',')
            c = '/';
    return s;
}

} // namespace textcodec
