// yEnc decoding of arbitrary text: as given, and after a "=ybegin" line so
// the data paths are reached. Cutting the input must not change the result.
#include <cstdint>
#include <string>

#include "textcodec/Yenc.h"

using namespace textcodec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const std::string& in : {text, "=ybegin part=1 total=2 size=9 name=f\n" + text}) {
        YencDecoder whole, cut;
        const std::string a = RunCodec(whole, in);
        const std::string b = RunCodecInPieces(cut, in, 3);
        // Every decoded byte takes at least one byte of input.
        if (a != b || whole.Status() != cut.Status() || a.size() > in.size() ||
            whole.Header().name.size() > kYencMaxKeywordLine)
            __builtin_trap();
    }
    return 0;
}
