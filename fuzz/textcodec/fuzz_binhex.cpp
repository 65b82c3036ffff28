// BinHex decoding of arbitrary text after the start line, header only and
// whole; the run-length expander bounds the output by the input.
#include <cstdint>
#include <string>

#include "textcodec/BinHex.h"

using namespace textcodec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text = "(This file must be converted with BinHex 4.0)\n:";
    text.append(reinterpret_cast<const char*>(data), size);
    BinHexHeader h;
    BinHexDecode(text, h, nullptr);
    std::string out;
    BinHexDecode(text, h, &out);
    if (out.size() > 2 * 255 * (size * 3 / 4 + 1))
        __builtin_trap();
    return 0;
}
