// Going online and opening a group with the document, next to a minimal raw
// client doing the same commands in the same run. Run through
// run-online-bench.sh, which starts a private INN with a large group list.
//
//   bench_online HOST PORT            speed: LIST and GROUP + HEAD x1000
//   bench_online HOST PORT memory     peak memory of going online
//   bench_online HOST PORT slow P1 P2 the same through latency proxies: P1 a
//                                     50 ms round trip, P2 also 10 Mbit/s
#include "news/LumeDoc.h"
#include "RawNntpClient.h"
#include "StderrHost.h"
#include "Timing.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

using namespace news;

namespace fs = std::filesystem;

namespace {


using Raw = RawNntp;

// Alternates the two clients so both meet the same load; keeps the best of each.
void Compare(const char* what, int rounds, const std::function<void()>& ours, const std::function<void()>& raw)
{
    double bestOurs = 1e300, bestRaw = 1e300;
    for (int i = 0; i < rounds; ++i) {
        bestOurs = std::min(bestOurs, Time(ours));
        bestRaw = std::min(bestRaw, Time(raw));
    }
    std::printf("%-40s ours %8.1f ms   raw %8.1f ms   ratio %5.2f\n", what, bestOurs, bestRaw, bestOurs / bestRaw);
}

long PeakKiB()
{
    std::ifstream in("/proc/self/status");
    std::string key;
    while (in >> key) {
        long v;
        if (key == "VmHWM:" && in >> v)
            return v;
        std::getline(in, key);
    }
    return -1;
}

// A configuration and a news.rc of `subscribed` groups of the server's list.
fs::path WriteConfig(const fs::path& dir, int port, int subscribed, int limit)
{
    fs::create_directories(dir);
    std::ofstream(dir / "bench.lum") << "[config]\r\nstrNntpServer=bench\r\nnNntpPort=" << port
                                     << "\r\nstrMarkFile=news.rc\r\nnMaxReadArtcleCount=" << limit
                                     << "\r\nbShowOldArticle=NO\r\n";
    std::ofstream rc(dir / "news.rc", std::ios::binary);
    char name[64];
    for (int i = 0; i < subscribed; ++i) {
        std::snprintf(name, sizeof name, "bench.group%05d: 1-%d\r\n", i, i % 7);
        rc << name;
    }
    return dir / "bench.lum";
}


// The raw client's window: the most any peer keeps in flight by default.
constexpr std::size_t kRawWindow = 400;

long GoOnline(StderrHost& bh, const fs::path& lum)
{
    CLumeDoc doc(&bh, bh.registry);
    doc.OnOpenDocument(lum);
    if (!doc.GoOnline(lum)) {
        std::fprintf(stderr, "going online failed\n");
        std::exit(1);
    }
    return static_cast<long>(doc.Groups().GetCount());
}

// At least 1000 articles in local.bulk; returns its last number.
int PrepareBulk(const char* host, int port)
{
    Raw setup(host, port);
    int c = 0, f = 0, last = 0;
    std::sscanf(setup.Command("GROUP local.bulk").c_str(), "211 %d %d %d", &c, &f, &last);
    for (int i = c; i < 1000; ++i) {
        setup.Command("POST");
        setup.Command("From: bench@example.invalid\r\nNewsgroups: local.bulk\r\nSubject: bench " +
                      std::to_string(i) + "\r\n\r\nbody\r\n.");
    }
    std::sscanf(setup.Command("GROUP local.bulk").c_str(), "211 %d %d %d", &c, &f, &last);
    return last;
}

std::vector<int> Newest(int last, int count)
{
    std::vector<int> numbers;
    for (int n = last; n > last - count; --n)
        numbers.push_back(n);
    return numbers;
}

// Opening local.bulk with its newest 1000 articles unread, through the
// connection lum names, against raw doing the same.
void CompareOpen(const char* what, int rounds, StderrHost& bh, const fs::path& lum, int last, std::size_t& articles,
                 const std::function<void()>& raw)
{
    CLumeDoc doc(&bh, bh.registry);
    doc.OnOpenDocument(lum);
    if (!doc.GoOnline(lum))
        std::exit(1);
    CNewsGroup* bulk = doc.Groups().Find("local.bulk");
    Compare(
        what, rounds,
        [&] {
            doc.SetCurrentGroup(nullptr);
            bulk->m_strReadList = "1-" + std::to_string(last - 1000);
            doc.SetCurrentGroup(bulk);
            if (!doc.OpenCurrentGroup())
                std::exit(1);
            articles = doc.Articles().size();
        },
        raw);
}

// The same through latency proxies: opening 1000 articles at 50 ms, and
// going online with the whole list at 50 ms and 10 Mbit/s.
int Slow(StderrHost& bh, const char* host, int port, int rttPort, int linkPort, const fs::path& dir)
{
    const int last = PrepareBulk(host, port);
    const std::vector<int> numbers = Newest(last, 1000);
    const fs::path lum = WriteConfig(dir / "rtt", rttPort, 0, 1000);
    std::size_t articles = 0;
    {
        Raw raw(host, rttPort);
        CompareOpen("50 ms: open 1000, raw pipelined", 3, bh, lum, last, articles, [&] {
            raw.Command("GROUP local.bulk");
            RawPipelinedHeads(raw, numbers, kRawWindow);
        });
        // One by one takes a round trip each: 40 of them stand for the 1000.
        const std::vector<int> few(numbers.begin(), numbers.begin() + 40);
        const double oneByOne = Time([&] { RawPipelinedHeads(raw, few, 1); }) * 1000 / 40;
        std::printf("%-40s %8.1f ms (40 HEADs one by one, times 25)\n", "50 ms: open 1000, one by one", oneByOne);
    }
    std::printf("%-40s %zu\n", "articles listed", articles);

    const fs::path online = WriteConfig(dir / "link", linkPort, 5000, 1000);
    std::size_t bytes = 0;
    Compare("50 ms, 10 Mbit/s: online, LIST + merge", 2, [&] { GoOnline(bh, online); },
            [&] {
                Raw raw(host, linkPort);
                if (raw.Command("LIST").rfind("215", 0) != 0)
                    std::exit(1);
                bytes = 0;
                raw.Data(&bytes);
            });
    std::printf("%-40s %8.1f ms (%zu bytes at 10 Mbit/s, one round trip)\n", "50 ms, 10 Mbit/s: transfer alone",
                bytes * 8 / 1e4 + 50, bytes);
    fs::remove_all(dir);
    return 0;
}

// Opening local.bulk's newest 1000 by the overview against a raw client
// sending one OVER of the range: on loopback, then through a proxy at 200 ms
// and 10 Mbit/s (farPort).
int Overview(StderrHost& bh, const char* host, int port, int farPort, const fs::path& dir)
{
    const int last = PrepareBulk(host, port);
    const std::string range = "OVER " + std::to_string(last - 999) + "-" + std::to_string(last);
    for (const auto& [what, p, rounds] : {std::tuple("loopback", port, 5), std::tuple("200 ms, 10 Mbit/s", farPort, 2)}) {
        const fs::path lum = WriteConfig(dir / what, p, 0, 100000);
        std::size_t articles = 0;
        Raw raw(host, p);
        CompareOpen((std::string(what) + ": open 1000 by OVER").c_str(), rounds, bh, lum, last, articles, [&] {
            raw.Command("GROUP local.bulk");
            if (raw.Command(range).rfind("224", 0) != 0)
                std::exit(1);
            raw.Data();
        });
        std::printf("%-40s %zu\n", "articles listed", articles);
    }
    fs::remove_all(dir);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_online HOST PORT [memory]\n");
        return 2;
    }
    StderrHost bh;
    bh.host = argv[1];
    const int port = std::atoi(argv[2]);
    const fs::path dir = fs::temp_directory_path() / ("lumetra-online-bench-" + std::to_string(getpid()));

