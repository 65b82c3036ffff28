#pragma once
// The raw baseline after COMPRESS DEFLATE: a blocking socket, zlib by hand,
// lines split by hand.
#include "RawNntpClient.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

class RawCompressed {
public:
    RawCompressed(const char* host, int port) : fd_(RawConnect(host, port))
    {
        int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        PlainLine();
        SendPlain("COMPRESS DEFLATE\r\n");
        if (PlainLine().rfind("206", 0) != 0) {
            std::fprintf(stderr, "raw: no COMPRESS\n");
            std::exit(1);
        }
        inflateInit2(&in_, -MAX_WBITS);
        deflateInit2(&out_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    }
    ~RawCompressed()
    {
        Command("QUIT");
        inflateEnd(&in_);
        deflateEnd(&out_);
        close(fd_);
    }
    std::string Command(const std::string& c)
    {
        const std::string text = c + "\r\n";
        char wire[4096];
        out_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        out_.avail_in = static_cast<uInt>(text.size());
        out_.next_out = reinterpret_cast<Bytef*>(wire);
        out_.avail_out = sizeof wire;
        deflate(&out_, Z_SYNC_FLUSH);
        send(fd_, wire, sizeof wire - out_.avail_out, MSG_NOSIGNAL);
        return Line();
    }
    long Data(std::size_t* bytes)
    {
        long lines = 0;
        for (std::string l; (l = Line()) != ".\r\n"; ++lines)
            *bytes += l.size();
        return lines;
    }
    std::size_t WireBytes() const { return wire_; }

private:
    std::string PlainLine()
    {
        std::string l;
        for (char c = 0; c != '\n' && recv(fd_, &c, 1, 0) == 1;)
            l += c;
        return l;
    }
    void SendPlain(const std::string& s) { send(fd_, s.data(), s.size(), MSG_NOSIGNAL); }
    std::string Line()
    {
        for (;;) {
            if (std::size_t lf = buf_.find('\n', pos_); lf != std::string::npos) {
                std::string l = buf_.substr(pos_, lf + 1 - pos_);
                pos_ = lf + 1;
                return l;
            }
            buf_.erase(0, pos_);
            pos_ = 0;
            char chunk[65536], plain[262144];
            int one = 1;
            setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
            const long n = recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) {
                std::fprintf(stderr, "raw: connection lost\n");
                std::exit(1);
            }
            wire_ += static_cast<std::size_t>(n);
            in_.next_in = reinterpret_cast<Bytef*>(chunk);
            in_.avail_in = static_cast<uInt>(n);
            do {
                in_.next_out = reinterpret_cast<Bytef*>(plain);
                in_.avail_out = sizeof plain;
                if (int r = inflate(&in_, Z_SYNC_FLUSH); r != Z_OK && r != Z_BUF_ERROR) {
                    std::fprintf(stderr, "raw: inflate failed\n");
                    std::exit(1);
                }
                buf_.append(plain, sizeof plain - in_.avail_out);
            } while (in_.avail_out == 0);
        }
    }

    int fd_;
    z_stream in_{}, out_{};
    std::string buf_;
    std::size_t pos_ = 0, wire_ = 0;
};
