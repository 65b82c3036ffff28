// The browser hand-off: the conversation's order and results with a scripted
// channel, and real programs (stub scripts recording their arguments) for the
// configured browser and the desktop's URL handler.

#include "integration/BrowserHandoff.h"
#include "integration/UrlDialog.h"
#include "platform/Registry.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace integration;

void EnsureApp()
{
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

class ScriptedChannel : public BrowserChannel {
public:
    using BrowserChannel::BrowserChannel;
    bool running = true;
    std::optional<std::uint32_t> window = 0x4a2bu;
    std::vector<QString> calls;

    bool Probe(const QString& service, const QString& topic) override
    {
        calls.push_back(QStringLiteral("probe %1 %2").arg(service, topic));
        return running;
    }
    std::optional<std::uint32_t> Open(const QString& service, const QString& url) override
    {
        calls.push_back(QStringLiteral("open %1 %2").arg(service, url));
        return window;
    }
    void Activate(const QString& service, std::uint32_t id) override
    {
        calls.push_back(QStringLiteral("activate %1 %2").arg(service).arg(id, 0, 16));
    }
};

// A program that writes its arguments, NUL-separated, to one file per call.
class StubProgram {
public:
    StubProgram(const QString& dir, const QString& name) : dir_(dir), path_(QDir(dir).filePath(name))
    {
        QDir().mkpath(dir);
        QFile file(path_);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nPATH=/usr/bin:/bin\ndir='");
        file.write(QFile::encodeName(dir));
        file.write("'\n"
                   "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$dir/.part-$$\"\n"
                   "mv \"$dir/.part-$$\" \"$dir/call-$$\"\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QString& path() const { return path_; }

    QStringList Calls() const { return QDir(dir_).entryList({QStringLiteral("call-*")}, QDir::Files); }

    // The arguments of the one call made since the last look; waits for it.
    std::optional<QStringList> TakeCall() const
    {
        QDeadlineTimer deadline(20000);
        while (Calls().isEmpty() && !deadline.hasExpired())
            QTest::qWait(10);
        const QStringList calls = Calls();
        if (calls.size() != 1)
            return std::nullopt;
        QFile file(QDir(dir_).filePath(calls.front()));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QByteArray data = file.readAll();
        file.close();
        file.remove();
        QStringList args;
        for (const QByteArray& piece : data.split('\0'))
            args << QString::fromUtf8(piece);
        args.removeLast(); // after the last terminator
        return args;
    }

private:
    QString dir_;
    QString path_;
};

// PATH for one test: the desktop channel looks for its handler there.
class PathOverride {
public:
    explicit PathOverride(const QString& dir) : old_(qgetenv("PATH")) { qputenv("PATH", QFile::encodeName(dir)); }
    ~PathOverride() { qputenv("PATH", old_); }

private:
    QByteArray old_;
};

class BrowserHandoffTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        ASSERT_TRUE(temp.isValid());
    }
    QString Dir(const QString& name) const { return QDir(temp.path()).filePath(name); }
    QTemporaryDir temp;
};

const QString kUrl = QStringLiteral("http://www.example.jp/news/index.html?a=1&b=2");

TEST_F(BrowserHandoffTest, RunningBrowserIsProbedThenOpensThenActivates)
{
    ScriptedChannel channel;
    EXPECT_EQ(BrowserOpenUrl({0, {}, &channel}, kUrl), kBrowserOk);
    const std::vector<QString> expected = {
        "probe NETSCAPE WWW_Version", "open NETSCAPE " + kUrl, "activate NETSCAPE 4a2b"};
    EXPECT_EQ(channel.calls, expected);

    channel.calls.clear();
    EXPECT_EQ(BrowserOpenUrl({1, QStringLiteral("/nonexistent/browser"), &channel}, kUrl), kBrowserOk);
    ASSERT_EQ(channel.calls.size(), 3u);
    EXPECT_EQ(channel.calls[0], QStringLiteral("probe IExplore WWW_QueryVersion"));

    // Refused: no activation.
    channel.calls.clear();
    channel.window.reset();
    EXPECT_EQ(BrowserOpenUrl({0, {}, &channel}, kUrl), kBrowserRefused);
    EXPECT_EQ(channel.calls.size(), 2u);
}

TEST_F(BrowserHandoffTest, NoBrowserRunning)
{
    ScriptedChannel channel;
    channel.running = false;
    EXPECT_EQ(BrowserOpenUrl({0, {}, &channel}, kUrl), kBrowserNotRunning);
    EXPECT_EQ(BrowserOpenUrl({0, Dir("missing"), &channel}, kUrl), kBrowserStartFailed);

    // A file that is not a program, and a folder.
    QFile text(Dir("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a program\n");
    text.close();
    EXPECT_EQ(BrowserOpenUrl({0, text.fileName(), &channel}, kUrl), kBrowserStartFailed);
    EXPECT_EQ(BrowserOpenUrl({0, temp.path(), &channel}, kUrl), kBrowserStartFailed);

    // A working program gets the URL and the browser is not asked again.
    StubProgram stub(Dir("bin"), QStringLiteral("browser"));
    channel.calls.clear();
    EXPECT_EQ(BrowserOpenUrl({0, stub.path(), &channel}, kUrl), kBrowserOk);
    EXPECT_EQ(channel.calls, std::vector<QString>{"probe NETSCAPE WWW_Version"});
    EXPECT_EQ(stub.TakeCall(), QStringList{kUrl});

    // A browser type outside the two known ones has no service to ask.
    channel.calls.clear();
    channel.running = true;
    EXPECT_EQ(BrowserOpenUrl({7, {}, &channel}, kUrl), kBrowserNotRunning);
    EXPECT_TRUE(channel.calls.empty());
    EXPECT_EQ(BrowserServiceName(0), QStringLiteral("NETSCAPE"));
    EXPECT_EQ(BrowserServiceName(1), QStringLiteral("IExplore"));
    EXPECT_TRUE(BrowserServiceName(2).isEmpty());
}

TEST_F(BrowserHandoffTest, ConfiguredProgramGetsHostileUrlsAsOneArgument)
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
        QStringLiteral("http://example.jp/$(touch %1)").arg(marker),
        QStringLiteral("http://example.jp/`touch %1`").arg(marker),
        QStringLiteral("http://example.jp/|touch %1 &").arg(marker),
        QStringLiteral("http://example.jp/%20--new-window *"),
        QString::fromUtf16(u"http://例え.jp/日本語?q=ニュース"),
    };
    for (const QString& url : urls) {
        SCOPED_TRACE(url.toStdString());
        EXPECT_EQ(BrowserOpenUrl({0, stub.path(), &channel}, url), kBrowserOk);
        EXPECT_EQ(stub.TakeCall(), QStringList{url});
    }
    EXPECT_FALSE(QFile::exists(marker));

    // Line breaks and NULs are taken out; blanks at either end dropped.
    const QString broken = QStringLiteral("  http://example.jp/line1\r\nline2\n") + QChar(0) + QStringLiteral("x ");
    EXPECT_EQ(BrowserOpenUrl({0, stub.path(), &channel}, broken), kBrowserOk);
    EXPECT_EQ(stub.TakeCall(), QStringList{QStringLiteral("http://example.jp/line1line2x")});
}

