#include "textcodec/CodecNotice.h"

#include <cstdio>

namespace textcodec {

void ShowCodecNotice(const CodecNoticeHandler& handler, std::string_view text)
{
    if (handler)
        handler(text);
    else
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

} // namespace textcodec
