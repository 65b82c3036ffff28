#pragma once
// Base of the line-oriented text protocol clients: connecting, sending
// dot-terminated bodies, and status and error texts under the protocol's name.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "net/Tcpip.h"

namespace net {
// Shows an error text to the user (a message box with the stop icon in the UI).
void SetErrorBoxHook(std::function<void(const std::string& text)> hook);
} // namespace net

class CTextbaseProtocol {
public:
    explicit CTextbaseProtocol(std::string protocolName);
    virtual ~CTextbaseProtocol();
    CTextbaseProtocol(const CTextbaseProtocol&) = delete;
    CTextbaseProtocol& operator=(const CTextbaseProtocol&) = delete;

    // 1 connected or 0 (reported). The caller marks the connection connected.
    int ConnectServer(const std::string& host, int noDelay, int port);
    void disconnect();

    // Sends a Shift_JIS text as protocol lines in the given code (0 JIS,
    // 1 Shift_JIS, 2 EUC), dot-stuffed, without the final "." line.
    // 1, or 0 when a send failed (then nothing more is sent).
    virtual int sendText(std::string_view text, int kanjiCode);
    // Sends an already encoded text file as protocol lines (CR LF, dot-stuffed).
    virtual int sendFile(const std::filesystem::path& path);
    virtual std::optional<std::string> sendCommand(std::string_view command) = 0;

    long sendString(std::string_view text);
    long sendBytes(const char* bytes, std::size_t length);

    void reportStatus(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void reportError(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The status window: receives each status text while set.
    void SetStatusWindow(std::function<void(const std::string& text)> window) { statusWindow_ = std::move(window); }

    const std::string& ProtocolName() const { return protocolName_; }
    const std::string& LastReply() const { return lastReply_; }
    CTcpip& Tcp() { return tcp_; }

protected:
    std::string Compose(const char* format, va_list ap) const;

    std::function<void(const std::string&)> statusWindow_;
    CTcpip tcp_;
    int connected_ = 0;
    std::string protocolName_;
    std::string lastReply_;
};
