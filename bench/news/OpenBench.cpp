// Opening a large group with the document against a raw client doing one
// OVER of the same range in the same run, and reopening it from the header
// store after a restart. Run through run-open-bench.sh, which fills
// local.bulk with articles of today's header sizes.
//
//   bench_open HOST PORT FARPORT COUNT   open COUNT by OVER on loopback (plain)
//                                        and through FARPORT (COMPRESS both);
//                                        reopen 1000 and COUNT with 100 new
//   bench_open HOST PORT near COUNT      only the loopback open (for profiling)
//   bench_open HOST PORT store COUNT     COUNT from the store: time, peak memory
#include "news/LumeDoc.h"
#include "RawCompressed.h"
#include "StderrHost.h"
#include "Timing.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace news;
namespace fs = std::filesystem;

namespace {

// INN compresses only sessions that logged in first.
struct LoginHost : StderrHost {
    bool AskLogin(const net::LoginRequest&, std::string& user, std::string& password) override
    {
        user = "tester";
        password = "lumetra-secret";
        return true;
    }
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

long KiB(const char* key)
{
    std::ifstream in("/proc/self/status");
    for (std::string k; in >> k;) {
        long v;
        if (k == key && in >> v)
            return v;
        std::getline(in, k);
    }
    return -1;
}

double CpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// The peak memory from here on is measured from what is in use now.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

int Last(const char* host, int port, int* first = nullptr)
{
    RawNntp raw(host, port);
    int c = 0, f = 0, l = 0;
    std::sscanf(raw.Command("GROUP local.bulk").c_str(), "211 %d %d %d", &c, &f, &l);
    if (first)
        *first = f;
    return l;
}

void PostNew(const char* host, int port, int count)
{
    RawNntp raw(host, port);
    for (int i = 0; i < count; ++i) {
        raw.Command("POST");
        raw.Command("From: bench@example.invalid\r\nNewsgroups: local.bulk\r\nSubject: new " + std::to_string(i) +
                    "\r\n\r\nbody\r\n.");
    }
}

// A configuration whose news.rc has local.bulk read up to readTo.
fs::path Config(const fs::path& dir, int port, bool compress, int readTo)
{
    fs::create_directories(dir);
    std::ofstream(dir / "bench.lum") << "[config]\r\nstrNntpServer=bench\r\nnNntpPort=" << port
                                     << "\r\nstrMarkFile=news.rc\r\nnMaxReadArtcleCount=1000000\r\nbShowOldArticle=NO"
                                     << "\r\nbCompress=" << (compress ? "YES" : "NO")
                                     << (compress ? "\r\nstrUserName=tester\r\nbAllowPlainPassword=YES" : "")
                                     << "\r\n";
    std::ofstream(dir / "news.rc", std::ios::binary) << "local.bulk: 1-" << readTo << "\r\n";
    return dir / "bench.lum";
}

// One open of local.bulk by a document that has just gone online (a
// restart); store empty for none. Returns ms, articles in listed and, when
// asked, the processor time of the open alone.
double OpenOnce(StderrHost& host, const fs::path& lum, const fs::path& store, std::size_t& listed,
                double* cpuMs = nullptr)
{
    CLumeDoc doc(&host, host.registry);
    doc.OnOpenDocument(lum);
    if (!store.empty())
        doc.UseHeaderStore(store);
    if (!doc.GoOnline(lum))
        std::exit(1);
    CNewsGroup* bulk = doc.Groups().Find("local.bulk");
    doc.SetCurrentGroup(bulk);
    const double cpuBefore = CpuMs();
    const double ms = Time([&] {
        if (!doc.OpenCurrentGroup())
            std::exit(1);
    });
    if (cpuMs)
        *cpuMs = CpuMs() - cpuBefore;
    listed = doc.Articles().size();
    doc.GoOffline();
    return ms;
}

void Row(const char* what, double ours, double raw, std::size_t listed)
{
    std::printf("%-44s ours %8.1f ms  raw %8.1f ms  ratio %5.2f  (%zu listed)\n", what, ours, raw, ours / raw, listed);
}

// Timed as ours is, from a session already set up: GROUP, then OVER.
template <class RawClient>
double RawOver(const char* host, int port, const std::string& range)
{
    RawClient raw(host, port);
    raw.Command("MODE READER");
    return Time([&] {
        raw.Command("GROUP local.bulk");
        if (raw.Command("OVER " + range).rfind("224", 0) != 0)
            std::exit(1);
        std::size_t bytes = 0;
        raw.Data(&bytes);
    });
}

// Ours and raw alternately, so both meet the same load; medians.
template <class RawClient>
void CompareOpen(const char* what, int rounds, LoginHost& host, const fs::path& lum, const char* server, int port,
                 const std::string& range)
{
    std::vector<double> ours, raw, cpu;
    std::size_t listed = 0;
    for (int i = 0; i < rounds; ++i) {
        double openCpu = 0;
        ours.push_back(OpenOnce(host, lum, {}, listed, &openCpu));
        cpu.push_back(openCpu);
        raw.push_back(RawOver<RawClient>(server, port, range));
    }
    Row(what, Median(ours), Median(raw), listed);
    std::printf("%-44s our processor time in the open: %.1f ms\n", "", Median(cpu));
}

// Opens `count` newest through the far link into a fresh store, then each
// round posts 100 new articles and opens again after a restart.
void Reopen(LoginHost& host, const char* server, int port, int farPort, int count, const fs::path& dir)
{
    const fs::path store = dir / "headers.sqlite";
    fs::remove_all(dir);
    const fs::path lum = Config(dir, farPort, true, Last(server, port) - count);
    std::size_t listed = 0;
    const double first = OpenOnce(host, lum, store, listed);
    std::vector<double> times;
    for (int i = 0; i < 3; ++i) {
        PostNew(server, port, 100);
        times.push_back(OpenOnce(host, lum, store, listed));
    }
    char what[96];
    std::snprintf(what, sizeof what, "200 ms: reopen %d + 100 new from the store", count);
    std::printf("%-44s %8.1f ms median of %zu (first open %.1f ms, %zu listed)\n", what, Median(times), times.size(),
                first, listed);
}

int Store(LoginHost& host, const char* server, int port, int count, const fs::path& dir)
{
    const fs::path store = dir / "headers.sqlite";
    fs::remove_all(dir);
    const fs::path lum = Config(dir, port, false, std::max(Last(server, port) - count, 0));
    std::size_t listed = 0;
    const double fill = OpenOnce(host, lum, store, listed);
    std::vector<double> times, cpu;
    long peak = 0, base = 0;
    for (int i = 0; i < 3; ++i) {
        base = KiB("VmRSS:");
        ResetPeak();
        const double before = CpuMs();
        times.push_back(OpenOnce(host, lum, store, listed));
        cpu.push_back(CpuMs() - before);
        peak = std::max(peak, KiB("VmHWM:") - base);
    }
    std::printf("loopback: %zu from the store after a restart: %.1f ms median (first open by OVER %.1f ms); "
                "peak memory %.1f MB above the %.1f MB before; processor time, going online included: %.1f ms\n",
                listed, Median(times), fill, peak / 1024.0, base / 1024.0, Median(cpu));
    fs::remove_all(dir);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: bench_open HOST PORT FARPORT|store COUNT\n");
        return 2;
    }
    LoginHost host;
    host.host = argv[1];
    const int port = std::atoi(argv[2]);
    const int count = std::atoi(argv[4]);
    const fs::path dir = fs::temp_directory_path() / ("lumetra-open-bench-" + std::to_string(getpid()));
    if (std::string(argv[3]) == "store")
        return Store(host, argv[1], port, count, dir);
    const int farPort = std::atoi(argv[3]);

    const int last = Last(argv[1], port);
    const std::string range = std::to_string(last - count + 1) + "-" + std::to_string(last);
    // Untimed: the server reads its overview from disk once, for nobody's account.
    RawOver<RawNntp>(argv[1], port, range);
    char what[96];
    std::snprintf(what, sizeof what, "loopback: open %d by OVER", count);
    CompareOpen<RawNntp>(what, 9, host, Config(dir / "near", port, false, last - count), argv[1], port, range);
    if (std::string(argv[3]) == "near")
        return 0;
    std::snprintf(what, sizeof what, "200 ms, 10 Mbit/s, COMPRESS: open %d", count);
    CompareOpen<RawCompressed>(what, 3, host, Config(dir / "far", farPort, true, last - count), argv[1], farPort,
                               range);
    Reopen(host, argv[1], port, farPort, 1000, dir / "reopen");
    Reopen(host, argv[1], port, farPort, count, dir / "reopen");
    fs::remove_all(dir);
    return 0;
}
