#include "net/Tcpip.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include "net/Deflate.h"
#include "net/TlsSession.h"
#include "platform/Clock.h"
#include "platform/WinsockError.h"

namespace net {

namespace {
int g_waitDepth = 0;
bool g_cancel = false;
} // namespace
// Short enough that Cancel reacts at once, long enough to cost nothing.
constexpr int kSliceMs = 25;
// Compressed input is inflated this much at a time, so that one receive
// never holds more than about 4 MB of text whatever the server sends.
constexpr std::size_t kInflateSlice = 4 * 1024;
// Plain text taken per send under compression: the backlog of deflated
// bytes stays about one piece.
constexpr std::size_t kDeflateTake = 16 * 1024;

// Marks a pumping wait; a cancel request lives only as long as the outermost one.
struct WaitScope {
    WaitScope() { ++g_waitDepth; }
    ~WaitScope()
    {
        if (--g_waitDepth == 0)
            g_cancel = false;
    }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;
};

// Takes a pending cancel request.
bool TakeCancel()
{
    bool c = g_cancel;
    g_cancel = false;
    return c;
}

bool IsBlocking() { return g_waitDepth > 0; }

void CancelBlockingCall()
{
    if (g_waitDepth > 0)
        g_cancel = true;
}

CTcpip::CTcpip() : chunk_(64 * 1024) {}

CTcpip::~CTcpip() = default;

void CTcpip::Pump()
{
    // Copy: the pump may replace itself while it runs.
    if (auto pump = pump_)
        pump();
}

int CTcpip::CreateSocket(int family, int type, int protocol)
{
    int fd = ::socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        lastError_ = platform::WinsockFromErrno(errno);
        return lastError_;
    }
    fd_ = fd;
    DropBuffer();
    EndCompression();
    compressError_.clear();
    drained_ = false;
    return 0;
}

int CTcpip::SetSockOpt(int level, int option, const void* value, socklen_t length)
{
    int r = ::setsockopt(fd_, level, option, value, length);
    if (r < 0)
        lastError_ = platform::WinsockFromErrno(errno);
    return r;
}

int CTcpip::SetAddr(std::vector<SocketAddress>& out, const std::string& host, int port)
{
    out.clear();
    if (port < 1 || port > 65535)
        return lastError_ = platform::WSAEINVAL;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    const std::string service = std::to_string(port);
    int failures = 0;
    for (;;) {
        addrinfo* list = nullptr;
        int r = Resolve(host, service, hints, list);
        if (r == 0) {
            for (addrinfo* a = list; a; a = a->ai_next) {
                if (a->ai_addrlen > sizeof(sockaddr_storage))
                    continue;
                SocketAddress sa;
                std::memcpy(&sa.addr, a->ai_addr, a->ai_addrlen);
                sa.length = a->ai_addrlen;
                sa.family = a->ai_family;
                out.push_back(sa);
            }
            ::freeaddrinfo(list);
            if (out.empty())
                return lastError_ = platform::WSANO_DATA;
            return 0;
        }
        int code = r == EAI_CANCELED ? platform::WSAEINTR
                   : r == EAI_SYSTEM ? platform::WinsockFromErrno(errno)
                                     : platform::WinsockFromResolver(r);
        lastError_ = code;
        if (code != platform::WSATRY_AGAIN)
            return code;
        if (++failures > timeouts_.RetryCount())
            return code;
        PumpWait(500);
    }
}

