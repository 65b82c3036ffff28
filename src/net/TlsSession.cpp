#include "net/TlsSession.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace net {

namespace {

// One record with its overhead; a bigger read only fills OpenSSL's buffer.
constexpr std::size_t kReadChunk = 18 * 1024;
// What one write hands OpenSSL, so that unsent records stay few.
constexpr std::size_t kWriteChunk = 16 * 1024;

bool IsAddress(const std::string& host)
{
    unsigned char buf[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, host.c_str(), buf) == 1 || ::inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

std::string NameText(const X509_NAME* name)
{
    BIO* bio = BIO_new(BIO_s_mem());
    if (!bio)
        return {};
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string text(data ? data : "", static_cast<std::size_t>(std::max(n, 0L)));
    BIO_free(bio);
    return text;
}

std::string TimeText(const ASN1_TIME* time)
{
    std::tm tm{};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1)
        return {};
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return buf;
}

CertificateProblem ProblemOf(long result)
{
    switch (result) {
    case X509_V_OK:
        return CertificateProblem::None;
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return CertificateProblem::Expired;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return CertificateProblem::NotYetValid;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return CertificateProblem::WrongHost;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return CertificateProblem::SelfSigned;
    // A chain that ends in a root nobody trusts: the issuer is what is unknown.
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return CertificateProblem::UnknownIssuer;
    default:
        return CertificateProblem::Other;
    }
}

std::string Normalised(const std::string& fingerprint)
{
    std::string out;
    for (char c : fingerprint)
        if (c != ':' && c != ' ')
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

bool SameFingerprint(const std::string& a, const std::string& b)
{
    const std::string x = Normalised(a);
    return !x.empty() && x == Normalised(b);
}

TlsSession::TlsSession(int fd, const std::string& host, const std::string& caFile) : fd_(fd), host_(host)
{
    ctx_ = SSL_CTX_new(TLS_client_method());
    if (!ctx_) {
        Fail("TLS is not available");
        return;
    }
    SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
    // The verdict is taken after the handshake, so that the user can be
    // shown the certificate and may trust it.
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_NONE, nullptr);
    const bool trust = caFile.empty() ? SSL_CTX_set_default_verify_paths(ctx_) == 1
                                      : SSL_CTX_load_verify_locations(ctx_, caFile.c_str(), nullptr) == 1;
    if (!trust) {
        Fail("cannot load the trusted certificates");
        return;
    }
    ssl_ = SSL_new(ctx_);
    in_ = BIO_new(BIO_s_mem());
    out_ = BIO_new(BIO_s_mem());
    if (!ssl_ || !in_ || !out_) {
        BIO_free(in_);
        BIO_free(out_);
        in_ = out_ = nullptr;
        SSL_free(ssl_);
        ssl_ = nullptr;
        Fail("TLS is not available");
        return;
    }
    // An empty buffer means "more later", not the end.
    BIO_set_mem_eof_return(in_, -1);
    SSL_set_bio(ssl_, in_, out_);
    SSL_set_connect_state(ssl_);
    if (!host.empty()) {
        if (!IsAddress(host))
            SSL_set_tlsext_host_name(ssl_, host.c_str());
        SSL_set1_host(ssl_, host.c_str());
    }
}

TlsSession::~TlsSession()
{
    SSL_free(ssl_); // frees both BIOs
    SSL_CTX_free(ctx_);
}

long TlsSession::Fail(const char* what)
{
    want_ = 0;
    error_ = what;
    char text[256];
    for (unsigned long e; (e = ERR_get_error()) != 0;) {
        ERR_error_string_n(e, text, sizeof text);
        error_ += error_.size() == std::strlen(what) ? ": " : "; ";
        error_ += text;
    }
    return -1;
}

long TlsSession::Fill()
{
#ifdef TCP_QUICKACK
    // The same stall as on a plain socket (see CTcpip::Recv).
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#endif
    inBuf_.resize(kReadChunk);
    ssize_t n = ::recv(fd_, inBuf_.data(), inBuf_.size(), MSG_DONTWAIT);
    if (n > 0) {
        BIO_write(in_, inBuf_.data(), static_cast<int>(n));
        return 1;
    }
    if (n == 0) {
        peerClosed_ = true;
        want_ = 0;
        error_ = "the server closed the connection";
        return 0;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        want_ = POLLIN;
        return kAgain;
    }
    error_ = std::strerror(errno);
    want_ = 0;
    return -1;
}

long TlsSession::Flush()
{
    if (!ssl_)
        return -1;
    for (std::size_t pending; (pending = BIO_ctrl_pending(out_)) > 0;) {
        if (outPos_ == outBuf_.size()) {
            outBuf_.clear();
            outPos_ = 0;
        }
        const std::size_t old = outBuf_.size();
        outBuf_.resize(old + pending);
        int r = BIO_read(out_, outBuf_.data() + old, static_cast<int>(pending));
        outBuf_.resize(old + static_cast<std::size_t>(std::max(r, 0)));
        if (r <= 0)
            break;
    }
    while (outPos_ < outBuf_.size()) {
        ssize_t n = ::send(fd_, outBuf_.data() + outPos_, outBuf_.size() - outPos_, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            outPos_ += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            want_ = POLLOUT;
            return kAgain;
        }
        error_ = n < 0 ? std::strerror(errno) : "send failed";
        want_ = 0;
        return -1;
    }
    outBuf_.clear();
    outPos_ = 0;
    return 1;
}

long TlsSession::Handshake()
{
    if (!ssl_)
        return -1;
    for (;;) {
        if (long f = Flush(); f != 1)
            return f;
        ERR_clear_error();
        int r = SSL_do_handshake(ssl_);
        if (r == 1)
            return Flush();
        if (SSL_get_error(ssl_, r) != SSL_ERROR_WANT_READ)
            return Fail("TLS handshake failed");
        if (long f = Flush(); f != 1)
            return f;
        long g = Fill();
        if (g == 0)
            return Fail("the server closed the connection during the TLS handshake");
        if (g < 0)
            return g;
    }
}

long TlsSession::Read(char* bytes, std::size_t length)
{
    if (!ssl_)
        return -1;
    for (;;) {
        if (Flush() == -1)
            return -1;
        ERR_clear_error();
        std::size_t got = 0;
        int r = SSL_read_ex(ssl_, bytes, length, &got);
        if (r == 1)
            return static_cast<long>(got);
        switch (SSL_get_error(ssl_, r)) {
        case SSL_ERROR_ZERO_RETURN:
            peerClosed_ = true;
            return 0;
        case SSL_ERROR_WANT_READ: {
            long g = Fill();
            if (g == 1)
                continue;
            // A close in the middle of a record is a broken stream, not an end.
            if (g == 0 && (BIO_ctrl_pending(in_) > 0 || SSL_has_pending(ssl_)))
                return Fail("the connection broke inside a TLS record");
            return g;
        }
        default:
            return Fail("TLS read failed");
        }
    }
}

long TlsSession::Write(const char* bytes, std::size_t length)
{
    if (!ssl_)
        return -1;
    for (;;) {
        long f = Flush();
        if (f != 1)
            return f; // unsent records first: the backlog stays one chunk
        ERR_clear_error();
        std::size_t written = 0;
        int r = SSL_write_ex(ssl_, bytes, std::min(length, kWriteChunk), &written);
        if (r == 1) {
            if (Flush() == -1)
                return -1;
            return static_cast<long>(written);
        }
        if (SSL_get_error(ssl_, r) != SSL_ERROR_WANT_READ)
            return Fail("TLS write failed");
        long g = Fill();
        if (g == 0)
            return Fail("the server closed the connection");
        if (g < 0)
            return g;
    }
}

void TlsSession::Shutdown()
{
    if (!ssl_ || peerClosed_ || !SSL_is_init_finished(ssl_))
        return;
    ERR_clear_error();
    SSL_shutdown(ssl_);
    Flush();
    ERR_clear_error();
}

bool TlsSession::Pending() const
{
    return ssl_ && (SSL_has_pending(ssl_) || BIO_ctrl_pending(in_) > 0);
}

bool TlsSession::OutputPending() const
{
    return outPos_ < outBuf_.size() || (out_ && BIO_ctrl_pending(out_) > 0);
}

CertificateInfo TlsSession::Certificate(int port) const
{
    CertificateInfo info;
    info.host = host_;
    info.port = port;
    X509* cert = ssl_ ? SSL_get1_peer_certificate(ssl_) : nullptr;
    if (!cert) {
        info.problem = CertificateProblem::Other;
        info.detail = "the server sent no certificate";
        return info;
    }
    info.subject = NameText(X509_get_subject_name(cert));
    info.issuer = NameText(X509_get_issuer_name(cert));
    info.notBefore = TimeText(X509_get0_notBefore(cert));
    info.notAfter = TimeText(X509_get0_notAfter(cert));
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (X509_digest(cert, EVP_sha256(), md, &len) == 1) {
        static const char hex[] = "0123456789ABCDEF";
        for (unsigned int i = 0; i < len; ++i) {
            if (i)
                info.sha256 += ':';
            info.sha256 += hex[md[i] >> 4];
            info.sha256 += hex[md[i] & 15];
        }
    }
    X509_free(cert);
    const long result = SSL_get_verify_result(ssl_);
    info.problem = ProblemOf(result);
    if (result != X509_V_OK)
        info.detail = X509_verify_cert_error_string(result);
    return info;
}

} // namespace net
