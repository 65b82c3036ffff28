// The windows of network work: progress, connect, protocol log, posting status,
// and the Shift_JIS crossing they all use.

#include "WaitFor.h"
#include "support/TestFiles.h"
#include "net/Log.h"
#include "platform/WinsockError.h"
#include "dialogs/ConnectDialog.h"
#include "dialogs/LogWindow.h"
#include "host/HostedDocument.h"
#include "dialogs/ProgressWindow.h"
#include "widgets/SjisText.h"
#include "widgets/WindowLock.h"
#include "news/LumeDoc.h"
#include "platform/Registry.h"
#include "ui/SessionLock.h"
#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace widgets;
using namespace dialogs;

using namespace ui;
using namespace net;

namespace {

// A port on which nobody listens.
quint16 ClosedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

} // namespace

class ProgressTest : public ::testing::Test {
protected:
    QMainWindow main;
    ProgressCount count;
    void SetUp() override { main.show(); }
};

TEST_F(ProgressTest, HiddenUntilItsDelayThenShowsTextAndPercent)
{
    ProgressWindow progress(50, &main, &count);
    ASSERT_TRUE(progress.Open(std::string("\x8e\xe6\x93\xbe\x92\x86"))); // 取得中
    ASSERT_NE(progress.Dialog(), nullptr);
    EXPECT_FALSE(progress.Dialog()->isVisible());
    EXPECT_FALSE(main.isEnabled());
    EXPECT_EQ(progress.Dialog()->windowTitle(), QStringLiteral("取得中"));

    auto* bar = progress.Dialog()->findChild<QProgressBar*>(QStringLiteral("ctl1057"));
    auto* text = progress.Dialog()->findChild<QLabel*>(QStringLiteral("ctl1005"));
    ASSERT_TRUE(bar && text);
    progress.SetMessage("LIST");
    ASSERT_TRUE(WaitFor([&] { return progress.Dialog()->isVisible(); }));
    ASSERT_TRUE(WaitFor([&] { return text->text() == QStringLiteral("LIST"); }));
    EXPECT_FALSE(bar->isVisible()); // no total yet

    progress.SetTotal(7);
    progress.SetPosition(3);
    ASSERT_TRUE(WaitFor([&] { return bar->isVisible(); }));
    EXPECT_EQ(bar->value(), 42);

    // Cancel only raises the flag; the caller closes.
    auto* cancel = progress.Dialog()->findChild<QPushButton*>(QStringLiteral("ctl2"));
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(progress.Cancelled());
    EXPECT_TRUE(progress.Dialog()->isVisible());
    progress.Close();
    EXPECT_TRUE(main.isEnabled());
    EXPECT_EQ(count.Open(), 0);
}

TEST_F(ProgressTest, NestedWindowsGiveTheMainWindowBackOnlyAtTheEnd)
{
    ProgressWindow outer(60000, &main, &count);
    ProgressWindow inner(60000, &main, &count);
    outer.Open(std::string("outer"));
    inner.Open(std::string("inner"));
    EXPECT_EQ(count.Open(), 2);
    inner.Close();
    EXPECT_FALSE(main.isEnabled());
    outer.Close();
    EXPECT_TRUE(main.isEnabled());
    {
        // A window still open when its owner goes away closes with it.
        ProgressWindow scoped(60000, &main, &count);
        scoped.Open(std::string("x"));
        EXPECT_FALSE(main.isEnabled());
    }
    EXPECT_TRUE(main.isEnabled());
    EXPECT_EQ(count.Open(), 0);
}

TEST(ProgressPercent, LargeCountsDoNotOverflow)
{
    EXPECT_EQ(ProgressWindow::Percent(30000000, 40000000), 75);
    EXPECT_EQ(ProgressWindow::Percent(5, 0), 0);
}

class ConnectTest : public ::testing::Test {
protected:
    QMainWindow parent;
    void SetUp() override { parent.show(); }
    // Runs the dialog until it reports; counts every report.
    std::unique_ptr<CConnectDialog> Make(int showDelay = 3)
    {
        auto dialog = std::make_unique<CConnectDialog>(&parent, showDelay);
        QObject::connect(dialog.get(), &CConnectDialog::Finished, [this](bool connected) {
            reports.push_back(connected);
        });
        return dialog;
    }
    std::vector<bool> reports;
};

