// The application and its main window, driven offscreen by command id.

#include "app/LumeApp.h"
#include "app/PaneFactory.h"
#include "app/SingleInstance.h"
#include "platform/Registry.h"
#include "widgets/AppIcons.h"
#include "platform/CommandIds.h"
#include "dialogs/ConnectDialog.h"
#include "dialogs/ProgressWindow.h"
#include "dialogs/LogWindow.h"
#include "host/HostedDocument.h"
#include "news/LumeDoc.h"
#include "ui/CArticleView.h"
#include "ui/CBodyView.h"
#include "widgets/CBodyText.h"
#include "ui/MainFrame.h"

#include "ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "WaitFor.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTest>

#include <thread>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dialogs;

using namespace news;

namespace cmd = platform::cmd;

using namespace ui;
using host::HostedDocument;
using app::CLumeApp;

namespace {

class FakeCompose : public app::ComposeLink {
public:
    bool QueryClose() override { ++asked; return allowClose; }
    bool IsPosting() const override { return posting; }
    void Destroy() override { ++destroyed; }
    void UpdateCommandStates() override {}
    bool allowClose = true;
    bool posting = false;
    int asked = 0;
    int destroyed = 0;
};

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override { dialogs.answer = IDNO; }
    void TearDown() override { Stop(); }

    CLumeApp& Start(const QString& commandLine = {})
    {
        registry = std::make_unique<platform::Registry>(registryPath);
        document = std::make_unique<HostedDocument>(dialogs, *registry);
        document->Doc().SetUntitledRecoveryFolder(stateFolder);
        lume = std::make_unique<CLumeApp>(*registry, *document, dialogs,
                                          app::MakePanes(*document, *registry, dialogs));
        EXPECT_TRUE(lume->InitInstance(commandLine));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(lume->Frame()));
        return *lume;
    }
    void Stop()
    {
        if (!lume)
            return;
        if (lume->Frame() && lume->Frame()->isVisible())
            lume->Frame()->close();
        lume->ExitInstance();
        lume.reset();
        document.reset();
        registry.reset();
    }
    QString In(const QString& name) const { return QString::fromStdString((dir / name.toStdString()).string()); }
    QString WriteFile(const QString& name, const std::string& content = "[config]\r\n")
    {
        std::filesystem::create_directories((dir / name.toStdString()).parent_path());
        testutil::WriteFile(dir / name.toStdString(), content);
        return In(name);
    }
    CMainFrame& Frame() { return *lume->Frame(); }
    CommandRouter& Router() { return lume->Router(); }
    CLumeDoc& Doc() { return document->Doc(); }
    QString Path() { return QString::fromStdString(Doc().GetPathName().string()); }

    testutil::ScratchDir dir;
    const std::filesystem::path registryPath = dir / "registry";
    std::filesystem::path stateFolder; // empty: an untitled session is kept nowhere
    ScriptedDialogs dialogs;
    std::unique_ptr<platform::Registry> registry;
    std::unique_ptr<HostedDocument> document;
    std::unique_ptr<CLumeApp> lume;
};

} // namespace

TEST_F(FrameTest, FontCommandChangesTheBodyAndListFontTheList)
{
    Start();
    auto* body = dynamic_cast<CBodyView*>(Frame().View(CMainFrame::BodyPane));
    auto* list = dynamic_cast<CArticleView*>(Frame().View(CMainFrame::ArticlePane));
    ASSERT_TRUE(body && list);
    QFont chosen = body->BodyFont();
    chosen.setPointSize(14);
    dialogs.font = [&](const QFont&) { return std::optional<QFont>(chosen); };
    const QFont listBefore = list->ListFont();
    // From every pane, as the menu would be used.
    for (int pane : {CMainFrame::GroupPane, CMainFrame::ArticlePane, CMainFrame::BodyPane}) {
        SCOPED_TRACE(pane);
        chosen.setPointSize(chosen.pointSize() + 1);
        Frame().ActivatePane(pane);
        ASSERT_TRUE(Router().Execute(cmd::Font));
        EXPECT_EQ(body->BodyFont().pointSize(), chosen.pointSize());
        EXPECT_EQ(body->Body()->font().pointSize(), chosen.pointSize());
        EXPECT_EQ(body->AttachmentList()->font().pointSize(), chosen.pointSize());
        EXPECT_EQ(list->ListFont(), listBefore);
        std::vector<std::uint8_t> record;
        EXPECT_EQ(registry->GetBinary(CBodyView::kSection, "lfFont", record), 60u);
        EXPECT_EQ(registry->GetBinary("ArticleView", "lfFont", record), 0u);
    }
    // The list keeps a command of its own; from the body it reaches the list above.
    chosen.setPointSize(9);
    Frame().ActivatePane(CMainFrame::BodyPane);
    ASSERT_TRUE(Router().Execute(cmd::ListFont));
    std::vector<std::uint8_t> record;
    EXPECT_EQ(registry->GetBinary("ArticleView", "lfFont", record), 60u);
    EXPECT_NE(list->ListFont(), listBefore);
    EXPECT_EQ(body->BodyFont().pointSize(), 17);
}

