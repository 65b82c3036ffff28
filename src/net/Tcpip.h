#pragma once
// One TCP stream connection with a line-oriented receive buffer.
//
// The socket is non-blocking; every wait is poll() in short slices with the
// owner's pump run between slices, so the user interface stays alive and a
// Cancel button works while we wait. All waits are bounded.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <netdb.h>
#include <sys/socket.h>

#include "net/ServerSecurity.h"
#include "net/TcpTimeouts.h"

namespace net {

class TlsSession;
class Inflater;
class Deflater;

// True while a network wait is pumping.
bool IsBlocking();
// Ends the running wait (from inside the pump, e.g. a Cancel button): the call
// fails with WSAEINTR. Does nothing when no wait runs.
void CancelBlockingCall();

// One resolved address of a host.
struct SocketAddress {
    sockaddr_storage addr{};
    socklen_t length = 0;
    int family = 0;
};

class CTcpip {
public:
    // Lines longer than this break the connection instead of growing the buffer further.
    static constexpr std::size_t kMaxLine = 4u << 20;

    CTcpip();
    ~CTcpip();            // does not close the socket (its owner does)
    CTcpip(const CTcpip&) = delete;
    CTcpip& operator=(const CTcpip&) = delete;

    // 0 or the Winsock code. The socket is made non-blocking and close-on-exec.
    int CreateSocket(int family, int type, int protocol);
    int SetSockOpt(int level, int option, const void* value, socklen_t length);
    // Resolves host (name or numeric, IPv4 and IPv6); 0 or the Winsock code.
    int SetAddr(std::vector<SocketAddress>& out, const std::string& host, int port);
    // 0 on success, -1 with LastError() set; waits at most timeoutMs.
    int Connect(const sockaddr* address, socklen_t length, std::int64_t timeoutMs);
    // Under TLS these carry the decrypted stream; -1 with errno EAGAIN when
    // they would block.
    long Send(const char* bytes, std::size_t length, int flags);
    long Recv(char* bytes, std::size_t length, int flags);
    // Closes the socket (after TLS's close_notify when the socket takes it).
    int Close();

    // Starts TLS on the connected socket: the handshake, bounded by limitMs
    // and cancellable like every wait. 0, or -1 with LastError() and
    // TlsError() set. The certificate is not judged here (PeerCertificate).
    int StartTls(const std::string& host, std::int64_t limitMs);
    bool IsSecure() const { return tls_ != nullptr; }
    const std::string& TlsError() const { return tlsError_; }
    // The server's certificate and whether it passed verification.
    CertificateInfo PeerCertificate(int port) const;
    // Trust only this file's certificates (tests, private servers); empty
    // for the system's trust store.
    void SetCaFile(std::string path) { caFile_ = std::move(path); }
    // Read at each wait, so a change applies to the next call.
    void SetTimeouts(TcpTimeouts timeouts) { timeouts_ = timeouts; }
    const TcpTimeouts& Timeouts() const { return timeouts_; }

    // COMPRESS DEFLATE from here on, after the server's 206: what comes in is
    // inflated and what goes out deflated, above TLS (compress, then
    // encrypt). Bytes received past the last line read are already
    // compressed. Ends with the connection.
    void StartCompression();
    bool IsCompressed() const { return inflater_ != nullptr; }
    // Why the compressed stream broke (damaged data, a decompression bomb);
    // empty while it works.
    const std::string& CompressionError() const { return compressError_; }

    // Takes over a connected socket; pending received text is dropped.
    void Attach(int socket);
    int Socket() const { return fd_; }
    // Run between poll slices and on every 30th line; the windows pump their events here.
    void SetPump(std::function<void()> pump) { pump_ = std::move(pump); }
    int LastError() const { return lastError_; }
    void SetLastError(int code) { lastError_ = code; }
    // Bytes received that no line read has returned (a line without its end).
    std::string_view Pending() const { return std::string_view(buffer_).substr(cursor_); }

    // One line with its line end (CR LF or LF) into out. Returns its length,
    // -1 on time-out or end of stream, 0 when a receive fails or the line is
    // too long. On failure out is emptied.
    int ReadLine(std::string& out);
    // Same with an explicit limit in milliseconds.
    int ReadLine(std::string& out, std::int64_t limitMs);
    // The whole run, or -1.
    long SendAll(const char* bytes, std::size_t length);
    long SendAll(const char* bytes, std::size_t length, std::int64_t waitMs);

    void PumpWait(int ms);
    void PumpPending();

    // The limit of one ReadLine from the settings, in milliseconds.
    std::int64_t LineLimitMs() const { return timeouts_.LineLimitMs(); }

private:
    enum class Wait { Ready, TimedOut, Failed };
    int Resolve(const std::string& host, const std::string& service, const addrinfo& hints, addrinfo*& list);
    Wait WaitFor(short events, std::uint64_t deadline);
    // Waits for data within a line read: 1 when some may be read, otherwise the
    // read's result (-1 time-out, 0 failure) with out emptied.
    int WaitForData(std::string& out, std::uint64_t deadline);
    void DropBuffer();
    void Pump();
    void EndTls();
    long SendTls(const char* bytes, std::size_t length);
    long RecvTls(char* bytes, std::size_t length);
    long TlsResult(long n);
    short WantedEvents(short plain) const;
    long SendLower(const char* bytes, std::size_t length, int flags);
    long RecvLower(char* bytes, std::size_t length, int flags);
    long SendCompressed(const char* bytes, std::size_t length);
    long RecvCompressed(char* bytes, std::size_t length, int flags);
    // Moves deflated bytes (and TLS records) the socket has not taken yet:
    // 0 when all are out, else -1 with errno (EAGAIN when it would block).
    long FlushOut();
    long FailCompression(const std::string& problem);
    void EndCompression();
    // Received bytes already above the socket that a read returns without waiting.
    bool InputPending() const;

    int fd_ = -1;
    int lastError_ = 0;
    int pumpCounter_ = 0;
    std::function<void()> pump_;
    std::string buffer_;   // received bytes; NUL bytes are data like any other
    std::size_t cursor_ = 0;
    std::size_t scanned_ = 0; // bytes from cursor_ already known to hold no LF
    std::vector<char> chunk_;
    bool drained_ = false;
    std::unique_ptr<TlsSession> tls_;
    std::string tlsError_;
    std::string caFile_;
    std::unique_ptr<Inflater> inflater_;
    std::unique_ptr<Deflater> deflater_;
    std::string zIn_;   // compressed bytes received, not inflated yet
    std::size_t zInPos_ = 0;
    std::string zOut_;  // inflated bytes not returned yet
    std::size_t zOutPos_ = 0;
    std::string zSend_; // deflated bytes the layer below did not take yet
    std::size_t zSendPos_ = 0;
    std::string compressError_;
    TcpTimeouts timeouts_;
};

} // namespace net
