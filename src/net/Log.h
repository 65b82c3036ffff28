#pragma once
// The protocol log. Whoever owns a connection owns its log and hands it to
// the connection; the log window subscribes a sink while it is visible.
// Without a sink nothing is recorded.

#include <functional>
#include <string>
#include <string_view>

namespace net {

class ProtocolLog {
public:
    // Receives each log line, already ending in "\r\n". An empty function
    // unsubscribes.
    using Sink = std::function<void(std::string_view line)>;
    void SetSink(Sink sink) { sink_ = std::move(sink); }
    bool HasSink() const { return static_cast<bool>(sink_); }

    // Appends an already composed text unchanged (never used as a format);
    // at most 1024 bytes of it, with "\r\n" added.
    void Text(std::string_view text) const;
    // Formats one line and appends it as Text does.
    void Printf(const char* format, ...) const __attribute__((format(printf, 2, 3)));

private:
    Sink sink_;
};

} // namespace net