TEST_F(ConnectTest, QuickConnectHandsOverTheSocketUnseen)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    for (const char* host : {"127.0.0.1", "localhost"}) {
        reports.clear();
        auto dialog = Make();
        EXPECT_FALSE(parent.isEnabled());
        ASSERT_TRUE(dialog->Start(host, server.serverPort()));
        ASSERT_TRUE(WaitFor([&] { return !reports.empty(); })) << host;
        EXPECT_EQ(reports, std::vector<bool>{true});
        EXPECT_EQ(dialog->StatusText(), QStringLiteral("Connect success."));
        EXPECT_FALSE(dialog->isVisible());
        const int fd = dialog->TakeSocket();
        ASSERT_GE(fd, 0);
        EXPECT_EQ(dialog->TakeSocket(), -1);
        EXPECT_EQ(::send(fd, "x", 1, MSG_NOSIGNAL), 1);
        ::close(fd);
        dialog.reset();
        EXPECT_TRUE(parent.isEnabled());
    }
}

TEST_F(ConnectTest, RefusedPortIsTriedAgainUntilCancel)
{
    auto dialog = Make(0);
    EXPECT_TRUE(dialog->isVisible()); // no delay asked for
    ASSERT_TRUE(dialog->Start("127.0.0.1", ClosedPort()));
    const QString reason = FromSjis(platform::WinsockErrorText(platform::WSAECONNREFUSED));
    ASSERT_TRUE(WaitFor([&] { return dialog->Attempt() > 3; }));
    EXPECT_TRUE(dialog->StatusText().contains(QStringLiteral("]Connect fail:code=[10061]:") + reason))
        << dialog->StatusText().toStdString();
    EXPECT_TRUE(reports.empty());

    auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("ctl2"));
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(dialog->StatusText(), QStringLiteral("Connect cancel."));
    ASSERT_TRUE(WaitFor([&] { return !reports.empty(); }));
    const int attempts = dialog->Attempt();
    QTest::qWait(300);
    EXPECT_EQ(reports, std::vector<bool>{false});
    EXPECT_EQ(dialog->Attempt(), attempts); // no retry after Cancel
    EXPECT_EQ(dialog->TakeSocket(), -1);
}

TEST_F(ConnectTest, CancelBeforeASuccessIsDeliveredWins)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    auto dialog = Make();
    ASSERT_TRUE(dialog->Start("127.0.0.1", server.serverPort()));
    // The connect to loopback completes at once; cancel before the report arrives.
    dialog->Cancel();
    ASSERT_TRUE(WaitFor([&] { return !reports.empty(); }));
    QTest::qWait(50);
    EXPECT_EQ(reports, std::vector<bool>{false});
    EXPECT_EQ(dialog->TakeSocket(), -1);
}

class LogTest : public ::testing::Test {
protected:
    net::ProtocolLog protocol;
    LogWindow log{protocol};
    testutil::ScratchDir dir;
};

TEST_F(LogTest, RecordsOnlyWhileVisible)
{
    log.LogLine("NNTP: hidden");
    EXPECT_EQ(log.Edit()->toPlainText(), QString());
    log.show();
    log.LogLine("NNTP: \x90\xda\x91\xb1"); // 接続
    EXPECT_EQ(log.Edit()->toPlainText(), QStringLiteral("NNTP: 接続\n"));
    log.hide();
    log.LogLine("NNTP: hidden again");
    log.show();
    EXPECT_EQ(log.Edit()->toPlainText(), QStringLiteral("NNTP: 接続\n"));
    // The protocol log it was given reaches the window only while it shows.
    protocol.Printf("%d %s", 200, "ready");
    EXPECT_TRUE(log.Edit()->toPlainText().endsWith(QStringLiteral("200 ready\n")));
    log.hide();
    protocol.Printf("QUIT");
    EXPECT_FALSE(log.Edit()->toPlainText().contains(QStringLiteral("QUIT")));
    log.show();
    log.close(); // closing only hides, and the window stops listening
    EXPECT_FALSE(log.isVisible());
    EXPECT_FALSE(protocol.HasSink());
}

TEST_F(LogTest, The501stLineDropsTheFirstHundred)
{
    log.show();
    for (int i = 1; i <= 500; ++i)
        log.LogLine("line " + std::to_string(i));
    EXPECT_TRUE(log.Edit()->toPlainText().startsWith(QStringLiteral("line 1\n")));
    log.LogLine("line 501");
    const QStringList lines = log.Edit()->toPlainText().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 401);
    EXPECT_EQ(lines.first(), QStringLiteral("line 101"));
}

