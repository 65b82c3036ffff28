// Loading and saving a read-marks file of 100 000 groups, against a plain read
// and a plain synced write of the same bytes, in one run.
//   bench_news [GROUPS]

#include "news/ReadMarksFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace news;

namespace fs = std::filesystem;

namespace {

double Since(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

bool WriteSynced(const fs::path& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool ok = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                    ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

std::string ReadWhole(const fs::path& path)
{
    std::string out;
    const int fd = ::open(path.c_str(), O_RDONLY);
    char buf[65536];
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<std::size_t>(n));
    if (fd >= 0)
        ::close(fd);
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    const int groups = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::string templ = (fs::temp_directory_path() / "bench-news-XXXXXX").string();
    const fs::path dir = ::mkdtemp(templ.data());

    std::string file;
    for (int i = 0; i < groups; ++i)
        file += "fj.bench.group" + std::to_string(i) + (i % 3 ? ": 1-" : "! 1-") + std::to_string(1000 + i) + "," +
                std::to_string(1002 + i) + "-" + std::to_string(1010 + i) + "\r\n";
    WriteSynced(dir / "news.rc", file);

    auto t = std::chrono::steady_clock::now();
    const std::string plain = ReadWhole(dir / "news.rc");
    const double plainRead = Since(t);
    t = std::chrono::steady_clock::now();
    WriteSynced(dir / "plain.out", plain);
    const double plainWrite = Since(t);

    CGroupTable table;
    t = std::chrono::steady_clock::now();
    const bool loaded = LoadReadMarksFile(dir / "news.rc", table, nullptr) == ReadMarksLoad::Loaded;
    const double load = Since(t);
    t = std::chrono::steady_clock::now();
    const bool saved = SaveReadMarksFile(dir / "news.rc", table, nullptr);
    const double save = Since(t);
    const bool same = ReadWhole(dir / "news.rc") == file;
    fs::remove_all(dir);

    std::printf("read-marks file: %d groups, %zu bytes\n"
                "  load %7.1f ms   plain read          %6.1f ms   ratio %.1f\n"
                "  save %7.1f ms   plain synced write  %6.1f ms   ratio %.1f\n",
                groups, file.size(), load, plainRead, load / plainRead, save, plainWrite, save / plainWrite);
    if (!loaded || !saved || !same || table.GetCount() != static_cast<std::size_t>(groups)) {
        std::fprintf(stderr, "bench_news: the file did not load and save back unchanged\n");
        return 1;
    }
    return 0;
}
