// The browser hand-off: the conversation's order and results with a scripted
// channel, and real programs (stub scripts recording their arguments) for the
// configured browser and the desktop's URL handler.

#include "integration/BrowserHandoff.h"
#include "integration/UrlDialog.h"
#include "platform/Registry.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using namespace integration;

struct ScriptedChannel : BrowserChannel {
    using BrowserChannel::BrowserChannel;
    bool running = true;
    std::optional<std::uint32_t> window = 0x4a2bu;
    QStringList calls;

    bool Probe(const QString& service, const QString& topic) override
    {
        calls << QStringLiteral("probe %1 %2").arg(service, topic);
        return running;
    }
    std::optional<std::uint32_t> Open(const QString& service, const QString& url) override
    {
        calls << QStringLiteral("open %1 %2").arg(service, url);
        return window;
    }
    void Activate(const QString& service, std::uint32_t id) override
    {
        calls << QStringLiteral("activate %1 %2").arg(service).arg(id, 0, 16);
    }
};

// A program writing its arguments, NUL-separated, to one file per call.
struct StubProgram {
    StubProgram(const QString& dir, const QString& name) : dir(dir), path(QDir(dir).filePath(name))
    {
        QDir().mkpath(dir);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nPATH=/usr/bin:/bin\ndir='" + QFile::encodeName(dir) + "'\n"
                   "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$dir/.part-$$\"\n"
                   "mv \"$dir/.part-$$\" \"$dir/call-$$\"\n");
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QStringList Calls() const { return QDir(dir).entryList({QStringLiteral("call-*")}, QDir::Files); }
    // The arguments of the one call made since the last look.
    std::optional<QStringList> TakeCall() const
    {
        QDeadlineTimer deadline(20000);
        while (Calls().isEmpty() && !deadline.hasExpired())
            QTest::qWait(10);
        if (Calls().size() != 1)
            return std::nullopt;
        QFile file(QDir(dir).filePath(Calls().front()));
        file.open(QIODevice::ReadOnly);
        QStringList args;
        for (const QByteArray& piece : file.readAll().split('\0'))
            args << QString::fromUtf8(piece);
        file.remove();
        args.removeLast();
        return args;
    }
    QString dir, path;
};

class BrowserHandoffTest : public ::testing::Test {
protected:
    QString Dir(const QString& name) const { return QDir(temp.path()).filePath(name); }
    QTemporaryDir temp;
};

const QString kUrl = QStringLiteral("http://www.example.jp/news/index.html?a=1&b=2");

