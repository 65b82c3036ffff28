// The document over TLS next to the same over plain TCP, against the same
// INN in the same run: going online with a large group list, opening a group
// of 1000 articles and reading 1000 articles. Run through run-tls-bench.sh.
//
//   bench_tls PLAIN_PORT TLS_PORT CA_FILE
#include "news/LumeDoc.h"
#include "RawNntpClient.h"
#include "StderrHost.h"
#include "Timing.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

using namespace news;
namespace fs = std::filesystem;

namespace {

// Alternates the two so both meet the same load; keeps the best of each.
void Compare(const char* what, int rounds, const std::function<void(bool tls)>& run)
{
    double best[2] = {1e300, 1e300};
    for (int i = 0; i < rounds; ++i)
        for (int tls = 0; tls < 2; ++tls)
            best[tls] = std::min(best[tls], Time([&] { run(tls == 1); }));
    std::printf("%-36s tls %8.1f ms   plain %8.1f ms   ratio %5.2f\n", what, best[1], best[0], best[1] / best[0]);
}

void Fail(const char* what)
{
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_tls PLAIN_PORT TLS_PORT CA_FILE\n");
        return 2;
    }
    const int ports[2] = {std::atoi(argv[1]), std::atoi(argv[2])};
    const std::string caFile = argv[3];
    StderrHost host;
    const fs::path dir = fs::temp_directory_path() / ("lumetra-tls-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    auto makeDoc = [&](bool tls) {
        auto doc = std::make_unique<CLumeDoc>(&host, host.registry);
        doc->OnNewDocument();
        LumeConfig& c = doc->Config();
        c.strNntpServer = "localhost";
        c.nNntpPort = ports[tls];
        c.nSecurity = static_cast<int>(tls ? net::Security::Tls : net::Security::None);
        c.nMaxReadArtcleCount = 1000;
        c.bShowOldArticle = false;
        doc->Nntp().Tcp().SetCaFile(caFile);
        return doc;
    };

    std::size_t listed[2] = {};
    Compare("online: LIST + merge", 5, [&](bool tls) {
        auto doc = makeDoc(tls);
        if (!doc->GoOnline({}))
            Fail("going online");
        listed[tls] = doc->Groups().GetCount();
    });
    std::printf("%-36s tls %zu   plain %zu\n", "groups in the table", listed[1], listed[0]);

    // 1000 articles in local.bulk.
    int last = 0;
    {
        RawNntp setup("127.0.0.1", ports[0]);
        int c = 0, f = 0;
        std::sscanf(setup.Command("GROUP local.bulk").c_str(), "211 %d %d %d", &c, &f, &last);
        for (int i = c; i < 1000; ++i) {
            setup.Command("POST");
            setup.Command("From: bench@example.invalid\r\nNewsgroups: local.bulk\r\nSubject: bench " +
                          std::to_string(i) + "\r\n\r\n" + std::string(2000, 'x') + "\r\n.");
        }
        std::sscanf(setup.Command("GROUP local.bulk").c_str(), "211 %d %d %d", &c, &f, &last);
    }
    std::unique_ptr<CLumeDoc> docs[2] = {makeDoc(false), makeDoc(true)};
    for (auto& d : docs)
        if (!d->GoOnline({}))
            Fail("going online");
    std::size_t articles[2] = {};
    Compare("open: GROUP + HEAD x1000", 5, [&](bool tls) {
        CLumeDoc& doc = *docs[tls];
        CNewsGroup* bulk = doc.Groups().Find("local.bulk");
        doc.SetCurrentGroup(nullptr);
        bulk->m_strReadList = "1-" + std::to_string(last - 1000);
        doc.SetCurrentGroup(bulk);
        if (!doc.OpenCurrentGroup())
            Fail("opening the group");
        articles[tls] = doc.Articles().size();
    });
    std::printf("%-36s tls %zu   plain %zu\n", "articles listed", articles[1], articles[0]);
    // The same round trips from a minimal client on OpenSSL's blocking TLS:
    // what the server's TLS costs whoever the client is.
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr);
    RawNntp raws[2] = {RawNntp("127.0.0.1", ports[0]), RawNntp("127.0.0.1", ports[1], ctx)};
    Compare("raw peer: GROUP + HEAD x1000", 5, [&](bool tls) {
        raws[tls].Command("GROUP local.bulk");
        for (int n = last; n > last - 1000; --n) {
            if (raws[tls].Command("HEAD " + std::to_string(n)).rfind("221", 0) != 0)
                Fail("HEAD");
            raws[tls].Data();
        }
    });
    Compare("read: ARTICLE x1000 into the cache", 3, [&](bool tls) {
        for (int n = last; n > last - 1000; --n)
            if (docs[tls]->FetchArticleBody(n, dir / "mes") != BodyFetch::Arrived)
                Fail("reading an article");
    });
    Compare("raw peer: ARTICLE x1000", 3, [&](bool tls) {
        for (int n = last; n > last - 1000; --n) {
            if (raws[tls].Command("ARTICLE " + std::to_string(n)).rfind("220", 0) != 0)
                Fail("ARTICLE");
            raws[tls].Data();
        }
    });
    fs::remove_all(dir);
    SSL_CTX_free(ctx);
    return 0;
}
