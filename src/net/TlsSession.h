#pragma once
// TLS on a connected non-blocking socket. OpenSSL works on memory buffers
// and this class moves the bytes between them and the socket itself, so no
// call ever blocks, a write to a closed peer never raises SIGPIPE and every
// wait stays the transport's own poll-and-pump wait.
//
// Each step returns at once: > 0 done (or bytes), kAgain when it would block
// (Want() says for what), -1 failed (Error() says why). Read returns 0 when
// the peer closed the connection.

#include <cstddef>
#include <string>

#include "net/ServerSecurity.h"

using SSL = struct ssl_st;
using SSL_CTX = struct ssl_ctx_st;
using BIO = struct bio_st;

namespace net {

class TlsSession {
public:
    static constexpr long kAgain = -2;

    // host: the name the user gave (SNI and the name the certificate must
    // carry). caFile: trust only this file's certificates; empty for the
    // system's trust store.
    TlsSession(int fd, const std::string& host, const std::string& caFile);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    bool Valid() const { return ssl_ != nullptr; }

    long Handshake();
    long Read(char* bytes, std::size_t length);
    long Write(const char* bytes, std::size_t length);
    // Sends what OpenSSL has written but the socket has not taken yet: 1 when
    // all is out.
    long Flush();
    // Sends close_notify if the socket takes it at once; never waits.
    void Shutdown();

    // Data OpenSSL holds that a read would return without the socket.
    bool Pending() const;
    // Records made that the socket has not taken yet.
    bool OutputPending() const;
    // POLLIN or POLLOUT after a step returned 0.
    short Want() const { return want_; }
    // The failure in words, and whether the peer simply went away.
    const std::string& Error() const { return error_; }
    bool PeerClosed() const { return peerClosed_; }

    // After the handshake: the peer's certificate with the verification's
    // verdict (problem None when it passed).
    CertificateInfo Certificate(int port) const;

private:
    long Fill();
    long Fail(const char* what);

    int fd_;
    std::string host_;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    BIO* in_ = nullptr;  // socket -> OpenSSL
    BIO* out_ = nullptr; // OpenSSL -> socket
    std::string outBuf_; // records the socket did not take yet
    std::size_t outPos_ = 0;
    std::string inBuf_;
    short want_ = 0;
    bool peerClosed_ = false;
    std::string error_;
};

// "AB:CD:…" compared without regard to case, colons and blanks.
bool SameFingerprint(const std::string& a, const std::string& b);

} // namespace net
