// Encoded-word decoding of arbitrary header text, and encoding of arbitrary
// ISO-2022-JP-like and UTF-8 text (whose result must decode without trouble).
#include <cstdint>
#include <string>

#include "textcodec/Charsets.h"
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
    // Whatever a word of any charset holds, the text crosses to UTF-8 and back.
    const std::string any = DecodeHeaderToSjis(text);
    const std::string utf8 = SjisToUtf8(any);
    if (Utf8ToSjis(utf8).size() > utf8.size() * 2 + 2)
        __builtin_trap();
    DecodeHeaderToSjis(EncodeUtf8HeaderWords(text));
    // Every word read in one charset the reader chose, stateful ones included.
    DecodeHeaderWordsAs(text, size % 2 ? "UTF-16" : "ISO-2022-JP");
    return 0;
}