TEST_F(FrameTest, UntitledSessionKeptBySignalIsOfferedAtTheNextStart)
{
    stateFolder = dir / "state";
    const auto kept = stateFolder / "untitled.lum";
    struct Row {
        int answer;
        bool restored;
    };
    for (const Row row : {Row{IDNO, false}, Row{IDYES, true}}) {
        Start();
        Doc().Config().strNntpServer = "news.example.jp";
        testutil::WriteFile(dir / "seed.rc", "a.b: 1-5\r\n");
        ASSERT_TRUE(Doc().LoadReadMarks(dir / "seed.rc"));
        Doc().SetModifiedFlag(true);
        lume->LeaveWithoutAsking();
        EXPECT_TRUE(std::filesystem::exists(kept));
        Stop();

        dialogs.messages.clear();
        dialogs.answer = row.answer;
        dialogs.settingsAsked = 0;
        Start();
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("設定と既読情報")));
        EXPECT_FALSE(std::filesystem::exists(kept));
        EXPECT_EQ(Doc().Config().strNntpServer, row.restored ? "news.example.jp" : "");
        const CNewsGroup* ab = Doc().Groups().Find("a.b");
        EXPECT_EQ(ab ? ab->m_strReadList : "-", row.restored ? " 1-5" : "-");
        EXPECT_TRUE(Doc().GetPathName().empty());
        EXPECT_EQ(Doc().IsModified(), row.restored);
        // Restored, the welcome sheet has nothing to ask.
        QTest::qWait(0);
        EXPECT_EQ(dialogs.settingsAsked, row.restored ? 0 : 1) << row.answer;
        dialogs.answer = IDNO;
        Stop();
    }
    // A document with a file keeps its marks beside that file, never here.
    const QString config = WriteFile("saved.lum", "[config]\r\nstrMarkFile=news.rc\r\n");
    testutil::WriteFile(dir / "news.rc", "a.b: 1-3\r\n");
    Start(config);
    ASSERT_TRUE(Doc().LoadReadMarks(dir / "news.rc"));
    Doc().Groups().Find("a.b")->m_strReadList = "1-9";
    Doc().SetModifiedFlag(true);
    lume->LeaveWithoutAsking();
    EXPECT_TRUE(std::filesystem::exists(dir / "news.rc.unsaved"));
    EXPECT_FALSE(std::filesystem::exists(kept));
}

TEST_F(FrameTest, PaneSizesAndWindowRectangleSurviveARestart)
{
    Start();
    Frame().setGeometry(40, 50, 700, 520);
    QApplication::processEvents();
    Frame().OuterSplitter()->setSizes({150, 500});
    Frame().InnerSplitter()->setSizes({170, 300});
    const int width = Frame().OuterSplitter()->sizes().value(0);
    const int height = Frame().InnerSplitter()->sizes().value(0);
    ASSERT_TRUE(Router().Execute(cmd::AppExit));
    EXPECT_FALSE(Frame().isVisible());
    Stop();

    Start();
    EXPECT_EQ(Frame().geometry(), QRect(40, 50, 700, 520));
    EXPECT_EQ(Frame().OuterSplitter()->sizes().value(0), width);
    EXPECT_EQ(Frame().InnerSplitter()->sizes().value(0), height);

    // Closed while maximised: the normal rectangle is what comes back.
    Frame().showMaximized();
    WaitFor([&] { return Frame().isMaximized(); }, 2000);
    ASSERT_TRUE(Frame().close());
    Stop();
    Start();
    EXPECT_EQ(Frame().geometry(), QRect(40, 50, 700, 520));
}

