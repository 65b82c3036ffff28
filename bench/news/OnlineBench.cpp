// Going online and opening a group with the document, next to a minimal raw
// client doing the same commands in the same run. Run through
// run-online-bench.sh, which starts a private INN with a large group list.
//
//   bench_online HOST PORT            speed: LIST and GROUP + HEAD x1000
//   bench_online HOST PORT memory     peak memory of going online
#include "news/LumeDoc.h"
#include "RawNntpClient.h"

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

using namespace news;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

using Raw = RawNntp;

struct BenchHost : DocumentHost {
    const char* host;
    int ShowMessage(unsigned id, MessageIcon, const std::vector<std::string>&) override
    {
        std::fprintf(stderr, "message %u\n", id);
        return IDOK;
    }
    int ShowMessageText(const std::string& text, MessageIcon) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
        return IDOK;
    }
    int ConnectServer(const std::string&, int port) override { return RawConnect(host, port); }
};

double Time(const std::function<void()>& f)
{
    auto t = Clock::now();
    f();
    return Ms(Clock::now() - t);
}

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

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_online HOST PORT [memory]\n");
        return 2;
    }
    BenchHost bh;
    bh.host = argv[1];
    const int port = std::atoi(argv[2]);
    const fs::path dir = fs::temp_directory_path() / ("lumetra-online-bench-" + std::to_string(getpid()));

    if (argc > 3 && std::string(argv[3]) == "memory") {
        const long before = PeakKiB();
        const fs::path lum = WriteConfig(dir, port, 0, 50);
        CLumeDoc doc(&bh);
        doc.OnOpenDocument(lum);
        if (!doc.GoOnline(lum))
            return 1;
        std::printf("%-40s %zu groups: peak %.1f MB (%.1f MB before going online)\n", "memory", doc.Groups().GetCount(),
                    PeakKiB() / 1024.0, before / 1024.0);
        fs::remove_all(dir);
        return 0;
    }

    const fs::path lum = WriteConfig(dir, port, 5000, 1000);
    long listed = 0;
    Compare(
        "online: news.rc 5000, LIST + merge", 5,
        [&] {
            CLumeDoc doc(&bh);
            doc.OnOpenDocument(lum);
            if (!doc.GoOnline(lum)) {
                std::fprintf(stderr, "going online failed\n");
                std::exit(1);
            }
            listed = static_cast<long>(doc.Groups().GetCount());
        },
        [&] {
            Raw raw(argv[1], port);
            if (raw.Command("LIST").rfind("215", 0) != 0)
                std::exit(1);
            raw.Data();
        });
    std::printf("%-40s %ld\n", "groups in the table", listed);

    // 1000 unread articles in local.bulk.
    int last = 0;
    {
        Raw setup(argv[1], port);
        int c = 0, f = 0;
        std::sscanf(setup.Command("GROUP local.bulk").c_str(), "211 %d %d %d", &c, &f, &last);
        for (int i = c; i < 1000; ++i) {
            setup.Command("POST");
            setup.Command("From: bench@example.invalid\r\nNewsgroups: local.bulk\r\nSubject: bench " +
                          std::to_string(i) + "\r\n\r\nbody\r\n.");
        }
        std::sscanf(setup.Command("GROUP local.bulk").c_str(), "211 %d %d %d", &c, &f, &last);
    }
    CLumeDoc doc(&bh);
    doc.OnOpenDocument(lum);
    if (!doc.GoOnline(lum))
        return 1;
    CNewsGroup* bulk = doc.Groups().Find("local.bulk");
    Raw raw(argv[1], port);
    std::size_t articles = 0;
    Compare(
        "open: GROUP + HEAD x1000, limit 1000", 5,
        [&] {
            doc.SetCurrentGroup(nullptr);
            bulk->m_strReadList = "1-" + std::to_string(last - 1000);
            doc.SetCurrentGroup(bulk);
            if (!doc.OpenCurrentGroup())
                std::exit(1);
            articles = doc.Articles().size();
        },
        [&] {
            raw.Command("GROUP local.bulk");
            for (int n = last; n > last - 1000; --n) {
                if (raw.Command("HEAD " + std::to_string(n)).rfind("221", 0) != 0)
                    std::exit(1);
                raw.Data();
            }
        });
    std::printf("%-40s %zu\n", "articles listed", articles);
    fs::remove_all(dir);
    return 0;
}
