#include "net/Log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/Sjis.h"

namespace net {

namespace {
LogSink& Sink()
{
    static LogSink sink;
    return sink;
}
} // namespace

void SetLogSink(LogSink sink) { Sink() = std::move(sink); }
bool HasLogSink() { return static_cast<bool>(Sink()); }

void LogText(std::string_view text)
{
    LogSink& sink = Sink();
    if (!sink)
        return;
    std::string line(platform::CutSjis(text, 1024));
    line += "\r\n";
    sink(line);
}

void LogPrintf(const char* format, ...)
{
    if (!HasLogSink())
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
    LogText(text);
}

} // namespace net