TEST_F(FrameTest, SavedRectangleOffTheScreenOrDamagedIsIgnored)
{
    auto writeRect = [&](std::vector<std::int32_t> values, std::size_t size) {
        platform::Registry store(registryPath);
        store.WriteBinary("MainWindow", "rcWindowRect", values.data(), size);
        store.WriteInt("MainWindow", "nGroupPaneWidth", -5);
        store.WriteInt("MainWindow", "nArticlePaneHeight", 0);
    };
    writeRect({5000, 10, 5600, 400}, 16);
    Start();
    EXPECT_NE(Frame().geometry().left(), 5000);
    EXPECT_EQ(Frame().OuterSplitter()->sizes().value(0), CMainFrame::kDefaultGroupWidth);
    EXPECT_EQ(Frame().InnerSplitter()->sizes().value(0), CMainFrame::kDefaultArticleHeight);
    Stop();

    // A short value is not a rectangle.
    writeRect({33, 44, 633, 444}, 12);
    Start();
    EXPECT_NE(Frame().geometry().topLeft(), QPoint(33, 44));
    Stop();

    writeRect({33, 44, 633, 444}, 16);
    Start();
    EXPECT_EQ(Frame().geometry(), QRect(33, 44, 600, 400));
}

TEST_F(FrameTest, MostRecentFileOpensAndKeepsItsPlace)
{
    const QString kept = WriteFile("kept.lum");
    const QString older = WriteFile("older.lum");
    {
        platform::Registry store(registryPath);
        store.WriteString("Recent File List", "File1", (dir / "gone.lum").string());
        store.WriteString("Recent File List", "File2", kept.toStdString());
        store.WriteString("Recent File List", "File3", older.toStdString());
    }
    Start();
    // The missing file is pruned.
    EXPECT_EQ(Path(), kept);
    ASSERT_EQ(lume->Recent().Count(), 2);
    EXPECT_EQ(lume->Recent().At(1), older.toStdString());
    EXPECT_EQ(Router().Action(cmd::FileMru1)->text(), QStringLiteral("&1 ") + RecentFileList::Abbreviate(kept));
    EXPECT_FALSE(Router().Action(cmd::FileMru1 + 2)->isVisible());

    // Opening from the list moves the file to the top.
    ASSERT_TRUE(Router().Execute(cmd::FileMru1 + 1));
    EXPECT_EQ(Path(), older);
    Stop();
    platform::Registry after(registryPath);
    EXPECT_EQ(after.GetString("Recent File List", "File1"), older.toStdString());
    EXPECT_EQ(after.GetString("Recent File List", "File2"), kept.toStdString());
}

TEST_F(FrameTest, UnreadableFileOpensNothingAndSaysSo)
{
    // A folder where the file should be cannot be read as one, even by root.
    const QString locked = In("locked.lum");
    ASSERT_TRUE(QDir().mkpath(locked));
    Start(locked);
    EXPECT_TRUE(Doc().GetPathName().empty());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.first().contains(QStringLiteral("locked.lum")));
}

TEST_F(FrameTest, EveryKeyReachesItsCommand)
{
    Start();
    // Keys without a menu item of their own.
    const std::pair<unsigned, const char*> unnamed[] = {
        {cmd::EditCopy, "Ctrl+Ins"}, {cmd::EditUndo, "Alt+Backspace"}, {cmd::PrevArticle, "Ctrl+Shift+Space"},
        {cmd::PageForward, "Space"}, {cmd::PageBackward, "Shift+Space"}, {cmd::PrevPane, "Shift+F6"},
        {cmd::ContextHelp, "Shift+F1"},
    };
    for (const auto& [id, key] : unnamed)
        EXPECT_TRUE(Router().Action(id)->shortcuts().contains(QKeySequence(QString::fromLatin1(key)))) << key;
    // Every key a menu item names does what the item does.
    for (QAction* top : Frame().menuBar()->actions()) {
        std::vector<QMenu*> menus{top->menu()};
        while (!menus.empty()) {
            QMenu* menu = menus.back();
            menus.pop_back();
            for (QAction* item : menu->actions()) {
                if (item->menu())
                    menus.push_back(item->menu());
                const QString named = item->text().section(u'\t', 1);
                if (!named.isEmpty()) {
                    EXPECT_TRUE(item->shortcuts().contains(QKeySequence(named))) << item->text().toStdString();
                }
            }
        }
    }
}

