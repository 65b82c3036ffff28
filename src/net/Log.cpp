#include "net/Log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace net {
namespace {
LogSink& Sink()
{
    static LogSink sink;
    return sink;
}
bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc); }
} // namespace

void SetLogSink(LogSink sink) { Sink() = std::move(sink); }
bool HasLogSink() { return static_cast<bool>(Sink()); }

std::string CutSjis(std::string_view text, std::size_t max)
{
    if (text.size() <= max)
        return std::string(text);
    std::size_t i = 0;
    while (i < max) {
        std::size_t step = (IsLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
        if (i + step > max)
            break;
        i += step;
    }
    return std::string(text.substr(0, i));
}

void LogText(std::string_view text)
{
    LogSink& sink = Sink();
    if (!sink)
        return;
    std::string line = CutSjis(text, 1024);
    line += "\r\n";
    sink(line);
}

} // namespace net

void LogPrintf(const char* format, ...)
{
    if (!net::HasLogSink())
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
    net::LogText(text);
}
