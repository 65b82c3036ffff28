#include "net/TextbaseProtocol.h"

#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <vector>

#include <netinet/in.h>
#include <netinet/tcp.h>

#include "net/Log.h"
#include "net/PostCodec.h"
#include "platform/WinsockError.h"

namespace net {
namespace {
std::function<void(const std::string&)>& ErrorBoxHook()
{
    static std::function<void(const std::string&)> hook;
    return hook;
}
bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc); }
bool IsTrail(unsigned char c) { return c >= 0x40 && c <= 0xfc && c != 0x7f; }
} // namespace

void SetErrorBoxHook(std::function<void(const std::string& text)> hook) { ErrorBoxHook() = std::move(hook); }

} // namespace net

CTextbaseProtocol::CTextbaseProtocol(std::string protocolName) : protocolName_(std::move(protocolName)) {}

CTextbaseProtocol::~CTextbaseProtocol() { disconnect(); }

std::string CTextbaseProtocol::Compose(const char* format, va_list ap) const
{
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text = protocolName_ + ": ";
    if (n > 0) {
        std::vector<char> buf(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), format, ap);
        text.append(buf.data(), static_cast<std::size_t>(n));
    }
    // Server replies can be long; the composed text keeps its first 1000 bytes.
    return net::CutSjis(text, 1000);
}

void CTextbaseProtocol::reportStatus(const char* format, ...)
{
    if (!statusWindow_ && !net::HasLogSink())
        return; // nobody is looking: spare the formatting of every reply
    va_list ap;
    va_start(ap, format);
    std::string text = Compose(format, ap);
    va_end(ap);
    if (statusWindow_) {
        auto window = statusWindow_;
        window(text);
    }
    net::LogText(text);
}

void CTextbaseProtocol::reportError(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    std::string text = Compose(format, ap);
    va_end(ap);
    net::LogText(text);
    if (auto hook = net::ErrorBoxHook())
        hook(text);
}

int CTextbaseProtocol::ConnectServer(const std::string& host, int noDelay, int port)
{
    connected_ = 0;
    tcp_.Close();
    LogPrintf("CreateSocket %s, %d", host.c_str(), port);
    LogPrintf("SetAddr");
    std::vector<net::SocketAddress> addresses;
    int code = tcp_.SetAddr(addresses, host, port);
    if (code != 0) {
        reportError("error at [ConnectServer::SetAddr](%d:%s)", code, platform::WinsockErrorText(code).c_str());
        return 0;
    }
    // A connect waits as long as a reply may: at least a second.
    const std::int64_t connectLimit = std::int64_t{std::max(1, net::TcpWaitSec())} * std::max(1, net::TcpRetryCount()) * 1000;
    int lastCode = 0;
    for (const net::SocketAddress& a : addresses) {
        code = tcp_.CreateSocket(a.family, SOCK_STREAM, 0);
        if (code != 0) {
            reportError("error at [ConnectServer::CreateSocket](%d:%s)", code, platform::WinsockErrorText(code).c_str());
            return 0;
        }
        int value = noDelay;
        tcp_.SetSockOpt(IPPROTO_TCP, TCP_NODELAY, &value, sizeof value);
        LogPrintf("connect");
        if (tcp_.Connect(reinterpret_cast<const sockaddr*>(&a.addr), a.length, connectLimit) == 0)
            return 1;
        lastCode = tcp_.LastError();
        tcp_.Close();
    }
    reportError("error at [ConnectServer::connect](%d:%s)", lastCode, platform::WinsockErrorText(lastCode).c_str());
    return 0;
}

void CTextbaseProtocol::disconnect()
{
    if (connected_ == 1)
        reportStatus("Disconect");
    // Also a socket that never got as far as connected: it must not leak.
    tcp_.Close();
    connected_ = 0;
}

long CTextbaseProtocol::sendString(std::string_view text) { return tcp_.SendAll(text.data(), text.size()); }

long CTextbaseProtocol::sendBytes(const char* bytes, std::size_t length) { return tcp_.SendAll(bytes, length); }

int CTextbaseProtocol::sendText(std::string_view text, int kanjiCode)
{
    const net::PostCodec& codec = net::GetPostCodec();
    std::string line;
    std::string batch;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        // A lead byte without a proper second byte stays a single byte, so a
        // line end is never swallowed into a character.
        if (net::IsLead(c) && i + 1 < text.size() && net::IsTrail(static_cast<unsigned char>(text[i + 1]))) {
            line.append(text.substr(i, 2));
            ++i;
        } else if (c == '\r') {
        } else if (c == 26) {
            line += "^Z";
        } else if (c == '\n') {
            // Converted without its line end, so that a stray lead byte at the
            // end cannot take the CR into a character and leave a bare LF.
            std::string converted = codec.convertFromSjis(line, kanjiCode);
            converted += "\r\n";
            if (!converted.empty() && converted[0] == '.')
                converted.insert(converted.begin(), '.');
            if (batch.size() + converted.size() >= 4000) {
                if (!batch.empty() && sendString(batch) < 0)
                    return 0;
                batch = std::move(converted);
            } else {
                batch += converted;
            }
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    if (!batch.empty() && sendString(batch) < 0)
        return 0;
    if (!line.empty()) {
        std::string converted = codec.convertFromSjis(line, kanjiCode);
        if (!converted.empty() && converted[0] == '.')
            converted.insert(converted.begin(), '.');
        converted += "\r\n";
        if (sendString(converted) < 0)
            return 0;
    }
    return 1;
}

int CTextbaseProtocol::sendFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reportError("error at [CTextbaseProtocol::sendFile](can't open [%s]).", path.c_str());
        return 0;
    }
    std::string batch;
    std::string line;
    // Whole lines, so stuffing happens only at real line starts; each goes
    // out with CR LF whatever the file holds.
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '.')
            line.insert(line.begin(), '.');
        line += "\r\n";
        if (batch.size() + line.size() < 2048) {
            batch += line;
        } else {
            reportStatus("send");
            if (!batch.empty() && sendString(batch) < 0)
                return 0;
            batch = std::move(line);
        }
    }
    if (in.bad()) {
        reportError("error at [CTextbaseProtocol::sendFile](can't close [%s]).", path.c_str());
        return 0;
    }
    if (!batch.empty() && sendString(batch) < 0)
        return 0;
    return 1;
}