TEST_F(BrowserHandoffTest, ProbeOpenActivateAndResultCodes)
{
    ScriptedChannel channel;
    EXPECT_EQ(BrowserOpenUrl({0, {}, &channel}, kUrl), kBrowserOk);
    EXPECT_EQ(channel.calls, QStringList({"probe NETSCAPE WWW_Version", "open NETSCAPE " + kUrl, "activate NETSCAPE 4a2b"}));
    channel.calls.clear();
    channel.window.reset();
    EXPECT_EQ(BrowserOpenUrl({1, Dir("unused"), &channel}, kUrl), kBrowserRefused);
    EXPECT_EQ(channel.calls, QStringList({"probe IExplore WWW_QueryVersion", "open IExplore " + kUrl}));

    // Not running: the configured program, started once, no more questions.
    channel.running = false;
    channel.calls.clear();
    StubProgram stub(Dir("bin"), QStringLiteral("browser"));
    EXPECT_EQ(BrowserOpenUrl({0, {}, &channel}, kUrl), kBrowserNotRunning);
    EXPECT_EQ(BrowserOpenUrl({0, stub.path, &channel}, kUrl), kBrowserOk);
    EXPECT_EQ(stub.TakeCall(), QStringList{kUrl});
    EXPECT_EQ(channel.calls, QStringList({"probe NETSCAPE WWW_Version", "probe NETSCAPE WWW_Version"}));
    // Missing, not executable, a folder.
    QFile text(Dir("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a program\n");
    text.close();
    for (const QString& program : {Dir("missing"), text.fileName(), temp.path()})
        EXPECT_EQ(BrowserOpenUrl({0, program, &channel}, kUrl), kBrowserStartFailed) << program.toStdString();

    // A browser type outside the two has no service to ask.
    channel.running = true;
    channel.calls.clear();
    EXPECT_EQ(BrowserOpenUrl({2, {}, &channel}, kUrl), kBrowserNotRunning);
    EXPECT_TRUE(channel.calls.isEmpty());
}

TEST_F(BrowserHandoffTest, HostileUrlsReachTheProgramAsOneArgumentOrNotAtAll)
{
    // A folder with a blank in its name, as "Program Files" would be.
    StubProgram stub(Dir("my browser"), QStringLiteral("web browser"));
    ScriptedChannel channel;
    channel.running = false;
    const QString marker = Dir("PWNED");
    const QStringList urls = {
        QStringLiteral("http://example.jp/a b c"),
        QStringLiteral("http://example.jp/?q=\"quoted\"&r='single'"),
        QStringLiteral("http://example.jp/;touch %1;").arg(marker),
        QStringLiteral("http://example.jp/$(touch %1)`touch %1`").arg(marker),
        QStringLiteral("http://example.jp/|touch %1 & --new-window *").arg(marker),
        QString::fromUtf16(u"http://例え.jp/日本語?q=ニュース"),
    };
    for (const QString& url : urls) {
        EXPECT_EQ(BrowserOpenUrl({0, stub.path, &channel}, url), kBrowserOk);
        EXPECT_EQ(stub.TakeCall(), QStringList{url});
    }
    EXPECT_FALSE(QFile::exists(marker));

    // Line breaks and NULs go; blanks at either end too.
    const QString broken = QStringLiteral("  http://example.jp/line1\r\nline2\n") + QChar(0) + QStringLiteral("x ");
    EXPECT_EQ(BrowserOpenUrl({0, stub.path, &channel}, broken), kBrowserOk);
    EXPECT_EQ(stub.TakeCall(), QStringList{QStringLiteral("http://example.jp/line1line2x")});

    // What would read as an option, or is empty, is refused before anyone is asked.
    channel.calls.clear();
    for (const QString& url : {QStringLiteral("-remote"), QStringLiteral("--new-instance"),
                               QStringLiteral("  -P default"), QStringLiteral("\n-x"), QString(), QStringLiteral(" \r\n ")})
        EXPECT_EQ(BrowserOpenUrl({0, stub.path, &channel}, url), kBrowserRefused) << url.toStdString();
    EXPECT_TRUE(channel.calls.isEmpty());
    EXPECT_TRUE(stub.Calls().isEmpty());
}

TEST_F(BrowserHandoffTest, DesktopHandlerFirstThenTheConfiguredProgram)
{
    StubProgram handler(Dir("path"), QStringLiteral("xdg-open"));
    StubProgram configured(Dir("bin"), QStringLiteral("browser"));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(Dir("path")));
    DesktopBrowserChannel channel;
    for (const QString& url : {kUrl, QStringLiteral("HTTPS://EXAMPLE.JP/A B;C"), QStringLiteral("ftp://ftp.example.jp/")}) {
        EXPECT_EQ(BrowserOpenUrl({0, configured.path, &channel}, url), kBrowserOk);
        EXPECT_EQ(handler.TakeCall(), QStringList{url});
    }
    // Only web URLs go to the handler, which would open files or odd schemes.
    for (const char* url : {"file:///etc/passwd", "/etc/passwd", "javascript:alert(1)", "news://example.jp/fj.test",
                            "://example.jp/", "www.example.jp"})
        EXPECT_EQ(BrowserOpenUrl({1, configured.path, &channel}, QString::fromLatin1(url)), kBrowserRefused) << url;
    EXPECT_TRUE(handler.Calls().isEmpty());
    EXPECT_TRUE(configured.Calls().isEmpty());

    // Without a handler the configured program takes any URL the user clicks.
    qputenv("PATH", QFile::encodeName(Dir("bin")));
    EXPECT_EQ(BrowserOpenUrl({0, configured.path, &channel}, QStringLiteral("news://example.jp/fj.test")), kBrowserOk);
    EXPECT_EQ(configured.TakeCall(), QStringList{QStringLiteral("news://example.jp/fj.test")});
    EXPECT_EQ(BrowserOpenUrl({0, {}, &channel}, kUrl), kBrowserNotRunning);
    qputenv("PATH", oldPath);
}

