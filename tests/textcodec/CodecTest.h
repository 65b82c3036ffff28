#pragma once
// What the codec tests share beyond the common file helpers.

#include "support/TestFiles.h"
#include "textcodec/ConvertToSjis.h"

namespace tctest {

inline std::string ToSjis(std::string_view in, int code)
{
    std::string out;
    EXPECT_TRUE(textcodec::ConvertToSjis(out, in, in.size() + 16, code));
    return out;
}

} // namespace tctest
