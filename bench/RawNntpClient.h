#pragma once
// The baseline the benchmarks measure against: a blocking socket, a 64 KiB
// read buffer, lines split by hand, nothing else; with a context given, the
// same over OpenSSL's own blocking TLS.
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

inline int RawConnect(const char* host, int port)
{
    addrinfo hints{}, *res = nullptr;
    hints.ai_socktype = SOCK_STREAM;
    if (getaddrinfo(host, std::to_string(port).c_str(), &hints, &res) != 0)
        return -1;
    int fd = socket(res->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, res->ai_addr, res->ai_addrlen) != 0) {
        close(fd);
        fd = -1;
    }
    freeaddrinfo(res);
    return fd;
}

class RawNntp {
public:
    RawNntp(const char* host, int port, SSL_CTX* tls = nullptr) : fd_(RawConnect(host, port))
    {
        if (fd_ < 0) {
            std::fprintf(stderr, "raw: cannot connect\n");
            std::exit(1);
        }
        int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (tls) {
            ssl_ = SSL_new(tls);
            SSL_set_fd(ssl_, fd_);
            if (SSL_connect(ssl_) != 1) {
                std::fprintf(stderr, "raw: TLS handshake failed\n");
                std::exit(1);
            }
        }
        Line();
    }
    ~RawNntp()
    {
        Command("QUIT");
        SSL_free(ssl_);
        close(fd_);
    }
    std::string Line()
    {
        for (;;) {
            std::size_t lf = buf_.find('\n', pos_);
            if (lf != std::string::npos) {
                std::string l = buf_.substr(pos_, lf + 1 - pos_);
                pos_ = lf + 1;
                return l;
            }
            buf_.erase(0, pos_);
            pos_ = 0;
            char chunk[65536];
            // Stock servers need a prompt ACK or every multi-line reply waits.
            int one = 1;
            setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
            long n = ssl_ ? SSL_read(ssl_, chunk, sizeof chunk) : recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) {
                std::fprintf(stderr, "raw: connection lost\n");
                std::exit(1);
            }
            buf_.append(chunk, static_cast<std::size_t>(n));
        }
    }
    void Send(const std::string& s)
    {
        if (ssl_)
            SSL_write(ssl_, s.data(), static_cast<int>(s.size()));
        else
            send(fd_, s.data(), s.size(), MSG_NOSIGNAL);
    }
    std::string Command(const std::string& c)
    {
        Send(c + "\r\n");
        return Line();
    }
    // Reads a multi-line block to its end; returns its line count and adds its bytes.
    long Data(std::size_t* bytes = nullptr)
    {
        long lines = 0;
        for (std::string l; (l = Line()) != ".\r\n"; ++lines)
            if (bytes)
                *bytes += l.size();
        return lines;
    }

private:
    int fd_;
    SSL* ssl_ = nullptr;
    std::string buf_;
    std::size_t pos_ = 0;
};

// HEAD for each number with up to `window` commands in flight, replies read
// in order; returns how many came with a header.
inline long RawPipelinedHeads(RawNntp& raw, const std::vector<int>& numbers, std::size_t window)
{
    std::size_t sent = 0, done = 0;
    long headers = 0;
    while (done < numbers.size()) {
        std::string batch;
        while (sent < numbers.size() && sent - done < window)
            batch += "HEAD " + std::to_string(numbers[sent++]) + "\r\n";
        if (!batch.empty())
            raw.Send(batch);
        const std::string status = raw.Line();
        ++done;
        if (status.rfind("221", 0) == 0 && (raw.Data(), true))
            ++headers;
    }
    return headers;
}