TEST_F(LogTest, SaveWritesWholeLinesAndClearEmpties)
{
    const auto empty = dir / "empty.log";
    ASSERT_TRUE(log.SaveTo(empty));
    EXPECT_EQ(testutil::ReadFile(empty), "");

    log.show();
    const std::string longLine = "221 0 <" + std::string(400, 'a') + "@example> head";
    log.LogLine("NNTP: \x90\xda\x91\xb1");
    log.LogLine(longLine);
    const auto saved = dir / "saved.log";
    ASSERT_TRUE(log.SaveTo(saved));
    EXPECT_EQ(testutil::ReadFile(saved), "NNTP: \x90\xda\x91\xb1\n" + longLine + "\n");

    EXPECT_FALSE(log.SaveTo(dir / "no/such/folder/x.log"));

    auto* clear = log.findChild<QPushButton*>(QStringLiteral("ctl1010"));
    ASSERT_NE(clear, nullptr);
    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_EQ(log.Edit()->toPlainText(), QString());
}

TEST(MessageFormat, ArgumentsInOrderPathsAsUtf8)
{
    const std::string format = "\x83\x74\x83\x40\x83\x43\x83\x8b(%s)\x82\xcc\x8f\x91\x82\xab\x8d\x9e\x82\xdd\x82\xc9"
                               "\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42"; // ファイル(%s)の書き込みに失敗しました。
    EXPECT_EQ(FormatMessage(format, {"/tmp/\xe6\x97\xa5\xe6\x9c\xac/a.lum"}),
              QStringLiteral("ファイル(/tmp/日本/a.lum)の書き込みに失敗しました。"));
    // A Shift_JIS argument (a group name, a server reply) stays Shift_JIS.
    EXPECT_EQ(FormatMessage("[%s] %d%% %4d|", {"\x93\xfa\x96\x7b", "42", "7"}),
              QStringLiteral("[日本] 42%    7|"));
    EXPECT_EQ(FormatMessage("%s and %s", {"one"}), QStringLiteral("one and "));
}

namespace {
int ConnectLoopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        ::close(std::exchange(fd, -1));
    return fd;
}
} // namespace

// The status bar's lock against the test server's three ways in.
TEST(SessionLockTest, ShownOnlyWhileTheSessionIsEncrypted)
{
    const char* innDir = std::getenv("LUMETRA_TEST_NNTP_DIR");
    const char* plainPort = std::getenv("LUMETRA_TEST_NNTP_PORT");
    if (!innDir || !plainPort || !std::filesystem::exists(std::filesystem::path(innDir) / "tls-port"))
        GTEST_SKIP() << "needs scripts/inn-server.sh (LUMETRA_TEST_NNTP_DIR and _PORT)";
    const int tlsPort = std::stoi(testutil::ReadFile(std::filesystem::path(innDir) / "tls-port"));
    const testutil::CertificateLock certificate(innDir, false);
    testutil::ScratchDir dir;
    ScriptedDialogs dialogs;
    platform::Registry registry(dir / "registry");
    host::HostedDocument document(dialogs, registry);
    news::CLumeDoc& doc = document.Doc();
    doc.Nntp().Tcp().SetCaFile((std::filesystem::path(innDir) / "tls" / "ca.pem").string());
    QWidget bar;
    SessionLock lock(dialogs, &bar);
    struct Row {
        Security security;
        const char* kind; // none: no lock
    };
    for (const Row& row : {Row{Security::None, nullptr}, Row{Security::StartTls, "STARTTLS"},
                           Row{Security::Tls, "SSL/TLS"}}) {
        SCOPED_TRACE(static_cast<int>(row.security));
        news::LumeConfig& c = doc.Config();
        c.strNntpServer = "localhost";
        c.nSecurity = static_cast<int>(row.security);
        c.nNntpPort = row.security == Security::Tls ? tlsPort : std::atoi(plainPort);
        ASSERT_TRUE(doc.OnConnected(ConnectLoopback(c.nNntpPort)));
        lock.Follow(doc);
        EXPECT_EQ(lock.Shown(), row.kind != nullptr);
        EXPECT_EQ(lock.isVisibleTo(&bar), row.kind != nullptr);
        if (row.kind) {
            EXPECT_TRUE(lock.toolTip().contains(QString::fromLatin1(row.kind))) << lock.toolTip().toStdString();
            EXPECT_TRUE(lock.toolTip().contains(QStringLiteral("CN=localhost")) ||
                        lock.toolTip().contains(QStringLiteral("CN = localhost")))
                << lock.toolTip().toStdString();
            lock.click();
            ASSERT_EQ(dialogs.certificatesShown.size(), 1u);
            EXPECT_EQ(dialogs.certificatesShown[0].port, c.nNntpPort);
            EXPECT_FALSE(dialogs.certificatesShown[0].sha256.empty());
            dialogs.certificatesShown.clear();
        }
        ASSERT_TRUE(doc.GoOffline());
        lock.Follow(doc);
        EXPECT_FALSE(lock.Shown());
        EXPECT_FALSE(lock.isVisibleTo(&bar));
    }
}