TEST_F(FrameTest, CommandStatesFollowTheDocument)
{
    Start();
    Doc().Config().bShowAllGroup = false;
    Doc().Config().bShowUnreadGroup = true;
    CmdUI unread = Router().Query(cmd::ShowUnreadGroups);
    EXPECT_TRUE(unread.enabled);
    EXPECT_TRUE(unread.checked);
    Doc().Config().bShowAllGroup = true;
    EXPECT_FALSE(Router().Query(cmd::ShowUnreadGroups).enabled);
    EXPECT_TRUE(Router().Query(cmd::ShowAllGroups).checked);

    // Menus bring their items up to date as they open.
    QMenu* group = Frame().Menu(3);
    ASSERT_NE(group, nullptr);
    emit group->aboutToShow();
    EXPECT_FALSE(Router().Action(cmd::ShowUnreadGroups)->isEnabled());
    EXPECT_TRUE(Router().Action(cmd::ShowAllGroups)->isChecked());

    // Offline: disabled, and running them does nothing.
    EXPECT_FALSE(Router().Execute(cmd::Subscribe));

    // The document decides its commands: no server, no going online.
    Doc().Config().strNntpServer.clear();
    EXPECT_FALSE(Router().Execute(cmd::Online));
    EXPECT_FALSE(Doc().IsConnected());
    // The tool bar follows on the idle timer.
    EXPECT_TRUE(WaitFor([&] { return !Router().Action(cmd::Online)->isEnabled(); }));
    Doc().Config().strNntpServer = "news.example.jp";
    EXPECT_TRUE(WaitFor([&] { return Router().Action(cmd::Online)->isEnabled(); }));
}

TEST_F(FrameTest, SaveAsNewAndTheSaveQuestion)
{
    Start();
    Doc().Config().strNntpServer = "news.example.jp";
    Doc().SetModifiedFlag(true);
    dialogs.chosenFile = In("saved.lum");
    Frame().activateWindow();
    QTest::keyClick(&Frame(), Qt::Key_S, Qt::ControlModifier); // no name yet: asks for one
    EXPECT_EQ(dialogs.saveAsked, 1);
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_EQ(lume->Recent().At(0), dialogs.chosenFile.toStdString());
    std::ifstream saved(dialogs.chosenFile.toStdString(), std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_NE(content.find("strNntpServer=news.example.jp\r\n"), std::string::npos);

    // Modified again: New asks; Cancel keeps everything.
    Doc().SetModifiedFlag(true);
    dialogs.answer = IDCANCEL;
    ASSERT_TRUE(Router().Execute(cmd::FileNew));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages.first(), QStringLiteral("saved.lum への変更を保存しますか?"));
    EXPECT_EQ(Path(), dialogs.chosenFile);
    EXPECT_EQ(Doc().Config().strNntpServer, "news.example.jp");

    dialogs.answer = IDNO;
    ASSERT_TRUE(Router().Execute(cmd::FileNew));
    EXPECT_TRUE(Doc().GetPathName().empty());
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("Lume - Lumetra"));

    // Open through the (stood-in) dialog.
    dialogs.chosenFile = WriteFile("other.lum", "[config]\r\nstrNntpServer=other.example.jp\r\n");
    ASSERT_TRUE(Router().Execute(cmd::FileOpen));
    EXPECT_EQ(dialogs.openAsked, 1);
    EXPECT_EQ(Path(), dialogs.chosenFile);
    EXPECT_EQ(Doc().Config().strNntpServer, "other.example.jp");
}

