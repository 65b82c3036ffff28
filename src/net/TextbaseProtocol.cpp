#include "net/TextbaseProtocol.h"

#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <vector>

#include <netinet/in.h>
#include <netinet/tcp.h>

#include "net/Log.h"
#include "net/PostCodec.h"
#include "platform/Sjis.h"
#include "platform/WinsockError.h"

namespace net {

using namespace textcodec;

namespace {
bool IsTrail(unsigned char c) { return c >= 0x40 && c <= 0xfc && c != 0x7f; }
} // namespace

CTextbaseProtocol::CTextbaseProtocol(std::string protocolName) : protocolName_(std::move(protocolName)) {}

CTextbaseProtocol::~CTextbaseProtocol() { Disconnect(); }

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
    return std::string(platform::CutSjis(text, 1000));
}

void CTextbaseProtocol::ReportStatus(const char* format, ...)
{
    const bool logging = log_ && log_->HasSink();
    if (!statusWindow_ && !logging)
        return; // nobody is looking: spare the formatting of every reply
    va_list ap;
    va_start(ap, format);
    std::string text = Compose(format, ap);
    va_end(ap);
    if (statusWindow_) {
        auto window = statusWindow_;
        window(text);
    }
    if (log_)
        log_->Text(text);
}

void CTextbaseProtocol::ReportError(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    std::string text = Compose(format, ap);
    va_end(ap);
    if (log_)
        log_->Text(text);
    if (auto reporter = errorReporter_)
        reporter(text);
}

int CTextbaseProtocol::ConnectServer(const std::string& host, int noDelay, int port)
{
    connected_ = 0;
    tcp_.Close();
    if (log_) {
        log_->Printf("CreateSocket %s, %d", host.c_str(), port);
        log_->Text("SetAddr");
    }
    std::vector<SocketAddress> addresses;
    int code = tcp_.SetAddr(addresses, host, port);
    if (code != 0) {
        ReportError("error at [ConnectServer::SetAddr](%d:%s)", code, platform::WinsockErrorText(code).c_str());
        return 0;
    }
    // A connect waits as long as a reply may: at least a second.
    const std::int64_t connectLimit = tcp_.LineLimitMs();
    int lastCode = 0;
    for (const SocketAddress& a : addresses) {
        code = tcp_.CreateSocket(a.family, SOCK_STREAM, 0);
        if (code != 0) {
            ReportError("error at [ConnectServer::CreateSocket](%d:%s)", code, platform::WinsockErrorText(code).c_str());
            return 0;
        }
        int value = noDelay;
        tcp_.SetSockOpt(IPPROTO_TCP, TCP_NODELAY, &value, sizeof value);
        if (log_)
            log_->Text("connect");
        if (tcp_.Connect(reinterpret_cast<const sockaddr*>(&a.addr), a.length, connectLimit) == 0)
            return 1;
        lastCode = tcp_.LastError();
        tcp_.Close();
    }
    ReportError("error at [ConnectServer::connect](%d:%s)", lastCode, platform::WinsockErrorText(lastCode).c_str());
    return 0;
}

void CTextbaseProtocol::Disconnect()
{
    if (connected_ == 1)
        ReportStatus("Disconect");
    // Also a socket that never got as far as connected: it must not leak.
    tcp_.Close();
    connected_ = 0;
}

long CTextbaseProtocol::SendString(std::string_view text) { return tcp_.SendAll(text.data(), text.size()); }

long CTextbaseProtocol::SendBytes(const char* bytes, std::size_t length) { return tcp_.SendAll(bytes, length); }

int CTextbaseProtocol::SendText(std::string_view text, KanjiCode kanjiCode)
{
    const PostCodec& codec = GetPostCodec();
    std::string line;
    std::string batch;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        // A lead byte without a proper second byte stays a single byte, so a
        // line end is never swallowed into a character.
        if (platform::IsSjisLeadByte(c) && i + 1 < text.size() && IsTrail(static_cast<unsigned char>(text[i + 1]))) {
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
                if (!batch.empty() && SendString(batch) < 0)
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
    if (!batch.empty() && SendString(batch) < 0)
        return 0;
    if (!line.empty()) {
        std::string converted = codec.convertFromSjis(line, kanjiCode);
        if (!converted.empty() && converted[0] == '.')
            converted.insert(converted.begin(), '.');
        converted += "\r\n";
        if (SendString(converted) < 0)
            return 0;
    }
    return 1;
}

int CTextbaseProtocol::SendFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ReportError("error at [CTextbaseProtocol::sendFile](can't open [%s]).", path.c_str());
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
            ReportStatus("send");
            if (!batch.empty() && SendString(batch) < 0)
                return 0;
            batch = std::move(line);
        }
    }
    if (in.bad()) {
        ReportError("error at [CTextbaseProtocol::sendFile](can't close [%s]).", path.c_str());
        return 0;
    }
    if (!batch.empty() && SendString(batch) < 0)
        return 0;
    return 1;
}

} // namespace net
