// Posting an article with a 5 MB attachment, next to a raw client sending
// the same bytes in the same run. The article the posting code sends is
// first caught by a one-shot listener, so the raw client sends exactly it.
// Run through run-post-bench.sh, which starts a private INN that takes
// articles of that size.
//
//   bench_post HOST PORT GROUP
#include "news/PostArticle.h"
#include "platform/TempFiles.h"
#include "tools/ToolCommands.h"
#include "RawNntpClient.h"
#include "Timing.h"

#include <arpa/inet.h>

#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {


// Alternates the two so both meet the same load; keeps the best of each.
void Compare(const char* what, int rounds, const std::function<void()>& ours, const std::function<void()>& raw)
{
    double bestOurs = 1e300, bestRaw = 1e300;
    for (int i = 0; i < rounds; ++i) {
        bestOurs = std::min(bestOurs, Time(ours));
        bestRaw = std::min(bestRaw, Time(raw));
    }
    std::printf("%-36s ours %8.1f ms   raw %8.1f ms   ratio %5.2f\n", what, bestOurs, bestRaw, bestOurs / bestRaw);
}

// A server for one posting that keeps what it was sent: greeting, POST, the
// article up to its terminating dot line, QUIT; 500 to any other command.
class Catcher {
public:
    Catcher()
    {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(listen_, reinterpret_cast<sockaddr*>(&a), len) != 0 || listen(listen_, 1) != 0 ||
            getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            std::exit(1);
        port = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~Catcher() { close(listen_); }
    // What was posted, once the posting has ended.
    std::string Take()
    {
        thread_.join();
        return std::move(article_);
    }
    int port = 0;

private:
    void Serve()
    {
        const int fd = accept(listen_, nullptr, nullptr);
        std::string in;
        auto say = [fd](const char* s) { send(fd, s, std::strlen(s), MSG_NOSIGNAL); };
        auto until = [&](const std::string& end) {
            char chunk[65536];
            // Only the new bytes are searched, so a large article costs no more than its reading.
            for (std::size_t from = 0; in.find(end, from) == std::string::npos;) {
                from = in.size() < end.size() ? 0 : in.size() - end.size();
                const long n = recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0)
                    return false;
                in.append(chunk, std::size_t(n));
            }
            return true;
        };
        say("200 catcher ready\r\n");
        // Anything before POST (CAPABILITIES) is not understood: the session goes on without.
        bool post = false;
        while (!post && until("\r\n")) {
            const std::size_t end = in.find("\r\n");
            post = in.compare(0, end, "POST") == 0;
            in.erase(0, end + 2);
            if (!post)
                say("500 not here\r\n");
        }
        if (post) {
            say("340 send it\r\n");
            if (until("\r\n.\r\n")) {
                const std::size_t end = in.find("\r\n.\r\n") + 5;
                article_ = in.substr(0, end);
                in.erase(0, end);
                say("240 caught\r\n");
                if (until("QUIT\r\n"))
                    say("205 bye\r\n");
            }
        }
        close(fd);
    }
    int listen_ = -1;
    std::string article_;
    std::thread thread_;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_post HOST PORT GROUP\n");
        return 2;
    }
    const char* host = argv[1];
    const int port = std::atoi(argv[2]);
    const std::string group = argv[3];
    const fs::path dir = platform::TempDirectory();
    const fs::path attach = dir / "bench-attachment.bin";
    {
        std::mt19937 random(5);
        std::string bytes(5 * 1024 * 1024, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        std::ofstream(attach, std::ios::binary) << bytes;
    }
    news::PostForm form;
    form.newsgroups = group;
    form.subject = "bench: 5 MB attachment";
    form.body = "The attachment follows.\r\n";
    form.attachPath = attach;
    news::PostParams settings;
    settings.strMailAddress = "bench@example.invalid";
    settings.strNntpServer = host;
    settings.nNntpPort = port;

    Catcher catcher;
    news::PostParams local = settings;
    local.strNntpServer = "127.0.0.1";
    local.nNntpPort = catcher.port;
    const bool caught = news::PostArticle(form, local).posted;
    const std::string article = catcher.Take();
    if (!caught || article.empty())
        return std::fprintf(stderr, "the catcher got no article\n"), 1;
    std::printf("%-36s %zu bytes on the wire\n", "article with a 5 MB attachment", article.size());
    // Our side alone: encoding and sending to a listener that only reads.
    double alone = 1e300;
    for (int i = 0; i < 3; ++i) {
        Catcher sink;
        local.nNntpPort = sink.port;
        alone = std::min(alone, Time([&] { news::PostArticle(form, local); }));
        sink.Take();
    }
    std::printf("%-36s ours %8.1f ms\n", "post to a listener that only reads", alone);

    auto raw = [&] {
        RawNntp nntp(host, port);
        if (nntp.Command("POST").rfind("340", 0) != 0)
            std::exit(1);
        nntp.Send(article);
        const std::string reply = nntp.Line();
        if (reply.rfind("240", 0) != 0)
            std::fprintf(stderr, "raw: %s", reply.c_str()), std::exit(1);
    };
    Compare("post (news::PostArticle)", 7,
            [&] {
                const news::PostOutcome outcome = news::PostArticle(form, settings);
                if (!outcome.posted)
                    std::fprintf(stderr, "ours: %s\n", outcome.serverReply.c_str()), std::exit(1);
            },
            raw);
    Compare("post (lumetra-tool post --attach)", 7,
            [&] {
                std::istringstream in(form.body);
                std::ostringstream out, err;
                if (tools::PostCommand({"--server", host, "--port", std::to_string(port), "--group", group, "--subject",
                                        form.subject, "--attach", attach.string()},
                                       in, out, err) != 0)
                    std::fprintf(stderr, "tool: %s", err.str().c_str()), std::exit(1);
            },
            raw);
    fs::remove(attach);
    return 0;
}