TEST_F(BrowserHandoffTest, UrlsThatWouldReadAsOptionsAreRefused)
{
    StubProgram stub(Dir("bin"), QStringLiteral("browser"));
    ScriptedChannel channel;
    channel.running = false;
    const QStringList refused = {
        QStringLiteral("-remote"), QStringLiteral("--new-instance"), QStringLiteral("  -P default"),
        QStringLiteral("\n-x"), QString(), QStringLiteral(" \r\n ")};
    for (const QString& url : refused) {
        SCOPED_TRACE(url.toStdString());
        EXPECT_EQ(BrowserOpenUrl({0, stub.path(), &channel}, url), kBrowserRefused);
        EXPECT_FALSE(CleanUrl(url).has_value());
    }
    EXPECT_TRUE(channel.calls.empty()) << "refused before anything is asked";
    EXPECT_TRUE(stub.Calls().isEmpty());
    EXPECT_EQ(CleanUrl(QStringLiteral("http://a/-b")), QStringLiteral("http://a/-b"));
}

TEST_F(BrowserHandoffTest, DesktopHandlerIsTheRunningBrowser)
{
    StubProgram handler(Dir("path"), QStringLiteral("xdg-open"));
    StubProgram configured(Dir("bin"), QStringLiteral("browser"));
    PathOverride path(Dir("path"));
    DesktopBrowserChannel channel;
    ASSERT_EQ(DesktopBrowserChannel::HandlerProgram(), handler.path());

    const QStringList urls = {kUrl, QStringLiteral("HTTPS://EXAMPLE.JP/A B;C"), QStringLiteral("ftp://ftp.example.jp/pub/")};
    for (const QString& url : urls) {
        SCOPED_TRACE(url.toStdString());
        EXPECT_EQ(BrowserOpenUrl({0, configured.path(), &channel}, url), kBrowserOk);
        EXPECT_EQ(handler.TakeCall(), QStringList{url});
    }
    EXPECT_TRUE(configured.Calls().isEmpty());

    // The handler would open local files or odd schemes: only web URLs go.
    const QStringList refused = {
        QStringLiteral("file:///etc/passwd"), QStringLiteral("/etc/passwd"), QStringLiteral("javascript:alert(1)"),
        QStringLiteral("news://example.jp/fj.test"), QStringLiteral("://example.jp/"), QStringLiteral("www.example.jp")};
    for (const QString& url : refused) {
        SCOPED_TRACE(url.toStdString());
        EXPECT_EQ(BrowserOpenUrl({1, configured.path(), &channel}, url), kBrowserRefused);
    }
    EXPECT_TRUE(handler.Calls().isEmpty());
    EXPECT_TRUE(configured.Calls().isEmpty());
}

