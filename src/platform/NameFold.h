#pragma once
// Case folding for section, key and value names that may hold Shift_JIS:
// ASCII letters fold to lower case, but the second byte of a double-byte
// character is left alone (it can fall in the ASCII letter range).

#include <string>
#include <string_view>

#include "platform/Sjis.h"

namespace platform {

inline std::string FoldName(std::string_view name)
{
    std::string out(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsSjisLeadByte(c)) {
            ++i;
            continue;
        }
        if (c >= 'A' && c <= 'Z')
            out[i] = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

} // namespace platform
