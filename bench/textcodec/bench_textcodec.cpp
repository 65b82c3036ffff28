// Throughput of the Japanese converters and the Base64 line decoder against
// glibc iconv (in process), nkf and coreutils base64 (as programs), on the
// EDICT dictionary (Debian package edict) repeated to 40 MB or more.
// Figures are MB of input per CPU second (the programs' own CPU time
// included; the shell that starts them adds a little to theirs).
//
// Also: header values of 100 000 encoded words, against Python's email
// package (as a program), to show decoding stays linear.
//
//   bench_textcodec [copies]      default 3 copies (about 57 MB)

#include <iconv.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>

#include "textcodec/Base64.h"
#include "textcodec/ConvertFromSjis.h"
#include "textcodec/ConvertToSjis.h"
#include "textcodec/HeaderWords.h"

using namespace textcodec;

namespace {

std::string ReadAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::filesystem::path& p, const std::string& s)
{
    std::ofstream(p, std::ios::binary).write(s.data(), static_cast<std::streamsize>(s.size()));
}

// CPU seconds of this process and of its waited-for children: the machine
// is shared, so wall-clock time would measure the neighbours too.
double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    auto tv = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return ts.tv_sec + ts.tv_nsec / 1e9 + tv(ru.ru_utime) + tv(ru.ru_stime);
}

// Best of three runs, in MB/s of input per CPU second.
double Rate(size_t bytes, const std::function<void()>& run)
{
    double best = 1e100;
    for (int i = 0; i < 3; ++i) {
        double t0 = CpuSeconds();
        run();
        double s = CpuSeconds() - t0;
        if (s < best)
            best = s;
    }
    return bytes / best / 1e6;
}

std::string Iconv(const char* from, const char* to, const std::string& in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::perror("iconv_open");
        std::exit(1);
    }
    std::string out(in.size() * 2 + 16, '\0');
    char* ip = const_cast<char*>(in.data());
    size_t il = in.size();
    char* op = out.data();
    size_t ol = out.size();
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) {
        std::perror("iconv");
        std::exit(1);
    }
    iconv(cd, nullptr, nullptr, &op, &ol);
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}

bool Shell(const std::string& cmd) { return std::system(cmd.c_str()) == 0; }

void Row(const char* what, double ours, const char* peer, double theirs)
{
    std::printf("%-34s ours %8.1f MB/s   %-22s %8.1f MB/s   ratio %5.2fx\n", what, ours, peer, theirs,
                ours / theirs);
}

} // namespace

void HeaderWordRows()
{
    std::string q, b;
    for (int i = 0; i < 100000; ++i) {
        q += "=?ISO-2022-JP?Q?=1B$B$\"=1B(B?= ";
        b += "=?UTF-8?B?5pel?= ";
    }
    char dirTemplate[] = "/tmp/lumetra-bench.XXXXXX";
    std::filesystem::path dir = mkdtemp(dirTemplate);
    const bool havePython = Shell("python3 -c 'import email.header' 2>/dev/null");
    for (const auto& [what, value] : {std::pair{"100000 ISO-2022-JP Q words", &q}, std::pair{"100000 UTF-8 B words", &b}}) {
        WriteAll(dir / "h", *value);
        std::string out;
        const double ours = Rate(value->size(), [&] { out = DecodeHeaderToSjis(*value); });
        const double peer = havePython ? Rate(value->size(), [&] {
            Shell("python3 -c 'import sys, email.header; email.header.decode_header(open(sys.argv[1]).read())' " +
                  (dir / "h").string());
        }) : 0;
        Row(what, ours, "python3 decode_header", peer);
    }
    std::filesystem::remove_all(dir);
}

