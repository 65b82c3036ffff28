// One OVER of a whole group's range, through the given (slow) link:
// a raw client plain and after COMPRESS DEFLATE (zlib by hand), and
// Lumetra's CNntp with compression on and off, each timed in the same run.
//   bench_compress HOST PORT GROUP
#include "RawCompressed.h"
#include "Timing.h"

#include "net/Nntp.h"

#include <cstdio>
#include <string>

namespace {

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