    if (argc > 3 && std::string(argv[3]) == "memory") {
        const long before = PeakKiB();
        const fs::path lum = WriteConfig(dir, port, 0, 50);
        CLumeDoc doc(&bh, bh.registry);
        doc.OnOpenDocument(lum);
        if (!doc.GoOnline(lum))
            return 1;
        std::printf("%-40s %zu groups: peak %.1f MB (%.1f MB before going online)\n", "memory", doc.Groups().GetCount(),
                    PeakKiB() / 1024.0, before / 1024.0);
        fs::remove_all(dir);
        return 0;
    }

    if (argc > 4 && std::string(argv[3]) == "overview")
        return Overview(bh, argv[1], port, std::atoi(argv[4]), dir);
    if (argc > 5 && std::string(argv[3]) == "slow")
        return Slow(bh, argv[1], port, std::atoi(argv[4]), std::atoi(argv[5]), dir);

    const fs::path lum = WriteConfig(dir, port, 5000, 1000);
    long listed = 0;
    Compare(
        "online: news.rc 5000, LIST + merge", 5, [&] { listed = GoOnline(bh, lum); },
        [&] {
            Raw raw(argv[1], port);
            if (raw.Command("LIST").rfind("215", 0) != 0)
                std::exit(1);
            raw.Data();
        });
    std::printf("%-40s %ld\n", "groups in the table", listed);

    const int last = PrepareBulk(argv[1], port);
    Raw raw(argv[1], port);
    const std::vector<int> numbers = Newest(last, 1000);
    std::size_t articles = 0;
    CompareOpen("open: GROUP + HEAD x1000, one by one", 5, bh, lum, last, articles, [&] {
        raw.Command("GROUP local.bulk");
        RawPipelinedHeads(raw, numbers, 1);
    });
    CompareOpen("open: GROUP + HEAD x1000, raw pipelined", 5, bh, lum, last, articles, [&] {
        raw.Command("GROUP local.bulk");
        RawPipelinedHeads(raw, numbers, kRawWindow);
    });
    std::printf("%-40s %zu\n", "articles listed", articles);
    fs::remove_all(dir);
    return 0;
}
