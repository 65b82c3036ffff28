// Opening a group of many articles with the read limit lifted: the document
// fetches every header from an in-process server on loopback (threads of
// random depth, numbers in random order, crossposts, scattered read marks),
// then the article list threads and lists them. Each stage is timed next to
// its peer in the same run: a bare client doing the same GROUP and HEADs,
// and a hash-map threading with std::sort into a QTreeWidget.
//
//   QT_QPA_PLATFORM=offscreen build/bench/ui/bench_open_group [ARTICLES]
#include "news/Article.h"
#include "news/LumeDoc.h"
#include "news/ReadList.h"
#include "textcodec/Base64.h"
#include "ui/CArticleListBox.h"
#include "widgets/TreeListImages.h"
#include "RawNntpClient.h"
#include "StderrHost.h"
#include "Timing.h"

#include <QApplication>
#include <QTreeWidget>

#include <arpa/inet.h>
#include <iconv.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

using namespace news;
namespace fs = std::filesystem;

namespace {


double PeakMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

struct Art {
    int number = 0;
    int parent = -1; // index of the parent, -1 for a thread start
    int thread = 0;
    bool lostParent = false; // refers to an expired article
    bool crossposted = false;
    int idOf = -1;           // shares the Message-ID of this article
};

std::string Jis(const std::string& utf8)
{
    iconv_t cd = iconv_open("ISO-2022-JP", "UTF-8");
    std::string in = utf8, out(utf8.size() * 4 + 16, '\0');
    char* ip = in.data();
    char* op = out.data();
    size_t il = in.size(), ol = out.size();
    iconv(cd, &ip, &il, &op, &ol);
    iconv(cd, nullptr, nullptr, &op, &ol);
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}

class Group {
public:
    explicit Group(int count) : arts_(count)
    {
        std::mt19937 rng(20261206);
        std::vector<int> numbers(count);
        for (int i = 0; i < count; ++i)
            numbers[i] = i + 1;
        std::shuffle(numbers.begin(), numbers.end(), rng);
        std::vector<std::vector<int>> threads; // members of each thread
        for (int i = 0; i < count; ++i) {
            Art& a = arts_[i];
            a.number = numbers[i];
            byNumber_[a.number] = i;
            if (i == 0 || rng() % 100 < 25) {
                a.thread = int(threads.size());
                threads.emplace_back();
            } else {
                // A reply to any article of a recent thread: depth grows
                // with the thread, as in a discussion.
                const int recent = std::min<int>(int(threads.size()), 500);
                a.thread = int(threads.size()) - 1 - int(rng() % unsigned(recent));
                const auto& members = threads[a.thread];
                a.parent = members[rng() % members.size()];
                a.lostParent = rng() % 100 < 3;
            }
            threads[a.thread].push_back(i);
            a.crossposted = rng() % 100 < 10;
            if (i > 1000 && rng() % 10000 == 0)
                a.idOf = int(rng() % 1000);
        }
        const char* topics[] = {"ニュースリーダーの設定について", "漢字コードの変換", "新しいサーバーの案内",
                                "記事の投稿テスト", "文字化けの相談", "週末の集まり"};
        for (const char* t : topics)
            words_.push_back("=?ISO-2022-JP?B?" + textcodec::Base64EncodeLine(Jis(t)).substr(0) + "?=");
        for (auto& w : words_)
            w.erase(std::remove(w.begin(), w.end(), '\n'), w.end());
    }