int CTcpip::Resolve(const std::string& host, const std::string& service, const addrinfo& hints, addrinfo*& list)
{
    // The look-up runs in the background while the user interface is pumped.
    gaicb request{};
    request.ar_name = host.c_str();
    request.ar_service = service.c_str();
    request.ar_request = &hints;
    gaicb* requests[1] = {&request};
    if (::getaddrinfo_a(GAI_NOWAIT, requests, 1, nullptr) != 0)
        return ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
    WaitScope scope;
    bool cancelled = false;
    int r;
    while ((r = ::gai_error(&request)) == EAI_INPROGRESS) {
        timespec slice{0, kSliceMs * 1000000L};
        ::gai_suspend(requests, 1, &slice);
        if (::gai_error(&request) != EAI_INPROGRESS)
            continue;
        if (!cancelled) {
            Pump();
            // A request that cannot be cancelled still uses our buffers: wait it out.
            if (TakeCancel()) {
                cancelled = true;
                ::gai_cancel(&request);
            }
        }
    }
    if (cancelled) {
        if (r == 0)
            ::freeaddrinfo(request.ar_result);
        return EAI_CANCELED;
    }
    list = r == 0 ? request.ar_result : nullptr;
    return r;
}

CTcpip::Wait CTcpip::WaitFor(short events, std::uint64_t deadline)
{
    if (fd_ < 0) {
        lastError_ = platform::WSAENOTSOCK;
        return Wait::Failed;
    }
    WaitScope scope;
    for (;;) {
        std::uint64_t now = platform::GetTickCount();
        if (now >= deadline)
            return Wait::TimedOut;
        int slice = static_cast<int>(std::min<std::uint64_t>(deadline - now, kSliceMs));
        pollfd p{fd_, events, 0};
        int r = ::poll(&p, 1, slice);
        if (r > 0) {
            if (p.revents & POLLNVAL) {
                lastError_ = platform::WSAENOTSOCK;
                return Wait::Failed;
            }
            // Errors and hang-ups are reported by the following call itself.
            return Wait::Ready;
        }
        if (r < 0 && errno != EINTR) {
            lastError_ = platform::WinsockFromErrno(errno);
            return Wait::Failed;
        }
        Pump();
        if (TakeCancel()) {
            lastError_ = platform::WSAEINTR;
            return Wait::Failed;
        }
        // The pump may have closed us.
        if (fd_ < 0) {
            lastError_ = platform::WSAENOTSOCK;
            return Wait::Failed;
        }
    }
}

int CTcpip::Connect(const sockaddr* address, socklen_t length, std::int64_t timeoutMs)
{
    if (::connect(fd_, address, length) == 0)
        return 0;
    if (errno != EINPROGRESS && errno != EINTR) {
        lastError_ = platform::WinsockFromErrno(errno);
        return -1;
    }
    std::uint64_t deadline = platform::GetTickCount() + static_cast<std::uint64_t>(std::max<std::int64_t>(timeoutMs, 0));
    Wait w = WaitFor(POLLOUT, deadline);
    if (w == Wait::TimedOut) {
        lastError_ = platform::WSAETIMEDOUT;
        return -1;
    }
    if (w == Wait::Failed)
        return -1;
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) < 0)
        err = errno;
    if (err != 0) {
        lastError_ = platform::WinsockFromErrno(err);
        return -1;
    }
    return 0;
}

long CTcpip::Send(const char* bytes, std::size_t length, int flags)
{
    if (deflater_)
        return SendCompressed(bytes, length);
    return SendLower(bytes, length, flags);
}

long CTcpip::Recv(char* bytes, std::size_t length, int flags)
{
    if (inflater_)
        return RecvCompressed(bytes, length, flags);
    return RecvLower(bytes, length, flags);
}

long CTcpip::SendLower(const char* bytes, std::size_t length, int flags)
{
    if (tls_)
        return SendTls(bytes, length);
    ssize_t n = ::send(fd_, bytes, length, flags | MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
        int e = errno;
        lastError_ = platform::WinsockFromErrno(e);
        errno = e;
    }
    return static_cast<long>(n);
}

