// How often the code of undeclared Japanese text is decided right: our
// whole-text decision (DetectTextCode) against nkf --guess, on texts cut
// from the EDICT dictionary (Debian package edict, EUC-JP) and the same
// texts in Shift_JIS (made by iconv), both run here. Also how many EUC-JP
// lines the old per-line rule reads right. Speed is the CPU time for all
// texts, nkf's own start-up included (one process per text, as a reader
// that hands each article to it would pay).
//
//   bench_detect [texts]      default 300 texts per length and code

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "textcodec/ConvertToSjis.h"
#include "textcodec/JapaneseCodes.h"
#include "textcodec/TextCode.h"

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

std::string Run(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    auto tv = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return ts.tv_sec + ts.tv_nsec / 1e9 + tv(ru.ru_utime) + tv(ru.ru_stime);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

} // namespace

int main(int argc, char** argv)
{
    const int perLength = argc > 1 ? std::atoi(argv[1]) : 300;
    const char* edict = "/usr/share/edict/edict";
    if (!std::filesystem::exists(edict) || Run("command -v nkf").empty()) {
        std::fprintf(stderr, "bench_detect: needs %s (package edict) and nkf\n", edict);
        return 1;
    }
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("bench-detect-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    // JIS X 0212 lines have no Shift_JIS form.
    std::string euc;
    for (const std::string& l : Lines(ReadAll(edict)))
        if (l.find('\x8F') == std::string::npos)
            euc += l + "\n";
    WriteAll(dir / "euc", euc);
    Run("iconv -f EUC-JP-MS -t CP932 " + (dir / "euc").string() + " > " + (dir / "sjis").string());
    const std::vector<std::string> eucLines = Lines(euc), sjisLines = Lines(ReadAll(dir / "sjis"));
    if (eucLines.size() != sjisLines.size() || eucLines.size() < 10000) {
        std::fprintf(stderr, "bench_detect: iconv changed the line count\n");
        return 1;
    }

    std::printf("texts cut from EDICT (%zu lines), %d per length and code\n", eucLines.size(), perLength);
    std::printf("%-6s %-10s %12s %12s %14s %14s\n", "lines", "code", "ours right", "nkf right", "ours CPU ms", "nkf CPU ms");
    // Length 0: one headword alone (a short subject), the hardest case.
    for (const int length : {0, 1, 3, 10, 40}) {
        for (const bool isEuc : {true, false}) {
            const std::vector<std::string>& src = isEuc ? eucLines : sjisLines;
            const TextCode want = isEuc ? TextCode::EucJp : TextCode::ShiftJis;
            const std::string nkfWant = isEuc ? "EUC-JP" : "Shift_JIS";
            std::vector<std::string> texts;
            const size_t step = (src.size() - length) / perLength;
            for (int t = 0; t < perLength; ++t) {
                std::string text;
                for (int k = 0; k < std::max(length, 1); ++k)
                    text += src[t * step + k] + "\n";
                if (length == 0)
                    text = text.substr(0, text.find(' '));
                texts.push_back(std::move(text));
            }
            int ours = 0, nkf = 0;
            double start = CpuSeconds();
            for (const std::string& text : texts)
                ours += DetectTextCode(text) == want;
            const double oursMs = (CpuSeconds() - start) * 1000;
            for (size_t t = 0; t < texts.size(); ++t)
                WriteAll(dir / std::to_string(t), texts[t]);
            start = CpuSeconds();
            for (size_t t = 0; t < texts.size(); ++t)
                nkf += Run("nkf --guess " + (dir / std::to_string(t)).string()).starts_with(nkfWant);
            const double nkfMs = (CpuSeconds() - start) * 1000;
            std::printf("%-6s %-10s %11.1f%% %11.1f%% %14.2f %14.1f\n",
                        length ? std::to_string(length).c_str() : "word", isEuc ? "EUC-JP" : "Shift_JIS",
                        100.0 * ours / perLength, 100.0 * nkf / perLength, oursMs, nkfMs);
        }
    }

    // The per-line rule on undeclared EUC-JP, for comparison.
    size_t lineRule = 0;
    for (size_t i = 0; i < eucLines.size(); ++i) {
        std::string out;
        lineRule += ConvertToSjis(out, eucLines[i], eucLines[i].size() + 16, TC_AUTO_SJIS) && out == sjisLines[i];
    }
    std::printf("per-line rule on EUC-JP lines: %.1f%% read right\n", 100.0 * lineRule / eucLines.size());
    std::filesystem::remove_all(dir);
    return 0;
}
