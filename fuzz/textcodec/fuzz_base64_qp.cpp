// Base64 and quoted-printable lines, and CBase64 in all its forms.
#include <cstdint>
#include <string>
#include <vector>

#include "textcodec/Base64.h"
#include "textcodec/CBase64.h"
#include "textcodec/QuotedPrintable.h"

using namespace textcodec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string out;
    size_t n = Base64DecodeLine(out, text);
    if (n != out.size() || n > size / 4 * 3 + 2)
        __builtin_trap();
    DecodeQuotedPrintableLine(text, out);
    if (out.size() > size + 2)
        __builtin_trap();

    CBase64 b;
    std::string dec, enc;
    if (b.DecodeString(text, dec) == 0) {
        b.EncodeString(dec, enc);
    }
    b.EncodeString(text, enc);
    if (b.DecodeString(enc, dec) != 0 || dec != text)
        __builtin_trap();
    std::vector<char> buf(size + 8);
    size_t len = 0;
    b.ToUTF7Size(size);
    b.Base64ToBase64InUTF7(size, len, text.data(), buf.data());
    b.FromUTF7Size(size);
    b.Base64InUTF7ToBase64(size, len, text.data(), buf.data());
    b.UTF7ToIMAP4Size(size);
    b.Base64InUTF7ToBase64InIMAP4(size, len, text.data(), buf.data());
    b.IMAP4ToUTF7Size(size);
    b.Base64InIMAP4ToBase64InUTF7(size, len, text.data(), buf.data());
    return 0;
}
