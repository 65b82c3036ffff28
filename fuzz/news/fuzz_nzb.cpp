// The NZB reader on arbitrary bytes: it ends with files or an error, every
// Message-ID it gives is one safe command word, and the limits hold.
#include <cstdint>
#include <string>

#include "news/Nzb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    news::NzbLimits limits;
    limits.maxSegments = 1000;
    const news::NzbDocument doc = news::ReadNzb(std::string_view(reinterpret_cast<const char*>(data), size), limits);
    if (doc.error.empty() == doc.files.empty())
        __builtin_trap();
    size_t segments = 0;
    for (const news::NzbFile& f : doc.files) {
        for (const news::NzbSegment& s : f.segments) {
            ++segments;
            const std::string& id = s.messageId;
            if (id.size() < 3 || id.front() != '<' || id.back() != '>')
                __builtin_trap();
            for (size_t i = 1; i + 1 < id.size(); ++i)
                if (static_cast<unsigned char>(id[i]) <= 0x20 || id[i] == 0x7F || id[i] == '<' || id[i] == '>')
                    __builtin_trap();
        }
    }
    if (segments > limits.maxSegments)
        __builtin_trap();
    return 0;
}
