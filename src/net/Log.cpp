#include "net/Log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/Sjis.h"

namespace net {

void ProtocolLog::Text(std::string_view text) const
{
    if (!sink_)
        return;
    std::string line(platform::CutSjis(text, 1024));
    line += "\r\n";
    // Copy: the sink may unsubscribe itself while it runs.
    Sink sink = sink_;
    sink(line);
}

void ProtocolLog::Printf(const char* format, ...) const
{
    if (!sink_)
        return;
    va_list ap;
    va_start(ap, format);
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (n > 0) {
        std::vector<char> buf(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), format, ap);
        text.assign(buf.data(), static_cast<std::size_t>(n));
    }
    va_end(ap);
    Text(text);
}

} // namespace net
