// NNTP client throughput against a real server, next to a minimal raw client
// doing the same commands in the same run. Run through run-bench.sh, which
// starts a private INN with a large group list.
//
//   bench_net HOST PORT
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "net/Nntp.h"
#include "RawNntpClient.h"
#include "Timing.h"

using namespace net;

namespace {



using Raw = RawNntp;

struct Range {
    int first = 0, last = 0, count = 0;
};

Range GroupRange(Raw& r, const char* group)
{
    std::string reply = r.Command(std::string("GROUP ") + group);
    Range g;
    std::sscanf(reply.c_str(), "211 %d %d %d", &g.count, &g.first, &g.last);
    return g;
}

void Post(Raw& r, const std::string& group, const std::string& subject, const std::string& body)
{
    if (r.Command("POST").rfind("340", 0) != 0) {
        std::fprintf(stderr, "POST refused\n");
        std::exit(1);
    }
    r.Send("From: bench@example.invalid\r\nNewsgroups: " + group + "\r\nSubject: " + subject + "\r\n\r\n" + body + ".\r\n");
    std::string reply = r.Line();
    if (reply.rfind("240", 0) != 0) {
        std::fprintf(stderr, "post failed: %s", reply.c_str());
        std::exit(1);
    }
}

// Alternates the two clients round by round so that both meet the same load,
// and keeps the best round of each.
void Compare(const std::string& what, int rounds, const std::function<void()>& ours, const std::function<void()>& raw,
             const std::function<std::string()>& label = {})
{
    double bestOurs = 1e300, bestRaw = 1e300;
    for (int i = 0; i < rounds; ++i) {
        bestOurs = std::min(bestOurs, Time(ours));
        bestRaw = std::min(bestRaw, Time(raw));
    }
    std::string name = label ? what + label() : what;
    std::printf("%-28s ours %9.1f ms   raw %9.1f ms   ratio %5.2f\n", name.c_str(), bestOurs, bestRaw, bestOurs / bestRaw);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_net HOST PORT\n");
        return 2;
    }
    const char* host = argv[1];
    const int port = std::atoi(argv[2]);
    const char* headGroup = "fj.test.one";
    const char* bigGroup = "fj.test";

    Range heads, big;
    {
        Raw setup(host, port);
        heads = GroupRange(setup, headGroup);
        for (int i = heads.count; i < 1000; ++i)
            Post(setup, headGroup, "bench " + std::to_string(i), "a short body line\r\n");
        heads = GroupRange(setup, headGroup);
        big = GroupRange(setup, bigGroup);
        if (big.count == 0) {
            std::string body;
            std::string line(71, 'x');
            while (body.size() < 5u * 1024 * 1024)
                body += line + "\r\n";
            Post(setup, bigGroup, "five megabytes", body);
            big = GroupRange(setup, bigGroup);
        }
    }
    const int firstHead = heads.last - 999;

    CNntp nntp;
    if (!nntp.Open(host, 1, port) || !nntp.ReadGreeting()) {
        std::fprintf(stderr, "connect failed\n");
        return 1;
    }
    Raw raw(host, port);

    int stalls = 0;
    double slowest = 0;
    Compare(
        "GROUP + HEAD x1000", 7,
        [&] {
            std::string reply;
            int c, f, l;
            nntp.Group(headGroup, reply, c, f, l);
            std::string header;
            for (int n = firstHead; n <= heads.last; ++n) {
                auto t = Clock::now();
                header.clear();
                if (!nntp.Head(n) || !nntp.ReadData(header)) {
                    std::fprintf(stderr, "HEAD %d failed\n", n);
                    std::exit(1);
                }
                double ms = Ms(Clock::now() - t);
                slowest = std::max(slowest, ms);
                if (ms > 30)
                    ++stalls;
            }
        },
        [&] {
            GroupRange(raw, headGroup);
            for (int n = firstHead; n <= heads.last; ++n) {
                raw.Command("HEAD " + std::to_string(n));
                raw.Data();
            }
        });
    std::printf("%-28s slowest HEAD %.1f ms, HEADs over 30 ms: %d of 7000\n", "", slowest, stalls);

    std::size_t bytes = 0;
    Compare(
        "ARTICLE ", 7,
        [&] {
            std::string reply;
            int c, f, l, code;
            nntp.Group(bigGroup, reply, c, f, l);
            // Line by line, as the body pane writes its cache file.
            std::string line;
            nntp.Article(big.last, code);
            bytes = 0;
            while (nntp.ReadDataLine(line) > 0)
                bytes += line.size();
        },
        [&] {
            GroupRange(raw, bigGroup);
            raw.Command("ARTICLE " + std::to_string(big.last));
            raw.Data();
        },
        [&] { return std::to_string(bytes / 1024) + " KiB"; });

    std::size_t groups = 0;
    Compare(
        "LIST ", 7,
        [&] {
            nntp.List();
            std::string line;
            groups = 0;
            while (nntp.ReadDataLine(line) > 0)
                ++groups;
        },
        [&] {
            raw.Command("LIST");
            raw.Data();
        },
        [&] { return std::to_string(groups) + " groups"; });
    return 0;
}