TEST_F(FrameTest, ClosingWaitsForNetworkWorkAndAsksTheComposeWindow)
{
    Start();
    FakeCompose compose;
    lume->SetComposeWindow(&compose);

    {
        // A server operation's window is up.
        ProgressWindow progress(60000, &Frame(), Frame().ProgressWindows());
        progress.Open(std::string("busy"));
        EXPECT_FALSE(Frame().close());
        EXPECT_TRUE(Frame().isVisible());
        EXPECT_FALSE(Frame().NewDocument());
    }

    compose.posting = true;
    EXPECT_FALSE(Frame().close());
    compose.posting = false;

    compose.allowClose = false;
    EXPECT_FALSE(Frame().close());
    EXPECT_EQ(compose.asked, 1);

    // The compose window reports its closing (queued).
    QMetaObject::invokeMethod(&Frame(), "OnComposeClosed", Qt::QueuedConnection);
    EXPECT_TRUE(WaitFor([&] { return lume->ComposeWindow() == nullptr; }));
    EXPECT_TRUE(Frame().close());
}

TEST_F(FrameTest, SecondStartHandsItsFileOver)
{
    const QString name = QStringLiteral("lumetra-test-%1").arg(QCoreApplication::applicationPid());
    app::SingleInstance server(name);
    ASSERT_TRUE(server.Listen());
    Start();
    lume->ListenForHandOffs(&server);
    const QString file = WriteFile("handed.lum");

    bool handed = false;
    std::thread second([&] { handed = app::SingleInstance(name).HandOff(file, 5000); });
    EXPECT_TRUE(WaitFor([&] { return Path() == file; }));
    second.join();
    EXPECT_TRUE(handed);

    // No one listening under another name: the start goes on by itself.
    EXPECT_FALSE(app::SingleInstance(name + QStringLiteral("-none")).HandOff(file, 500));
}

TEST_F(FrameTest, HandOffStaysWithinOneSessionAndDisplay)
{
    const std::string one = (dir / "run1").string(), two = (dir / "run2").string();
    std::filesystem::create_directories(one), std::filesystem::create_directories(two);
    auto nameIn = [](const std::string& xdg, const char* display) {
        testutil::ScopedEnv x("XDG_RUNTIME_DIR", xdg.c_str()), w("WAYLAND_DISPLAY", nullptr), d("DISPLAY", display);
        return app::SingleInstance::DefaultName();
    };
    app::SingleInstance running(nameIn(one, ":7"));
    ASSERT_TRUE(running.Listen());
    const QString file = WriteFile("handed.lum");
    struct Row { const std::string& xdg; const char* display; bool handed; };
    for (const Row& row : {Row{one, ":7", true}, Row{one, ":8", false}, Row{two, ":7", false}}) {
        bool handed = false;
        QString got;
        QObject context;
        QObject::connect(&running, &app::SingleInstance::OpenRequested, &context, [&](const QString& p) { got = p; });
        std::thread second([&, name = nameIn(row.xdg, row.display)] { handed = app::SingleInstance(name).HandOff(file, 3000); });
        WaitFor([&] { return !got.isEmpty(); }, row.handed ? 5000 : 300);
        second.join();
        EXPECT_EQ(handed, row.handed) << row.xdg << row.display;
        EXPECT_EQ(got == file, row.handed);
    }
}

TEST_F(FrameTest, MarksLeftByASignalAreOfferedAtTheNextOpen)
{
    const std::string marks = "a.b: 1-3\r\nc.d! 1\r\n";
    testutil::WriteFile(dir / "news.rc", marks);
    const QString config = WriteFile("marks.lum", "[config]\r\nstrMarkFile=news.rc\r\n");
    const auto recovery = dir / "news.rc.unsaved";
    for (int answer : {IDYES, IDNO}) {
        Start(config);
        ASSERT_TRUE(Doc().LoadReadMarks(dir / "news.rc"));
        Doc().Groups().Find("a.b")->m_strReadList = "1-9";
        Doc().SetModifiedFlag(true);
        lume->LeaveWithoutAsking();
        EXPECT_TRUE(std::filesystem::exists(recovery));
        Stop();
        EXPECT_EQ(testutil::ReadFile(dir / "news.rc"), marks);

        dialogs.messages.clear();
        dialogs.answer = answer;
        Start(config);
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("復元しますか")));
        EXPECT_FALSE(std::filesystem::exists(recovery));
        const CNewsGroup* ab = Doc().Groups().Find("a.b");
        EXPECT_EQ(ab ? ab->m_strReadList : "", answer == IDYES ? " 1-9" : "");
        EXPECT_EQ(Doc().IsModified(), answer == IDYES);
        dialogs.answer = IDNO;
        Stop();
    }
}

