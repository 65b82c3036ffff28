// uudecode of arbitrary text (with and without a begin line put in front).
#include <cstdint>
#include <string>

#include "textcodec/Uuencode.h"

using namespace textcodec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string out;
    Uudecode(text, out);
    Uudecode("begin 644 f\n" + std::string(text), out);
    // Never more than 63 bytes for each line of at most 1 + 84 characters... and
    // never more than the count characters allow.
    if (out.size() > (size + 1) * 63)
        __builtin_trap();
    return 0;
}
