// Reading in the window, next to a peer measured in the same run:
//   bench_reading display
//       a 1 MB article shown in the body pane, until it is painted, against
//       Qt's plain text control given the same text already in Unicode
//   bench_reading open HOST PORT GROUP
//       opening a group in the article pane (GROUP, HEAD for each article,
//       threading, painting) against a raw client sending the same commands
//   bench_reading show FILE
//       shows one cache file in the body pane once (for measuring its memory
//       with /usr/bin/time -v)
//   bench_reading article HOST PORT GROUP NUMBER
//       fetching and showing an ISO-2022-JP article in the body pane against
//       a raw client's ARTICLE decoded by Qt and given to its plain text control
// Run with QT_QPA_PLATFORM=offscreen; bench/ui/run-reading-bench.sh does it all.
#include "news/LumeDoc.h"
#include "platform/Registry.h"
#include "platform/TempFiles.h"
#include "message/CacheFile.h"
#include "ui/CArticleView.h"
#include "widgets/CBodyText.h"
#include "ui/CBodyView.h"
#include "host/HostedDocument.h"
#include "widgets/SjisText.h"
#include "dialogs/Dialogs.h"
#include "RawNntpClient.h"
#include "Timing.h"

#include <QApplication>
#include <QImage>
#include <QStringDecoder>
#include <QTextEdit>

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

using namespace net;
using namespace news;

namespace fs = std::filesystem;