int main(int argc, char** argv)
{
    int copies = argc > 1 ? std::atoi(argv[1]) : 3;
    HeaderWordRows();
    const char* edict = "/usr/share/edict/edict";
    if (!std::filesystem::exists(edict)) {
        std::fprintf(stderr, "bench_textcodec: %s missing (install the edict package)\n", edict);
        return 1;
    }
    // JIS X 0212 lines are outside what both sides convert.
    std::string raw = ReadAll(edict), one;
    for (size_t pos = 0; pos < raw.size();) {
        size_t lf = raw.find('\n', pos);
        size_t end = lf == std::string::npos ? raw.size() : lf + 1;
        std::string_view line(raw.data() + pos, end - pos);
        if (line.find('\x8F') == std::string_view::npos)
            one.append(line);
        pos = end;
    }
    std::string euc;
    for (int i = 0; i < copies; ++i)
        euc += one;
    std::string jis = Iconv("EUC-JP", "ISO-2022-JP", euc);
    std::string sjis = Iconv("EUC-JP", "SHIFT_JIS", euc);
    std::printf("corpus: EDICT x%d: EUC-JP %.1f MB, ISO-2022-JP %.1f MB, Shift_JIS %.1f MB\n", copies,
                euc.size() / 1e6, jis.size() / 1e6, sjis.size() / 1e6);

    char dirTemplate[] = "/tmp/lumetra-bench.XXXXXX";
    std::filesystem::path dir = mkdtemp(dirTemplate);
    WriteAll(dir / "jis", jis);
    WriteAll(dir / "euc", euc);
    bool haveNkf = Shell("command -v nkf >/dev/null 2>&1");
    bool haveBase64 = Shell("command -v base64 >/dev/null 2>&1");

    std::string out;
    double oursJis = Rate(jis.size(), [&] { ConvertToSjis(out, jis, jis.size(), TC_AUTO_SJIS); });
    double iconvJis = Rate(jis.size(), [&] { Iconv("ISO-2022-JP", "SHIFT_JIS", jis); });
    Row("ISO-2022-JP -> Shift_JIS", oursJis, "iconv", iconvJis);
    if (haveNkf) {
        double nkfJis = Rate(jis.size(), [&] { Shell("nkf -J -s -x " + (dir / "jis").string() + " >/dev/null"); });
        Row("ISO-2022-JP -> Shift_JIS", oursJis, "nkf -J -s", nkfJis);
    }
    double oursEuc = Rate(euc.size(), [&] { ConvertToSjis(out, euc, euc.size(), TC_AUTO); });
    double iconvEuc = Rate(euc.size(), [&] { Iconv("EUC-JP", "SHIFT_JIS", euc); });
    Row("EUC-JP (auto) -> Shift_JIS", oursEuc, "iconv EUC-JP", iconvEuc);
    if (haveNkf) {
        double nkfEuc = Rate(euc.size(), [&] { Shell("nkf -s -x " + (dir / "euc").string() + " >/dev/null"); });
        Row("EUC-JP (auto) -> Shift_JIS", oursEuc, "nkf -s", nkfEuc);
    }
    double oursOut = Rate(sjis.size(), [&] { out = ConvertFromSjis(sjis, KanjiCode::Jis); });
    double iconvOut = Rate(sjis.size(), [&] { Iconv("SHIFT_JIS", "ISO-2022-JP", sjis); });
    Row("Shift_JIS -> ISO-2022-JP", oursOut, "iconv", iconvOut);

    if (haveBase64) {
        Shell("base64 -w 76 " + (dir / "euc").string() + " > " + (dir / "b64").string());
        std::string b64 = ReadAll(dir / "b64");
        double oursB64 = Rate(b64.size(), [&] {
            std::string line;
            size_t total = 0;
            for (size_t pos = 0; pos < b64.size();) {
                size_t lf = b64.find('\n', pos);
                size_t end = lf == std::string::npos ? b64.size() : lf;
                total += Base64DecodeLine(line, std::string_view(b64.data() + pos, end - pos));
                pos = end + 1;
            }
            if (total != euc.size())
                std::fprintf(stderr, "Base64 size mismatch\n");
        });
        double peerB64 = Rate(b64.size(), [&] { Shell("base64 -d " + (dir / "b64").string() + " >/dev/null"); });
        Row("Base64 decode, 76 columns", oursB64, "coreutils base64 -d", peerB64);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