long CTcpip::RecvLower(char* bytes, std::size_t length, int flags)
{
    if (tls_)
        return RecvTls(bytes, length);
#ifdef TCP_QUICKACK
    // Servers write a status line and its data separately; without an
    // immediate ACK their Nagle wait stalls each multi-line reply.
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#endif
    ssize_t n = ::recv(fd_, bytes, length, flags | MSG_DONTWAIT);
    if (n < 0) {
        int e = errno;
        lastError_ = platform::WinsockFromErrno(e);
        errno = e;
    }
    return static_cast<long>(n);
}

namespace {
bool WouldBlock(int e) { return e == EAGAIN || e == EWOULDBLOCK || e == EINTR; }
} // namespace

void CTcpip::StartCompression()
{
    inflater_ = std::make_unique<Inflater>();
    deflater_ = std::make_unique<Deflater>();
    compressError_.clear();
    zIn_.assign(buffer_, cursor_, std::string::npos);
    zInPos_ = 0;
    zOut_.clear();
    zOutPos_ = 0;
    zSend_.clear();
    zSendPos_ = 0;
    DropBuffer();
}

void CTcpip::EndCompression()
{
    inflater_.reset();
    deflater_.reset();
    zIn_.clear();
    zOut_.clear();
    zSend_.clear();
    zInPos_ = zOutPos_ = zSendPos_ = 0;
}

long CTcpip::FailCompression(const std::string& problem)
{
    if (compressError_.empty())
        compressError_ = problem;
    lastError_ = platform::WSAECONNABORTED;
    errno = ECONNABORTED;
    return -1;
}

long CTcpip::SendCompressed(const char* bytes, std::size_t length)
{
    if (!compressError_.empty())
        return FailCompression(compressError_);
    if (FlushOut() < 0)
        return -1;
    if (length == 0)
        return 0;
    const std::size_t take = std::min(length, kDeflateTake);
    deflater_->Put(std::string_view(bytes, take), zSend_);
    // Every command must reach the server whole (RFC 8054 asks for a flush).
    deflater_->Flush(zSend_);
    if (deflater_->Failed())
        return FailCompression(deflater_->Problem());
    if (FlushOut() < 0 && !WouldBlock(errno))
        return -1;
    return static_cast<long>(take);
}

long CTcpip::RecvCompressed(char* bytes, std::size_t length, int flags)
{
    for (;;) {
        if (zOutPos_ < zOut_.size()) {
            const std::size_t n = std::min(length, zOut_.size() - zOutPos_);
            std::memcpy(bytes, zOut_.data() + zOutPos_, n);
            zOutPos_ += n;
            return static_cast<long>(n);
        }
        zOut_.clear();
        zOutPos_ = 0;
        if (!compressError_.empty())
            return FailCompression(compressError_);
        if (zInPos_ < zIn_.size()) {
            const std::size_t slice = std::min(kInflateSlice, zIn_.size() - zInPos_);
            inflater_->Put(std::string_view(zIn_).substr(zInPos_, slice), zOut_);
            zInPos_ += slice;
            if (inflater_->Failed())
                compressError_ = inflater_->Problem();
            continue;
        }
        // Deflated commands the socket did not take move with every read, as TLS records do.
        if (FlushOut() < 0 && !WouldBlock(errno))
            return -1;
        zIn_.resize(chunk_.size());
        zInPos_ = 0;
        const long n = RecvLower(zIn_.data(), zIn_.size(), flags);
        zIn_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        if (n <= 0)
            return n;
    }
}

long CTcpip::FlushOut()
{
    while (zSendPos_ < zSend_.size()) {
        const long n = SendLower(zSend_.data() + zSendPos_, zSend_.size() - zSendPos_, 0);
        if (n <= 0) {
            if (n == 0)
                errno = EAGAIN;
            return -1;
        }
        zSendPos_ += static_cast<std::size_t>(n);
    }
    zSend_.clear();
    zSendPos_ = 0;
    return tls_ ? SendTls(nullptr, 0) : 0;
}

bool CTcpip::InputPending() const
{
    return (tls_ && tls_->Pending()) || zOutPos_ < zOut_.size() || zInPos_ < zIn_.size();
}