TEST_F(FrameTest, QuitSignalsEndTheProgramThroughItsExit)
{
    std::string program = LUMETRA_BINARY_DIR "/src/app/lumetra";
    if (::access(program.c_str(), X_OK) != 0)
        GTEST_SKIP() << program << " not built";
    testutil::WriteFile(dir / "news.rc", "a.b: 1-3\r\n");
    std::string config = WriteFile("quit.lum", "[config]\r\nstrMarkFile=news.rc\r\n").toStdString();
    const auto tmp = dir / "tmp";
    std::filesystem::create_directories(tmp);
    testutil::ScopedEnv t("TMPDIR", tmp.c_str()), r("XDG_RUNTIME_DIR", tmp.c_str()),
        c("XDG_CONFIG_HOME", (dir / "config").c_str());
    auto folders = [&] {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(tmp))
            n += e.path().filename().string().starts_with("lumetra-") && e.is_directory();
        return n;
    };
    for (int number : {SIGTERM, SIGHUP, SIGINT}) {
        // As from a desktop: the signal not ignored (a test runner may ignore some).
        posix_spawnattr_t attr;
        sigset_t defaults;
        ::sigemptyset(&defaults);
        ::sigaddset(&defaults, number);
        ::posix_spawnattr_init(&attr);
        ::posix_spawnattr_setsigdefault(&attr, &defaults);
        ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
        std::vector<char*> argv = {program.data(), config.data(), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, &attr, argv.data(), environ), 0);
        ::posix_spawnattr_destroy(&attr);
        EXPECT_TRUE(WaitFor([&] { return folders() == 1; }, 60000)); // up once its private folder is there
        ::kill(pid, number);
        int status = 0;
        if (!WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 60000))
            ::kill(pid, SIGKILL), ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << number << " status " << status;
        EXPECT_EQ(folders(), 0) << number;
        EXPECT_EQ(testutil::ReadFile(dir / "news.rc"), "a.b: 1-3\r\n");
    }
}

TEST_F(FrameTest, UntitledSessionSurvivesTheProgramAndASignal)
{
    REQUIRE_PEER("Xvfb");
    REQUIRE_PEER("xdotool");
    const std::string program = LUMETRA_BINARY_DIR "/src/app/lumetra";
    if (::access(program.c_str(), X_OK) != 0)
        GTEST_SKIP() << program << " not built";
    // A session the last run left: restored on Yes, it is modified and
    // untitled, so the next signal must keep it again.
    const auto state = dir / "state";
    const auto kept = state / "Quorvane" / "Lumetra";
    const std::string config = "[config]\r\nstrNntpServer=news.example.jp\r\nstrRealName=Taro\r\n";
    const std::string marks = "a.b: 1-5\r\nc.d! 1-2\r\n";
    std::filesystem::create_directories(kept);
    testutil::WriteFile(kept / "untitled.lum", config);
    testutil::WriteFile(kept / "untitled.news.rc", marks);
    std::filesystem::create_directories(dir / "tmp");
    const std::string d = testutil::Quote(dir.path());
    const std::string until = "i=0; until [ $i -ge 600 ] || ";
    const std::string out = testutil::Shell(
        "cd " + d + " && Xvfb -displayfd 1 -screen 0 800x600x24 -nolisten tcp >display 2>/dev/null & x=$!; " +
        until + "[ -s " + d + "/display ]; do sleep 0.1; i=$((i+1)); done; " +
        "export DISPLAY=:$(cat " + d + "/display) QT_QPA_PLATFORM=xcb XDG_STATE_HOME=" + d + "/state " +
        "XDG_CONFIG_HOME=" + d + "/config TMPDIR=" + d + "/tmp XDG_RUNTIME_DIR=" + d + "/tmp; " +
        "(trap - TERM; exec " + program + ") & p=$!; " +
        // The question comes before the main window: Enter takes its default, Yes.
        until + "w=$(xdotool search --onlyvisible --name '^Lumetra$' 2>/dev/null | head -1) && [ -n \"$w\" ]; " +
        "do sleep 0.1; i=$((i+1)); done; xdotool windowfocus --sync $w key Return; " +
        until + "[ ! -e " + d + "/state/Quorvane/Lumetra/untitled.lum ]; do sleep 0.1; i=$((i+1)); done; " +
        until + "xdotool search --onlyvisible --name 'Lumetra' >/dev/null 2>&1; do sleep 0.1; i=$((i+1)); done; " +
        "kill -TERM $p; wait $p; echo \"exit=$?\"; kill $x 2>/dev/null");
    EXPECT_EQ(out, "exit=0\n");
    const std::string again = testutil::ReadFile(kept / "untitled.lum");
    EXPECT_NE(again.find("strNntpServer=news.example.jp"), std::string::npos) << again;
    EXPECT_NE(again.find("strRealName=Taro"), std::string::npos) << again;
    EXPECT_EQ(testutil::ReadFile(kept / "untitled.news.rc"), marks);
}