namespace {

// Alternates the two so both meet the same load; keeps the best of each.
// ours returns its own time when part of what it does is not to be measured.
void Compare(const char* what, int rounds, const std::function<double()>& ours, const std::function<void()>& peer)
{
    double bestOurs = 1e300, bestPeer = 1e300;
    for (int i = 0; i < rounds; ++i) {
        bestOurs = std::min(bestOurs, ours());
        bestPeer = std::min(bestPeer, Time(peer));
    }
    std::printf("%-44s ours %8.1f ms   peer %8.1f ms   ratio %5.2f\n", what, bestOurs, bestPeer, bestOurs / bestPeer);
}

// Paints the widget once, as the screen would show it.
void Paint(QWidget& w)
{
    QApplication::processEvents();
    QImage image(w.size(), QImage::Format_ARGB32_Premultiplied);
    w.render(&image);
}

// Qt's own plain text control, set up as the body pane's.
void ShowAsPeer(QTextEdit& peer, const QFont& font)
{
    peer.setReadOnly(true);
    peer.setLineWrapMode(QTextEdit::NoWrap);
    peer.setFont(font);
    peer.resize(900, 700);
    peer.show();
}

// A message box would stop the run: its text goes to the error output.
struct StderrDialogs : dialogs::QtDialogs {
    int Message(QWidget*, const QString& text, news::MessageIcon, bool) override
    {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        return news::IDOK;
    }
};

// A body pane of its own, shown at the size every run uses.
struct BodyPane {
    fs::path dir = platform::TempDirectory();
    platform::Registry registry{dir / "registry"};
    StderrDialogs dialogs;
    host::HostedDocument document{dialogs, registry};
    ui::CBodyView view{document.Doc(), registry, dialogs, nullptr};
    BodyPane()
    {
        view.resize(900, 700);
        view.show();
    }
};

// Shift_JIS lines as the cache file holds them; with urls, each line carries one.
std::string JapaneseArticle(bool urls)
{
    const std::string text = "\x93\xfa\x96{\x8c\xea\x82\xcc\x83\x65\x83X\x83g\x82\xc5\x82\xb7\x81\x42 ";
    const std::string tail = "\x8a\xbf\x8e\x9a\x82\xc6\x82\xd0\x82\xe7\x82\xaa\x82\xc8\x81\x41\x83J\x83^\x83J\x83i\r\n";
    const std::string line = text + (urls ? "http://www.example.jp/ " : "ABCDEFGHIJ abcdefghij ") + tail;
    std::string article = "From: a@example.jp\r\nSubject: text\r\nContent-Type: text/plain\r\n\r\n";
    while (article.size() < 1'000'000)
        article += line;
    return article + ".\r\n";
}

// The same amount of text as a UTF-8 article that declares its charset, in
// its cache form; some characters are outside CP932 (kept as escapes).
std::string Utf8Article()
{
    const std::string line = "日本語のテストです。 Grüße aus München, 한국어 😀 漢字とひらがな、カタカナ\n";
    std::string article = "From: a@example.jp\nSubject: text\nContent-Type: text/plain; charset=UTF-8\n\n";
    while (article.size() < 1'000'000)
        article += line;
    return message::MakeCacheText(article);
}

// Text in a charset iconv knows, from UTF-8.
std::string Encode(const std::string& utf8, const char* charset)
{
    iconv_t cd = iconv_open(charset, "UTF-8");
    std::string out(utf8.size() * 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size(), outLeft = out.size();
    char* o = out.data();
    if (cd == reinterpret_cast<iconv_t>(-1) || iconv(cd, &in, &inLeft, &o, &outLeft) == std::size_t(-1))
        std::exit(1);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

// 1 MB of received lines in a charset, with its header.
std::string Received(const std::string& line, const char* charset)
{
    std::string body;
    while (body.size() < 1'000'000)
        body += line;
    return "From: a@example.jp\nSubject: text\nContent-Type: text/plain; charset=" + std::string(charset) + "\n\n" +
           Encode(body, charset);
}

// What the fetch adds for a declared charset: the cache form of 1 MB, next
// to the Japanese article the per-line rule reads.
void CacheForms()
{
    const std::string japanese = "日本語のテストです。漢字とひらがな、カタカナ ABCDEFGHIJ abcdefghij\n";
    const struct {
        const char* what;
        std::string article;
    } rows[] = {
        {"ISO-2022-JP", Received(japanese, "ISO-2022-JP")},
        {"UTF-8", Received("日本語のテストです。 Grüße aus München, 한국어 😀 漢字とひらがな、カタカナ\n", "UTF-8")},
        {"ISO-8859-1", Received("Gr\u00fc\u00dfe aus M\u00fcnchen, sch\u00f6ne \u00c4pfel und Birnen, voil\u00e0\n", "ISO-8859-1")},
        {"EUC-KR", Received("한국어 테스트입니다. 뉴스 그룹의 기사 본문, ABC abc 123\n", "EUC-KR")},
    };
    double base = 0;
    for (const auto& row : rows) {
        double best = 1e300;
        for (int i = 0; i < 5; ++i)
            best = std::min(best, Time([&] { message::MakeCacheText(row.article); }));
        if (base == 0)
            base = best;
        std::printf("1 MB %-11s article to its cache form %8.1f ms   ratio to ISO-2022-JP %5.2f\n", row.what, best,
                    best / base);
    }
}

int ShowArticles()
{
    BodyPane pane;
    ui::CBodyView& view = pane.view;
    QTextEdit peer;
    ShowAsPeer(peer, view.BodyFont());

    for (int kind : {0, 1, 2}) {
        const bool urls = kind == 1;
        const std::string article = kind == 2 ? Utf8Article() : JapaneseArticle(urls);
        const fs::path file = pane.dir / "article.txt";
        std::ofstream(file, std::ios::binary) << article;
        const std::size_t body = article.find("\r\n\r\n") + 4;
        QString text = widgets::FromSjis(std::string_view(article).substr(body, article.size() - body - 3));
        text.remove(QLatin1Char('\r'));
        Compare(kind == 2 ? "1 MB UTF-8 article" : urls ? "1 MB article, a URL on every line" : "1 MB Japanese article", 5,
                [&] {
                    return Time([&] {
                        if (!view.ShowArticleFile(file))
                            std::exit(1);
                        Paint(view);
                    });
                },
                [&] {
                    peer.setPlainText(text);
                    Paint(peer);
                });
        std::printf("%-44s %lld lines shown\n", "", static_cast<long long>(view.Body()->document()->blockCount()));
    }
    CacheForms();
    return 0;
}

int ShowOne(const fs::path& file)
{
    BodyPane pane;
    ui::CBodyView& view = pane.view;
    const double ms = Time([&] {
        if (!view.ShowArticleFile(file))
            std::exit(1);
        Paint(view);
    });
    std::printf("%-44s %8.1f ms, %lld lines shown\n", file.filename().c_str(), ms,
                static_cast<long long>(view.Body()->document()->blockCount()));
    return 0;
}

int Open(const char* host, int port, const std::string& group)
{
    const fs::path dir = platform::TempDirectory();
    const fs::path lum = dir / "bench.lum";
    std::ofstream(lum, std::ios::binary) << "[config]\r\nnNntpPort=" << port << "\r\nstrNntpServer=" << host
                                         << "\r\nstrMarkFile=news.rc\r\nnMaxReadArtcleCount=100000"
                                         << "\r\nbShowOldArticle=YES\r\nnTcpWaitSec=10\r\n";
    platform::Registry registry(dir / "registry");
    StderrDialogs dialogs;
    host::HostedDocument document(dialogs, registry);
    CLumeDoc& doc = document.Doc();
    if (!doc.OnOpenDocument(lum))
        return 1;
    doc.SetPathName(lum);
    ui::CArticleView view(doc, registry, dialogs, nullptr);
    view.resize(900, 700);
    view.show();
    document.Host().SetConnectStep([&](const std::string& s, int p) { return view.ConnectServer(s, p); });
    if (!doc.GoOnline(lum) || !doc.Groups().Find(group)) {
        std::fprintf(stderr, "cannot go online or no group %s\n", group.c_str());
        return 1;
    }
    int rows = 0;
    Compare(("open " + group).c_str(), 5,
            [&] {
                // Another group first, so that the pane fetches this one again.
                doc.SetCurrentGroup(doc.Groups().Find("local.empty"));
                doc.UpdateAllViews(nullptr, Hint::Group);
                const auto t = Clock::now();
                doc.SetCurrentGroup(doc.Groups().Find(group));
                doc.UpdateAllViews(nullptr, Hint::Group);
                Paint(view);
                rows = view.List()->GetCount();
                return Ms(Clock::now() - t);
            },
            [&] {
                RawNntp raw(host, port);
                const std::string reply = raw.Command("GROUP " + group);
                long count = 0, first = 0, last = 0;
                if (std::sscanf(reply.c_str(), "211 %ld %ld %ld", &count, &first, &last) != 3)
                    std::exit(1);
                for (long n = last; n >= first; --n)
                    if (raw.Command("HEAD " + std::to_string(n)).rfind("221", 0) == 0)
                        raw.Data();
            });
    std::printf("%-44s %d rows\n", "", rows);
    doc.GoOffline();
    return 0;
}

int FetchAndShow(const char* host, int port, const std::string& group, int number)
{
    BodyPane pane;
    ui::CBodyView& view = pane.view;
    CNntp& nntp = pane.document.Doc().Nntp();
    std::string reply;
    int count = 0, first = 0, last = 0;
    if (!nntp.Open(host, 0, port) || !nntp.ReadGreeting(true) || nntp.Group(group, reply, count, first, last) != 1) {
        std::fprintf(stderr, "cannot select %s\n", group.c_str());
        return 1;
    }
    QTextEdit peer;
    ShowAsPeer(peer, view.BodyFont());
    std::size_t bytes = 0;
    Compare(("fetch and show " + group + " " + std::to_string(number)).c_str(), 5,
            [&] {
                return Time([&] {
                    if (!view.ShowArticle(number))
                        std::exit(1);
                    Paint(view);
                });
            },
            [&] {
                RawNntp raw(host, port);
                raw.Command("GROUP " + group);
                if (raw.Command("ARTICLE " + std::to_string(number)).rfind("220", 0) != 0)
                    std::exit(1);
                std::string text;
                for (std::string l; (l = raw.Line()) != ".\r\n";)
                    text += l;
                bytes = text.size();
                QStringDecoder jis("ISO-2022-JP");
                peer.setPlainText(jis.decode(QByteArrayView(text.data(), qsizetype(text.size()))));
                Paint(peer);
            });
    std::printf("%-44s %zu bytes, %lld lines shown\n", "", bytes,
                static_cast<long long>(view.Body()->document()->blockCount()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "display")
        return ShowArticles();
    if (mode == "show" && argc > 2)
        return ShowOne(argv[2]);
    if (mode == "open" && argc > 4)
        return Open(argv[2], std::atoi(argv[3]), argv[4]);
    if (mode == "article" && argc > 5)
        return FetchAndShow(argv[2], std::atoi(argv[3]), argv[4], std::atoi(argv[5]));
    std::fprintf(stderr, "usage: bench_reading display | show FILE | open HOST PORT GROUP | article HOST PORT GROUP NUMBER\n");
    return 2;
}
