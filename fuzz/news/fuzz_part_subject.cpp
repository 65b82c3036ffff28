// Part counters on arbitrary subjects: a counter found is within its limits
// and the stem is the subject less the counter.
#include <cstdint>
#include <string>

#include "news/MultiPart.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view subject(reinterpret_cast<const char*>(data), size);
    const auto s = news::ParsePartSubject(subject);
    if (!s)
        return 0;
    if (s->part < 1 || s->part > s->total || s->total < 2 || s->total > news::kMaxParts)
        __builtin_trap();
    if (s->stem.size() + 5 > subject.size())
        __builtin_trap();
    return 0;
}
