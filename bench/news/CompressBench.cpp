// One OVER of a whole group's range, through the given (slow) link:
// a raw client plain and after COMPRESS DEFLATE (zlib by hand), and
// Lumetra's CNntp with compression on and off, each timed in the same run.
//   bench_compress HOST PORT GROUP
#include "RawNntpClient.h"
#include "Timing.h"

#include "net/Nntp.h"

#include <zlib.h>

#include <cstdio>
#include <string>

namespace {

// The raw client after COMPRESS: a blocking socket, zlib, lines split by hand.
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

std::string Range(const std::string& groupReply)
{
    int count = 0, first = 0, last = 0;
    std::sscanf(groupReply.c_str(), "211 %d %d %d", &count, &first, &last);
    return std::to_string(first) + "-" + std::to_string(last);
}

void Report(const char* who, double ms, long lines, std::size_t bytes, double baseline)
{
    std::printf("%-34s %9.1f ms  %6ld lines  %9zu bytes  %5.2fx\n", who, ms, lines, bytes,
                baseline > 0 ? ms / baseline : 1.0);
}

// CNntp as the document would drive it; the data lines come off its transport.
void Lumetra(const char* host, int port, const std::string& group, bool compress, double baseline)
{
    long lines = 0;
    std::size_t bytes = 0;
    bool compressed = false;
    const double ms = Time([&] {
        net::CNntp nntp;
        // INN compresses only sessions that logged in first (it refuses
        // AUTHINFO afterwards); the test server's user works in the clear.
        net::SecuritySettings s;
        s.compress = compress;
        s.user = "tester";
        s.allowPlainPassword = true;
        nntp.SetSecurity(s);
        nntp.SetLoginHandler([](const net::LoginRequest&, std::string& user, std::string& password) {
            user = "tester";
            password = "lumetra-secret";
            return true;
        });
        if (!nntp.Open(host, 1, port) || !nntp.StartSession(true)) {
            std::fprintf(stderr, "lumetra: no session\n");
            std::exit(1);
        }
        compressed = nntp.Tcp().IsCompressed();
        std::string reply;
        int count = 0, first = 0, last = 0;
        nntp.Group(group, reply, count, first, last);
        if (!nntp.SendCommand("OVER " + std::to_string(first) + "-" + std::to_string(last))) {
            std::fprintf(stderr, "lumetra: OVER refused\n");
            std::exit(1);
        }
        for (std::string l; nntp.Tcp().ReadLine(l) > 0 && l != ".\r\n"; ++lines)
            bytes += l.size();
        nntp.Quit();
    });
    Report(compress ? (compressed ? "lumetra CNntp, COMPRESS" : "lumetra CNntp, COMPRESS refused!")
                    : "lumetra CNntp, plain",
           ms, lines, bytes, baseline);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_compress HOST PORT GROUP\n");
        return 2;
    }
    const char* host = argv[1];
    const int port = std::atoi(argv[2]);
    const std::string group = argv[3];

    long lines = 0;
    std::size_t bytes = 0, wire = 0;
    {
        // Untimed: the server's overview is read from disk once, for nobody's account.
        RawNntp warm(host, port);
        warm.Command("MODE READER");
        warm.Command("OVER " + Range(warm.Command("GROUP " + group)));
        warm.Data(&bytes);
        bytes = 0;
    }
    const double compressed = Time([&] {
        RawCompressed raw(host, port);
        raw.Command("MODE READER");
        const std::string range = Range(raw.Command("GROUP " + group));
        raw.Command("OVER " + range);
        lines = raw.Data(&bytes);
        wire = raw.WireBytes();
    });
    Report("raw OVER, COMPRESS (baseline)", compressed, lines, bytes, compressed);
    std::printf("%-34s %zu bytes on the wire (%.1f%%)\n", "", wire, bytes ? 100.0 * double(wire) / double(bytes) : 0);

    lines = 0;
    bytes = 0;
    const double plain = Time([&] {
        RawNntp raw(host, port);
        raw.Command("MODE READER");
        const std::string range = Range(raw.Command("GROUP " + group));
        raw.Command("OVER " + range);
        lines = raw.Data(&bytes);
    });
    Report("raw OVER, plain", plain, lines, bytes, compressed);

    Lumetra(host, port, group, true, compressed);
    Lumetra(host, port, group, false, compressed);
    return 0;
}