namespace {
// A pane that copies while it is the active pane, and hears the document.
class ProbePane : public QFrame, public DocumentView, public FramePane {
public:
    explicit ProbePane(CLumeDoc& doc) : doc_(doc) { doc_.AddView(this); }
    ~ProbePane() override { doc_.RemoveView(this); }
    QWidget* Widget() override { return this; }
    void OnUpdate(DocumentView*, news::Hint hint) override { hints.push_back(hint); }
    bool OnCommand(unsigned id) override { return id == cmd::EditCopy && ++copies; }
    bool OnUpdateCommand(CmdUI& state) override { return state.id == cmd::EditCopy; }
    std::vector<news::Hint> hints;
    int copies = 0;

private:
    CLumeDoc& doc_;
};
} // namespace

TEST(CommandRoute, ActivePaneFirstThenTheDocument)
{
    platform::Registry registry(testutil::Scratch() / "registry");
    ScriptedDialogs dialogs;
    HostedDocument document(dialogs, registry);
    CLumeDoc& doc = document.Doc();
    ProbePane* panes[3] = {};
    {
        CLumeApp lume(registry, document, dialogs, [&](int index, CMainFrame&) {
            return panes[index] = new ProbePane(doc);
        });
        ASSERT_TRUE(lume.InitInstance({}));
        EXPECT_EQ(lume.Frame()->Pane(CMainFrame::BodyPane), panes[CMainFrame::BodyPane]);

        lume.Frame()->ActivatePane(CMainFrame::GroupPane);
        EXPECT_TRUE(lume.Router().Execute(cmd::EditCopy));
        lume.Frame()->ActivatePane(CMainFrame::BodyPane);
        EXPECT_TRUE(lume.Router().Execute(cmd::EditCopy));
        EXPECT_EQ(panes[CMainFrame::GroupPane]->copies, 1);
        EXPECT_EQ(panes[CMainFrame::BodyPane]->copies, 1);
        // What no pane knows goes to the document, whose change every pane hears.
        EXPECT_TRUE(lume.Router().Execute(cmd::ShowHeader));
        for (ProbePane* pane : panes)
            EXPECT_EQ(pane->hints.back(), Hint::Article);
        // ...except the one that sent it.
        doc.UpdateAllViews(panes[CMainFrame::BodyPane], Hint::Online);
        EXPECT_NE(panes[CMainFrame::BodyPane]->hints.back(), Hint::Online);
        EXPECT_EQ(panes[CMainFrame::GroupPane]->hints.back(), Hint::Online);
        lume.Frame()->close();
        lume.ExitInstance();
    }
    // The panes went with the frame and left the document's views.
    doc.UpdateAllViews(nullptr, Hint::Online);
}
