#include "textcodec/CBase64.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "textcodec/Base64Alphabet.h"
#include "textcodec/Base64Codec.h"

namespace textcodec {

namespace {

bool InAlphabet(unsigned char c) { return detail::kBase64Values.v[c] != 0xFF; }
char Letter(unsigned value) { return detail::kBase64Alphabet[value & 63]; }
unsigned ValueOf(unsigned char c) { return detail::kBase64Values.v[c]; }

} // namespace

CBase64::CBase64(CodecNoticeHandler notice) : notice_(std::move(notice)) {}

bool CBase64::Take(Op op, const char* name)
{
    bool armed = prepared_[op];
    prepared_[op] = false;
    if (!armed)
        ShowCodecNotice(notice_, std::string("CBase64::") + name + "() -> notYetAllocBuffer");
    return armed;
}

int CBase64::StartGroups(Op op, const char* name, size_t length, size_t& outLength)
{
    if (!Take(op, name))
        return 2;
    outLength = 0;
    if (length % 4 != 0)
        return 1;
    return length == 0 ? 0 : -1;
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
    const size_t whole = length / 3 * 3;
    char* end = detail::Base64EncodeGroups(p, whole, output);
    end = detail::Base64EncodeTail(p + whole, length - whole, end);
    outLength = static_cast<size_t>(end - output);
    return 0;
}

int CBase64::Decode(size_t length, size_t& outLength, const char* input, char* output)
{
    if (const int rc = StartGroups(OpDecode, "Decode", length, outLength); rc >= 0)
        return rc;
    // Every character that gives bits must be in the alphabet; pads only end
    // the last group, and what follows a pad in its third place is not read.
    const auto* p = reinterpret_cast<const unsigned char*>(input);
    const size_t lastBytes = p[length - 2] == '=' ? 1 : p[length - 1] == '=' ? 2 : 3;
    for (size_t i = 0; i < length; ++i) {
        const bool pad = i + 4 >= length && (i % 4) > lastBytes;
        if (!pad && !InAlphabet(p[i])) {
            error_ = true;
            return 1;
        }
    }
    detail::Base64DecodeGroups(p, length, output);
    outLength = length / 4 * 3 - (3 - lastBytes);
    return 0;
}

int CBase64::Base64ToBase64InUTF7(size_t length, size_t& outLength, const char* input, char* output)
{
    if (const int rc = StartGroups(OpToUTF7, "Base64ToBase64InUTF7", length, outLength); rc >= 0)
        return rc;
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
    if (mask != 0x3F && InAlphabet(last))
        output[n - 1] = Letter(ValueOf(last) & mask);
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

int CBase64::ReplaceCopy(Op op, const char* name, char from, char to, size_t length, size_t& outLength,
                         const char* input, char* output)
{
    if (!Take(op, name))
        return 2;
    std::replace_copy(input, input + length, output, from, to);
    outLength = length;
    return 0;
}

int CBase64::Base64InUTF7ToBase64InIMAP4(size_t length, size_t& outLength, const char* input, char* output)
{
    return ReplaceCopy(OpToIMAP4, "Base64InUTF7ToBase64InIMAP4", '/', ',', length, outLength, input, output);
}

int CBase64::Base64InIMAP4ToBase64InUTF7(size_t length, size_t& outLength, const char* input, char* output)
{
    return ReplaceCopy(OpFromIMAP4, "Base64InIMAP4ToBase64InUTF7", ',', '/', length, outLength, input, output);
}

int CBase64::RunString(SizeQuery size, Operation op, std::string_view input, std::string& output)
{
    std::vector<char> buffer((this->*size)(input.size()) + 1);
    size_t n = 0;
    const int rc = (this->*op)(input.size(), n, input.data(), buffer.data());
    output.assign(buffer.data(), rc == 0 ? n : 0);
    return rc;
}

int CBase64::EncodeString(std::string_view input, std::string& output)
{
    return RunString(&CBase64::EncodeSize, &CBase64::Encode, input, output);
}

int CBase64::DecodeString(std::string_view input, std::string& output)
{
    return RunString(&CBase64::DecodeSize, &CBase64::Decode, input, output);
}

std::string CBase64::ToIMAP4String(std::string_view text)
{
    std::string s(text);
    std::replace(s.begin(), s.end(), '/', ',');
    return s;
}

std::string CBase64::FromIMAP4String(std::string_view text)
{
    std::string s(text);
    std::replace(s.begin(), s.end(), ',', '/');
    return s;
}

} // namespace textcodec
