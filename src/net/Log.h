#pragma once
// The protocol log. The log window registers a sink while it is visible;
// without a sink nothing is recorded.

#include <functional>
#include <string>
#include <string_view>

namespace net {

// Formats one line (at most 1024 bytes of text), adds "\r\n" and hands it to
// the sink.
void LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Receives each log line, already ending in "\r\n". An empty function
// unregisters.
using LogSink = std::function<void(std::string_view line)>;
void SetLogSink(LogSink sink);
bool HasLogSink();

// Appends an already composed text unchanged (never used as a format).
void LogText(std::string_view text);

} // namespace net
