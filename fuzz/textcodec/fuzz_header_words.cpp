// Encoded-word decoding of arbitrary header text, and encoding of arbitrary
// ISO-2022-JP-like text (whose result must decode without trouble).
#include <cstdint>
#include <string>

#include "textcodec/ConvertToSjis.h"
#include "textcodec/HeaderWords.h"

using namespace textcodec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string dec = MimeHeaderDecode(text);
    std::string sjis;
    ConvertToSjis(sjis, dec, dec.size() + 4, TC_AUTO_SJIS);
    std::string enc = MimeHeaderEncode(text);
    MimeHeaderDecode(enc);
    return 0;
}