TEST_F(BrowserHandoffTest, WithoutDesktopHandlerTheConfiguredProgramRuns)
{
    QDir().mkpath(Dir("empty"));
    PathOverride path(Dir("empty"));
    StubProgram configured(Dir("bin"), QStringLiteral("browser"));
    DesktopBrowserChannel channel;
    EXPECT_TRUE(DesktopBrowserChannel::HandlerProgram().isEmpty());
    // Any scheme: the user chose this program.
    const QString url = QStringLiteral("news://example.jp/fj.test");
    EXPECT_EQ(BrowserOpenUrl({0, configured.path(), &channel}, url), kBrowserOk);
    EXPECT_EQ(configured.TakeCall(), QStringList{url});
    EXPECT_EQ(BrowserOpenUrl({0, {}, &channel}, url), kBrowserNotRunning);
}

TEST_F(BrowserHandoffTest, OpenUrlReadsSettingsAndReportsFailures)
{
    platform::Registry registry(QFile::encodeName(Dir("registry")).toStdString());
    QWidget frame;
    auto* channel = new ScriptedChannel(&frame);
    ASSERT_EQ(BrowserChannel::Of(&frame), channel);

    std::vector<unsigned> shown;
    SetBrowserMessageHandler([&](QWidget* parent, unsigned id) {
        EXPECT_EQ(parent, &frame);
        shown.push_back(id);
    });

    // Defaults: type 0, no program.
    EXPECT_TRUE(OpenUrl(&frame, kUrl, registry));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(channel->calls.front(), QStringLiteral("probe NETSCAPE WWW_Version"));

    channel->window.reset();
    EXPECT_FALSE(OpenUrl(&frame, kUrl, registry));
    EXPECT_EQ(shown, std::vector<unsigned>{61234});

    shown.clear();
    channel->running = false;
    EXPECT_FALSE(OpenUrl(&frame, kUrl, registry));
    EXPECT_EQ(shown, std::vector<unsigned>{61235});

    shown.clear();
    ASSERT_TRUE(registry.WriteString("WWWViewer", "strPathName", QFile::encodeName(Dir("missing")).toStdString()));
    EXPECT_FALSE(OpenUrl(&frame, kUrl, registry));
    EXPECT_EQ(shown, std::vector<unsigned>{61235});

    shown.clear();
    StubProgram stub(Dir("bin"), QStringLiteral("browser"));
    ASSERT_TRUE(registry.WriteString("WWWViewer", "strPathName", QFile::encodeName(stub.path()).toStdString()));
    ASSERT_TRUE(registry.WriteInt("WWWViewer", "Type", 1));
    channel->calls.clear();
    EXPECT_TRUE(OpenUrl(&frame, kUrl, registry));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(channel->calls, std::vector<QString>{"probe IExplore WWW_QueryVersion"});
    EXPECT_EQ(stub.TakeCall(), QStringList{kUrl});

    EXPECT_FALSE(OpenUrl(&frame, QStringLiteral("-P evil"), registry));
    EXPECT_EQ(shown, std::vector<unsigned>{61234});
    SetBrowserMessageHandler({});
}