    int Count() const { return int(arts_.size()); }
    const Art* ByNumber(int n) const
    {
        auto it = byNumber_.find(n);
        return it == byNumber_.end() ? nullptr : &arts_[it->second];
    }
    std::string Id(int index) const
    {
        const Art& a = arts_[index];
        std::string id = "<";
        id += std::to_string(a.idOf >= 0 ? arts_[a.idOf].number : a.number);
        return id + ".bench@example.jp>";
    }
    std::string Header(const Art& a) const
    {
        const int index = int(&a - arts_.data());
        std::string h = "Path: news.example.jp!not-for-mail\r\nFrom: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <user" +
                        std::to_string(a.thread % 997) + "@example.jp>\r\nNewsgroups: fj.test.big" +
                        (a.crossposted ? ",fj.test.other" : "") + "\r\nSubject: " +
                        (a.parent >= 0 ? "Re: " : "") + words_[a.thread % words_.size()] + " " +
                        std::to_string(a.thread) + "\r\nDate: Sun, " + std::to_string(1 + index % 28) +
                        " Nov 2026 12:" + std::to_string(10 + index % 50) + ":00 +0900\r\n";
        h += "Organization: Bench\r\nLines: 12\r\nMessage-ID: " + Id(index) + "\r\n";
        if (a.parent >= 0) {
            std::vector<std::string> chain;
            for (int p = a.parent; p >= 0 && chain.size() < 10; p = arts_[p].parent)
                chain.push_back(Id(p));
            if (a.lostParent)
                chain.front() = "<expired." + std::to_string(index) + "@example.jp>";
            h += "References:";
            for (auto it = chain.rbegin(); it != chain.rend(); ++it)
                h += " " + *it;
            h += "\r\n";
        }
        h += "Xref: news.example.jp fj.test.big:" + std::to_string(a.number);
        if (a.crossposted)
            h += " fj.test.other:" + std::to_string(index + 1);
        h += "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n"
             "Content-Transfer-Encoding: 7bit\r\nUser-Agent: bench/1.0\r\n";
        return h;
    }
    const std::vector<Art>& Arts() const { return arts_; }

private:
    std::vector<Art> arts_;
    std::unordered_map<int, int> byNumber_;
    std::vector<std::string> words_;
};

// A server answering from the generated group, a thread per connection.
class Server {
public:
    explicit Server(const Group& group) : group_(group)
    {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(fd_, 4);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~Server()
    {
        stop_ = true;
        shutdown(fd_, SHUT_RDWR);
        close(fd_);
        thread_.join();
        for (auto& t : connections_)
            t.join();
    }
    int Port() const { return port_; }

private:
    void Run()
    {
        while (!stop_) {
            int c = accept(fd_, nullptr, nullptr);
            if (c < 0)
                return;
            int one = 1;
            setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            connections_.emplace_back([this, c] {
                Serve(c);
                close(c);
            });
        }
    }
    void Serve(int c)
    {
        auto put = [c](const std::string& s) { return send(c, s.data(), s.size(), MSG_NOSIGNAL) == long(s.size()); };
        put("200 bench server ready\r\n");
        std::string buf;
        char chunk[4096];
        const std::string last = std::to_string(group_.Count());
        for (;;) {
            size_t lf;
            while ((lf = buf.find('\n')) == std::string::npos) {
                long n = recv(c, chunk, sizeof chunk, 0);
                if (n <= 0)
                    return;
                buf.append(chunk, size_t(n));
            }
            std::string line = buf.substr(0, lf);
            buf.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::string out;
            if (line.rfind("HEAD ", 0) == 0) {
                const Art* a = group_.ByNumber(std::atoi(line.c_str() + 5));
                if (!a)
                    out = "423 no such article\r\n";
                else
                    out = "221 " + std::to_string(a->number) + " head\r\n" + group_.Header(*a) + ".\r\n";
            } else if (line.rfind("GROUP ", 0) == 0) {
                out = "211 " + last + " 1 " + last + " fj.test.big\r\n";
            } else if (line == "LIST") {
                out = "215 list\r\nfj.test.big " + last + " 1 y\r\nfj.test.other 1000 1 y\r\n.\r\n";
            } else if (line == "QUIT") {
                put("205 bye\r\n");
                return;
            } else {
                out = "500 what?\r\n";
            }
            if (!put(out))
                return;
        }
    }

    const Group& group_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<std::thread> connections_;
};

// Every tenth article or so read, scattered: a read list of many ranges.
std::string ScatteredMarks(int count)
{
    std::mt19937 rng(7);
    std::string marks;
    for (int n = 1; n <= count; ++n)
        if (rng() % 10 == 0) {
            if (!marks.empty())
                marks += ',';
            marks += std::to_string(n);
        }
    return marks;
}

// The textbook way: a hash map from Message-ID to the first article with
// it, children sorted by number, filled into a QTreeWidget.
int PeerTree(const std::vector<const CArticle*>& articles)
{
    std::vector<const CArticle*> sorted(articles);
    std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->m_nNumber < b->m_nNumber; });
    std::unordered_map<std::string, QTreeWidgetItem*> byId;
    std::unordered_map<std::string, std::vector<const CArticle*>> children;
    std::vector<const CArticle*> roots;
    std::unordered_map<std::string, bool> present;
    for (const CArticle* a : sorted)
        present.emplace(a->m_strMessageID, true);
    for (const CArticle* a : sorted) {
        if (!a->m_strParentID.empty() && present.count(a->m_strParentID) && a->m_strParentID != a->m_strMessageID)
            children[a->m_strParentID].push_back(a);
        else
            roots.push_back(a);
    }
    QTreeWidget tree;
    tree.setColumnCount(3);
    QList<QTreeWidgetItem*> top;
    std::vector<std::pair<QTreeWidgetItem*, const CArticle*>> stack;
    auto make = [](const CArticle* a) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, QString::number(a->m_nNumber) + ' ' + QString::fromLatin1(a->m_strSubject.c_str()));
        item->setText(2, QString::fromLatin1(a->m_strFrom.c_str()));
        return item;
    };
    for (const CArticle* a : roots) {
        QTreeWidgetItem* item = make(a);
        top.append(item);
        stack.emplace_back(item, a);
    }
    while (!stack.empty()) {
        auto [item, a] = stack.back();
        stack.pop_back();
        auto it = children.find(a->m_strMessageID);
        if (it == children.end())
            continue;
        for (const CArticle* c : it->second) {
            if (byId.count(c->m_strMessageID))
                continue;
            QTreeWidgetItem* ci = make(c);
            byId.emplace(c->m_strMessageID, ci);
            item->addChild(ci);
            stack.emplace_back(ci, c);
        }
        children.erase(it);
    }
    tree.addTopLevelItems(top);
    tree.expandAll();
    return tree.topLevelItemCount();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const Group group(count);
    Server server(group);

    const fs::path dir = fs::temp_directory_path() / ("lumetra-open-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "bench.lum") << "[config]\r\nstrNntpServer=bench\r\nnNntpPort=" << server.Port()
                                     << "\r\nstrMarkFile=news.rc\r\nnMaxReadArtcleCount=-1\r\nbShowOldArticle=YES\r\n";
    std::ofstream(dir / "news.rc", std::ios::binary) << "fj.test.big: " << ScatteredMarks(count) << "\r\n";

    const double before = PeakMb();
    StderrHost host;
    CLumeDoc doc(&host, host.registry);
    doc.OnOpenDocument(dir / "bench.lum");
    if (!doc.GoOnline(dir / "bench.lum")) {
        std::fprintf(stderr, "going online failed\n");
        return 1;
    }
    CNewsGroup* big = doc.Groups().Find("fj.test.big");
    doc.SetCurrentGroup(big);
    auto t0 = Clock::now();
    if (!big || !doc.OpenCurrentGroup()) {
        std::fprintf(stderr, "opening the group failed\n");
        return 1;
    }
    auto t1 = Clock::now();
    ui::CArticleListBox list;
    list.Create(widgets::CTreeListBox::TLS_LINES, widgets::IDB_ARTICLE_IMAGES, 5);
    list.SetColumnCount(3);
    list.resize(600, 800);
    for (const auto& article : doc.Articles())
        list.AddArticle(article.get(), doc.ReadList());
    auto t2 = Clock::now();
    list.RebuildRows();
    auto t3 = Clock::now();
    const double peak = PeakMb();
    int roots = 0;
    for (auto* n = list.FirstRoot(); n; n = n->NextSibling())
        ++roots;
    // A fingerprint of the rows (number and depth), to compare builds.
    std::uint64_t shape = 1469598103934665603ull;
    for (int row = 0; row < list.GetCount(); ++row) {
        const widgets::CTreeListItem* node = list.NodeOfRow(row);
        shape = (shape ^ std::uint64_t(ui::CArticleListBox::ArticleOf(node)->m_nNumber)) * 1099511628211ull;
        shape = (shape ^ std::uint64_t(list.Depth(node))) * 1099511628211ull;
    }

    auto r0 = Clock::now();
    {
        RawNntp raw("127.0.0.1", server.Port());
        raw.Command("GROUP fj.test.big");
        for (int n = count; n >= 1; --n)
            if (raw.Command("HEAD " + std::to_string(n)).rfind("221", 0) == 0)
                raw.Data();
    }
    auto r1 = Clock::now();
    std::vector<const CArticle*> articles;
    for (const auto& a : doc.Articles())
        articles.push_back(a.get());
    const int peerRoots = PeerTree(articles);
    auto r2 = Clock::now();

    const double fetch = Ms(t1 - t0), thread = Ms(t2 - t1), rows = Ms(t3 - t2);
    const double rawFetch = Ms(r1 - r0), peerList = Ms(r2 - r1);
    std::printf("articles %zu, rows %d, threads %d (peer %d), shape %016llx\n", doc.Articles().size(),
                list.GetCount(), roots, peerRoots, static_cast<unsigned long long>(shape));
    std::printf("%-34s %9.1f ms   bare client %9.1f ms   ratio %5.2f\n", "fetch (GROUP + HEAD, parse)", fetch,
                rawFetch, fetch / rawFetch);
    std::printf("%-34s %9.1f ms\n", "threading into the list", thread);
    std::printf("%-34s %9.1f ms\n", "rows", rows);
    std::printf("%-34s %9.1f ms   QTreeWidget %9.1f ms   ratio %5.2f\n", "threading + rows", thread + rows, peerList,
                (thread + rows) / peerList);
    std::printf("%-34s %9.1f ms\n", "open total (fetch + list)", fetch + thread + rows);
    std::printf("%-34s %9.1f MB (%.1f MB before)\n", "peak resident (ru_maxrss)", peak, before);
    doc.GoOffline();
    fs::remove_all(dir);
    return 0;
}