TEST_F(BrowserHandoffTest, OpenUrlReadsSettingsAndReportsFailures)
{
    platform::Registry registry(QFile::encodeName(Dir("registry")).toStdString());
    QWidget frame;
    auto* channel = new ScriptedChannel(&frame);
    EXPECT_EQ(BrowserChannel::Of(new QWidget(&frame)), channel) << "a pane stands for its window";
    std::vector<unsigned> shown;
    const BrowserMessageHandler report = [&](QWidget*, unsigned id) { shown.push_back(id); };

    EXPECT_TRUE(OpenUrl(&frame, kUrl, registry, report));
    channel->window.reset();
    EXPECT_FALSE(OpenUrl(&frame, kUrl, registry, report));
    EXPECT_FALSE(OpenUrl(&frame, QStringLiteral("-P evil"), registry, report));
    channel->running = false;
    EXPECT_FALSE(OpenUrl(&frame, kUrl, registry, report));
    ASSERT_TRUE(registry.WriteString("WWWViewer", "strPathName", QFile::encodeName(Dir("missing")).toStdString()));
    EXPECT_FALSE(OpenUrl(&frame, kUrl, registry, report));
    EXPECT_EQ(shown, std::vector<unsigned>({61234, 61234, 61235, 61235}));

    StubProgram stub(Dir("bin"), QStringLiteral("browser"));
    ASSERT_TRUE(registry.WriteString("WWWViewer", "strPathName", QFile::encodeName(stub.path).toStdString()));
    ASSERT_TRUE(registry.WriteInt("WWWViewer", "Type", 1));
    channel->calls.clear();
    EXPECT_TRUE(OpenUrl(&frame, kUrl, registry, report));
    EXPECT_EQ(channel->calls, QStringList{"probe IExplore WWW_QueryVersion"});
    EXPECT_EQ(stub.TakeCall(), QStringList{kUrl});
    EXPECT_EQ(shown.size(), 4u);

    QWidget bare;
    EXPECT_NE(dynamic_cast<DesktopBrowserChannel*>(BrowserChannel::Of(&bare)), nullptr);
    EXPECT_EQ(BrowserChannel::Of(&bare), BrowserChannel::Of(&bare));
}

TEST_F(BrowserHandoffTest, JumpToUrlAndDialog113)
{
    EXPECT_EQ(CompleteUrl(QStringLiteral("www.example.jp/")), QStringLiteral("http://www.example.jp/"));
    EXPECT_EQ(CompleteUrl(QStringLiteral("ftp.example.jp")), QStringLiteral("ftp://ftp.example.jp"));
    for (const char* same : {"WWW.example.jp", "Ftp.example.jp", "example.jp", " www.x", ""})
        EXPECT_EQ(CompleteUrl(QString::fromLatin1(same)), QString::fromLatin1(same)) << same;

    platform::Registry registry(QFile::encodeName(Dir("registry")).toStdString());
    QWidget frame;
    auto* channel = new ScriptedChannel(&frame);
    int asked = 0;
    const UrlAsker cancel = [&](QWidget*, const QString& initial) -> std::optional<QString> {
        ++asked;
        EXPECT_EQ(initial, QString::fromUtf16(u"ここ"));
        return std::nullopt;
    };
    EXPECT_TRUE(JumpToUrl(&frame, kUrl, cancel, registry, {}));
    EXPECT_FALSE(JumpToUrl(&frame, QString::fromUtf16(u"ここ"), cancel, registry, {})) << "cancelled";
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(channel->calls.size(), 3);

    // The dialog itself, modal, answered by clicking its buttons.
    auto answer = [](const char* button, const QString& text) {
        QTimer::singleShot(0, [=] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), QString::fromUtf16(u"URLの設定"));
            dialog->findChild<QLineEdit*>(QStringLiteral("ctl1038"))->setText(text);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
        });
    };
    answer("ctl1", QStringLiteral("www.example.jp/x"));
    EXPECT_TRUE(JumpToUrl(&frame, QString(), AskUrl, registry, {}));
    EXPECT_EQ(channel->calls.at(4), QStringLiteral("open NETSCAPE http://www.example.jp/x"));
    answer("ctl2", QStringLiteral("www.example.jp/y"));
    EXPECT_EQ(UrlToOpen(&frame, QStringLiteral("no url"), AskUrl), std::nullopt);
}

} // namespace
