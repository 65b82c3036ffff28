#include "textcodec/CodecNotice.h"

#include <cstdio>
#include <utility>

namespace textcodec {

namespace {
CodecNoticeHandler& Handler()
{
    static CodecNoticeHandler handler;
    return handler;
}
} // namespace

CodecNoticeHandler SetCodecNoticeHandler(CodecNoticeHandler handler)
{
    return std::exchange(Handler(), std::move(handler));
}

void CodecNotice(std::string_view text)
{
    if (Handler())
        Handler()(text);
    else
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

} // namespace textcodec
