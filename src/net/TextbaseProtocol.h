#pragma once
// Base of the line-oriented text protocol clients: connecting, sending
// dot-terminated bodies, and status and error texts under the protocol's name.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "net/Log.h"
#include "net/Tcpip.h"
#include "textcodec/JapaneseCodes.h"

namespace net {

class CTextbaseProtocol {
public:
    explicit CTextbaseProtocol(std::string protocolName);
    virtual ~CTextbaseProtocol();
    CTextbaseProtocol(const CTextbaseProtocol&) = delete;
    CTextbaseProtocol& operator=(const CTextbaseProtocol&) = delete;

    // 1 connected or 0 (reported). The caller marks the connection connected.
    int ConnectServer(const std::string& host, int noDelay, int port);
    void Disconnect();

    // Sends a Shift_JIS text as protocol lines in the given code,
    // dot-stuffed, without the final "." line.
    // 1, or 0 when a send failed (then nothing more is sent).
    virtual int SendText(std::string_view text, textcodec::KanjiCode kanjiCode);
    // Sends an already encoded text file as protocol lines (CR LF, dot-stuffed).
    virtual int SendFile(const std::filesystem::path& path);
    virtual std::optional<std::string> SendCommand(std::string_view command) = 0;

    long SendString(std::string_view text);
    long SendBytes(const char* bytes, std::size_t length);

    void ReportStatus(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void ReportError(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The status window: receives each status text while set.
    void SetStatusWindow(std::function<void(const std::string& text)> window) { statusWindow_ = std::move(window); }
    // Shows each error text to the user (a message box with the stop icon); errors are logged either way.
    void SetErrorReporter(std::function<void(const std::string& text)> reporter) { errorReporter_ = std::move(reporter); }
    // Run while a network wait lasts (see CTcpip::SetPump).
    void SetPump(std::function<void()> pump) { tcp_.SetPump(std::move(pump)); }
    // The waits of this connection (see CTcpip::SetTimeouts).
    void SetTimeouts(TcpTimeouts timeouts) { tcp_.SetTimeouts(timeouts); }
    // Where this connection's status texts, commands and replies are logged;
    // null for nowhere. The log must outlive the connection.
    void SetLog(const ProtocolLog* log) { log_ = log; }

    const std::string& ProtocolName() const { return protocolName_; }
    const std::string& LastReply() const { return lastReply_; }
    CTcpip& Tcp() { return tcp_; }

protected:
    std::string Compose(const char* format, va_list ap) const;

    std::function<void(const std::string&)> statusWindow_;
    std::function<void(const std::string&)> errorReporter_;
    const ProtocolLog* log_ = nullptr;
    CTcpip tcp_;
    int connected_ = 0;
    std::string protocolName_;
    std::string lastReply_;
};

} // namespace net