int CTcpip::Close()
{
    EndCompression();
    EndTls();
    if (fd_ < 0)
        return 0;
    int r = ::close(fd_);
    fd_ = -1;
    DropBuffer();
    drained_ = false;
    return r;
}

void CTcpip::Attach(int socket)
{
    EndCompression();
    compressError_.clear();
    tls_.reset();
    fd_ = socket;
    DropBuffer();
    drained_ = false;
    if (fd_ >= 0) {
        int flags = ::fcntl(fd_, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
        ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
    }
}

void CTcpip::DropBuffer()
{
    buffer_.clear();
    cursor_ = 0;
    scanned_ = 0;
}

int CTcpip::ReadLine(std::string& out) { return ReadLine(out, LineLimitMs()); }

int CTcpip::WaitForData(std::string& out, std::uint64_t deadline)
{
    switch (WaitFor(WantedEvents(POLLIN), deadline)) {
    case Wait::TimedOut:
        lastError_ = platform::WSAETIMEDOUT;
        out.clear();
        return -1;
    case Wait::Failed:
        out.clear();
        return 0;
    default:
        return 1;
    }
}

int CTcpip::ReadLine(std::string& out, std::int64_t limitMs)
{
    // The clock is read only once a receive is needed: lines already in the
    // buffer are the common case and reading the clock is not free.
    std::uint64_t deadline = 0;
    for (;;) {
        PumpPending();
        std::size_t lf = buffer_.find('\n', cursor_ + scanned_);
        if (lf != std::string::npos) {
            out.assign(buffer_, cursor_, lf + 1 - cursor_);
            cursor_ = lf + 1;
            scanned_ = 0;
            if (cursor_ == buffer_.size())
                DropBuffer();
            return static_cast<int>(out.size());
        }
        scanned_ = buffer_.size() - cursor_;
        if (cursor_ > 0) {
            buffer_.erase(0, cursor_);
            cursor_ = 0;
        }
        if (buffer_.size() >= kMaxLine) {
            lastError_ = platform::WSAEMSGSIZE;
            out.clear();
            return 0;
        }
        if (deadline == 0)
            deadline = platform::GetTickCount() + static_cast<std::uint64_t>(std::max<std::int64_t>(limitMs, 0));
        // A short read emptied the socket: wait before the next one instead
        // of asking in vain. A full one means more is probably there.
        if (drained_ && !InputPending()) {
            if (int r = WaitForData(out, deadline); r <= 0)
                return r;
        }
        long n = Recv(chunk_.data(), chunk_.size(), 0);
        if (n > 0) {
            drained_ = static_cast<std::size_t>(n) < chunk_.size();
            buffer_.append(chunk_.data(), static_cast<std::size_t>(n));
            continue;
        }
        drained_ = false;
        if (n == 0) {
            // The peer closed: nothing more will come.
            lastError_ = platform::WSAECONNRESET;
            out.clear();
            return -1;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            out.clear();
            return 0;
        }
        if (int r = WaitForData(out, deadline); r <= 0)
            return r;
    }
}

long CTcpip::SendAll(const char* bytes, std::size_t length)
{
    // A fixed 120 s per attempt; at least one attempt so that a retry count
    // of 0 does not make every send fail.
    return SendAll(bytes, length, std::int64_t{120000} * std::max(1, timeouts_.RetryCount()));
}

long CTcpip::SendAll(const char* bytes, std::size_t length, std::int64_t waitMs)
{
    const std::uint64_t deadline = platform::GetTickCount() + static_cast<std::uint64_t>(std::max<std::int64_t>(waitMs, 0));
    std::size_t done = 0;
    for (;;) {
        PumpPending();
        long n;
        if (done == length) {
            // Records OpenSSL made must be on their way before we report sent.
            if ((n = FlushOut()) >= 0)
                return static_cast<long>(length);
        } else {
            // Send first; wait only when the socket's buffer is full.
            n = Send(bytes + done, length - done, 0);
            if (n >= 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return -1;
        Wait w = WaitFor(WantedEvents(POLLOUT), deadline);
        if (w == Wait::TimedOut) {
            lastError_ = platform::WSAETIMEDOUT;
            return -1;
        }
        if (w == Wait::Failed)
            return -1;
    }
}

short CTcpip::WantedEvents(short plain) const
{
    short events = plain;
    // Commands sent ahead may sit in records or deflated bytes the socket
    // has not taken: a wait for the reply must also move them, or the
    // server never sees them.
    if (tls_) {
        events = tls_->Want() != 0 ? tls_->Want() : plain;
        if (tls_->OutputPending())
            events |= POLLOUT;
    }
    if (zSendPos_ < zSend_.size())
        events |= POLLOUT;
    return events;
}

// The session's results in the socket calls' terms, so that the waits
// above treat both alike.
long CTcpip::SendTls(const char* bytes, std::size_t length)
{
    long n = length == 0 ? tls_->Flush() : tls_->Write(bytes, length);
    if (length == 0 && n == 1)
        n = 0;
    return TlsResult(n);
}

long CTcpip::RecvTls(char* bytes, std::size_t length)
{
    return TlsResult(tls_->Read(bytes, length));
}

long CTcpip::TlsResult(long n)
{
    if (n >= 0)
        return n;
    if (n == TlsSession::kAgain) {
        errno = EAGAIN;
    } else {
        tlsError_ = tls_->Error();
        lastError_ = platform::WSAECONNABORTED;
        errno = ECONNABORTED;
    }
    return -1;
}

int CTcpip::StartTls(const std::string& host, std::int64_t limitMs)
{
    tlsError_.clear();
    if (fd_ < 0) {
        lastError_ = platform::WSAENOTSOCK;
        return -1;
    }
    // Bytes already read belong to the plain stream; none may be left over.
    DropBuffer();
    drained_ = false;
    tls_ = std::make_unique<TlsSession>(fd_, host, caFile_);
    const std::uint64_t deadline = platform::GetTickCount() + static_cast<std::uint64_t>(std::max<std::int64_t>(limitMs, 0));
    for (;;) {
        long r = tls_->Handshake();
        if (r == 1)
            return 0;
        if (r != TlsSession::kAgain) {
            tlsError_ = tls_->Error();
            lastError_ = platform::WSAECONNABORTED;
            tls_.reset();
            return -1;
        }
        Wait w = WaitFor(tls_->Want(), deadline);
        if (w == Wait::Ready)
            continue;
        if (w == Wait::TimedOut)
            lastError_ = platform::WSAETIMEDOUT;
        tlsError_ = lastError_ == platform::WSAEINTR ? "cancelled" : "the TLS handshake did not finish in time";
        // The pump may have closed us.
        tls_.reset();
        return -1;
    }
}

CertificateInfo CTcpip::PeerCertificate(int port) const
{
    return tls_ ? tls_->Certificate(port) : CertificateInfo{};
}

void CTcpip::EndTls()
{
    if (!tls_)
        return;
    if (fd_ >= 0)
        tls_->Shutdown();
    tls_.reset();
}

void CTcpip::PumpWait(int ms)
{
    const std::uint64_t end = platform::GetTickCount() + static_cast<std::uint64_t>(std::max(ms, 0));
    for (;;) {
        Pump();
        std::uint64_t now = platform::GetTickCount();
        if (now >= end)
            return;
        ::poll(nullptr, 0, static_cast<int>(std::min<std::uint64_t>(end - now, kSliceMs)));
    }
}

void CTcpip::PumpPending()
{
    if (++pumpCounter_ >= 30) {
        pumpCounter_ = 0;
        Pump();
    }
}

} // namespace net
