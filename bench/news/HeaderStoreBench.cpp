// 100 000 stored headers of one group loaded as the article list would
// after a restart: the time to open the store and load them, and the
// process's peak memory. The store is filled by a child process first, so
// the peak is the loader's own.
//   bench_headerstore [COUNT]
#include "Timing.h"

#include "news/HeaderStore.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace news;

namespace {

// Sizes as a Japanese group's overview gives them.
HeaderRecord Record(int n)
{
    HeaderRecord r;
    r.number = n;
    r.messageId = "<" + std::to_string(n) + ".bench@news.example.jp>";
    r.references = "<" + std::to_string(n / 10) + ".bench@news.example.jp> <" + std::to_string(n - 1) +
                   ".bench@news.example.jp>";
    r.subject = "Re: \x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x58\x83\x67 " + std::to_string(n % 977);
    r.from = "\x8e\x52\x93\x63\x91\xbe\x98\x59 <user" + std::to_string(n % 311) + "@example.jp>";
    r.xref = "news.example.jp fj.test:" + std::to_string(n);
    r.date = 1700000000 + n * 60;
    return r;
}

long PeakKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    char tmpl[] = "/tmp/lumetra-store-bench.XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    const std::filesystem::path file = std::filesystem::path(tmpl) / "headers.sqlite";
    const std::string server = HeaderStore::ServerKey("news.example.jp", 119);

    const double fill = [&] {
        const auto t = Clock::now();
        if (const pid_t child = fork(); child == 0) {
            HeaderStore store;
            if (!store.Open(file))
                _exit(1);
            std::vector<HeaderRecord> batch;
            for (int n = 1; n <= count; ++n) {
                batch.push_back(Record(n));
                if (batch.size() == 1000 || n == count) {
                    if (!store.Add(server, "fj.test", batch))
                        _exit(1);
                    batch.clear();
                }
            }
            _exit(0);
        } else {
            int status = 0;
            waitpid(child, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                std::fprintf(stderr, "filling the store failed\n");
                std::exit(1);
            }
        }
        return Ms(Clock::now() - t);
    }();

    const long before = PeakKb();
    std::size_t loaded = 0;
    std::vector<CArticle> articles;
    double open = 0;
    const double load = Time([&] {
        HeaderStore store;
        open = Time([&] {
            if (!store.Open(file))
                std::exit(1);
        });
        const auto records = store.Load(server, "fj.test");
        loaded = records.size();
        // Into the article list's own records, as the fetch would.
        articles.reserve(records.size());
        for (const HeaderRecord& r : records)
            articles.push_back(ArticleOf(r));
    });
    const long after = PeakKb();
    std::printf("store of %d records: filled in %.0f ms (batches of 1000, one process), %.1f MB on disk\n", count,
                fill, double(std::filesystem::file_size(file)) / 1e6);
    std::printf("open (with its check) + load %zu records + article list: %.1f ms (open %.1f ms), peak memory %.1f MB "
                "(%.1f MB before)\n",
                loaded, load, open, after / 1024.0, before / 1024.0);
    std::filesystem::remove_all(tmpl);
    return loaded == std::size_t(count) ? 0 : 1;
}