TEST_F(BrowserHandoffTest, MainWindowGetsOneDesktopChannel)
{
    QWidget frame;
    BrowserChannel* channel = BrowserChannel::Of(&frame);
    ASSERT_NE(channel, nullptr);
    EXPECT_NE(dynamic_cast<DesktopBrowserChannel*>(channel), nullptr);
    EXPECT_EQ(BrowserChannel::Of(&frame), channel);
    EXPECT_EQ(channel->parent(), &frame);
    auto* pane = new QWidget(&frame);
    EXPECT_EQ(BrowserChannel::Of(pane), channel);
    EXPECT_EQ(BrowserChannel::Of(nullptr), nullptr);
}

TEST_F(BrowserHandoffTest, TypedUrlsGetTheirSchemeCaseSensitively)
{
    EXPECT_EQ(CompleteUrl(QStringLiteral("www.example.jp/")), QStringLiteral("http://www.example.jp/"));
    EXPECT_EQ(CompleteUrl(QStringLiteral("ftp.example.jp/pub")), QStringLiteral("ftp://ftp.example.jp/pub"));
    for (const char* same : {"WWW.example.jp", "Ftp.example.jp", "example.jp", "http://www.example.jp", " www.x", ""})
        EXPECT_EQ(CompleteUrl(QString::fromLatin1(same)), QString::fromLatin1(same)) << same;

    CUrlDialog dialog(QStringLiteral("www.example.jp"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("dlg113"));
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf16(u"URLの設定"));
    ASSERT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("ctl1038")), dialog.Edit());
    EXPECT_EQ(dialog.Edit()->text(), QStringLiteral("www.example.jp"));
    dialog.accept();
    EXPECT_EQ(dialog.Url(), QStringLiteral("http://www.example.jp"));
}

// Clicks a button of the modal dialog once it shows, after setting its text.
void AnswerDialog(const char* button, const QString& text)
{
    QTimer::singleShot(0, [=] {
        QDeadlineTimer deadline(10000);
        while (!QApplication::activeModalWidget() && !deadline.hasExpired())
            QTest::qWait(10);
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        if (!text.isNull())
            dialog->findChild<QLineEdit*>(QStringLiteral("ctl1038"))->setText(text);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    });
}

TEST_F(BrowserHandoffTest, JumpToUrlAsksOnlyWhenTheSelectionHoldsNone)
{
    QWidget frame;
    auto* channel = new ScriptedChannel(&frame);
    std::vector<unsigned> shown;
    SetBrowserMessageHandler([&](QWidget*, unsigned id) { shown.push_back(id); });

    int asked = 0;
    SetUrlDialogHook([&](CUrlDialog&) -> std::optional<QString> { ++asked; return std::nullopt; });
    EXPECT_TRUE(JumpToUrl(&frame, kUrl));
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(channel->calls.size(), 3u);
    EXPECT_EQ(channel->calls[1], "open NETSCAPE " + kUrl);

    // Cancelled: nothing is opened and nothing reported.
    channel->calls.clear();
    EXPECT_FALSE(JumpToUrl(&frame, QStringLiteral("www.example.jp")));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(channel->calls.empty());
    EXPECT_TRUE(shown.empty());

    SetUrlDialogHook([&](CUrlDialog& dialog) -> std::optional<QString> {
        EXPECT_EQ(dialog.Edit()->text(), QString::fromUtf16(u"ここ"));
        dialog.Edit()->setText(QStringLiteral("www.example.jp/x"));
        dialog.accept();
        return dialog.Url();
    });
    EXPECT_TRUE(JumpToUrl(&frame, QString::fromUtf16(u"ここ")));
    ASSERT_EQ(channel->calls.size(), 3u);
    EXPECT_EQ(channel->calls[1], QStringLiteral("open NETSCAPE http://www.example.jp/x"));
    SetUrlDialogHook({});
    SetBrowserMessageHandler({});
}

TEST_F(BrowserHandoffTest, UrlDialogRunsModally)
{
    AnswerDialog("ctl1", QStringLiteral("ftp.example.jp"));
    EXPECT_EQ(UrlToOpen(nullptr, QStringLiteral("no url here")), QStringLiteral("ftp://ftp.example.jp"));
    AnswerDialog("ctl2", QString());
    EXPECT_EQ(UrlToOpen(nullptr, QStringLiteral("www.example.jp")), std::nullopt);
}

} // namespace
