// The application and its main window, driven offscreen by command id.

#include "app/LumeApp.h"
#include "app/SingleInstance.h"
#include "platform/Registry.h"
#include "ui/AppIcons.h"
#include "platform/CommandIds.h"
#include "ui/ConnectDialog.h"
#include "ui/ProgressWindow.h"
#include "ui/ConfigDocument.h"
#include "ui/LogWindow.h"
#include "ui/LumeDocument.h"
#include "ui/MainFrame.h"
#include "ui/UiHost.h"

#include "WaitFor.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QLabel>
#include <QLocalSocket>
#include <QMessageBox>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <fstream>
#include <thread>

namespace cmd = platform::cmd;

using namespace ui;
using app::CLumeApp;

namespace {

class FakeCompose : public ComposeLink {
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

// A document that knows one command of its own, to see the route.
class RoutedDocument : public ConfigDocument {
public:
    bool OnCommand(unsigned id) override
    {
        if (id != cmd::Online)
            return false;
        ++online;
        return true;
    }
    bool OnUpdateCommand(CmdUI& state) override
    {
        if (state.id != cmd::Online)
            return false;
        state.Enable(onlineEnabled);
        return true;
    }
    int online = 0;
    bool onlineEnabled = true;
};

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        registryPath = dir.filePath(QStringLiteral("registry")).toStdString();
        SetMessageHook([this](const QString& text, WindowHost::Icon, bool) {
            messages << text;
            return answer;
        });
        CMainFrame::SetFileDialogHook([this](bool save) {
            (save ? saveAsked : openAsked)++;
            return chosenFile;
        });
    }
    void TearDown() override
    {
        Stop();
        SetMessageHook({});
        CMainFrame::SetFileDialogHook({});
    }

    CLumeApp& Start(const QString& commandLine = {})
    {
        registry = std::make_unique<platform::Registry>(registryPath);
        lume = std::make_unique<CLumeApp>(*registry, document);
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
        registry.reset();
    }
    QString WriteFile(const QString& name, const std::string& content = "[config]\r\n")
    {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        std::ofstream(path.toStdString(), std::ios::binary) << content;
        return path;
    }
    CMainFrame& Frame() { return *lume->Frame(); }
    CommandRouter& Router() { return lume->Router(); }

    QTemporaryDir dir;
    std::string registryPath;
    std::unique_ptr<platform::Registry> registry;
    RoutedDocument document;
    std::unique_ptr<CLumeApp> lume;
    QStringList messages;
    int answer = WindowHost::No;
    QString chosenFile;
    int saveAsked = 0;
    int openAsked = 0;
};

std::vector<unsigned> ToolBarLayout(QToolBar* bar, const CommandRouter& router)
{
    std::vector<unsigned> ids;
    for (QAction* action : bar->actions())
        ids.push_back(action->isSeparator() ? 0 : router.IdOf(action));
    return ids;
}

} // namespace

TEST_F(FrameTest, FirstStartUsesDefaultsAndANewDocument)
{
    Start();
    EXPECT_EQ(Frame().OuterSplitter()->sizes().value(0), CMainFrame::kDefaultGroupWidth);
    EXPECT_EQ(Frame().InnerSplitter()->sizes().value(0), CMainFrame::kDefaultArticleHeight);
    EXPECT_TRUE(document.PathName().empty());
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("Lume - Lumetra"));
    EXPECT_EQ(Frame().ActivePaneIndex(), int(CMainFrame::GroupPane));
    EXPECT_EQ(lume->Ctl3d(), 1);
    Stop();
    platform::Registry after(registryPath);
    EXPECT_EQ(after.GetInt("Settings", "bUseCtl3D", 0), 1);
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

TEST_F(FrameTest, MissingRecentFileIsPrunedAndANewDocumentMade)
{
    {
        platform::Registry store(registryPath);
        store.WriteString("Recent File List", "File1", dir.filePath("gone.lum").toStdString());
    }
    Start();
    EXPECT_TRUE(document.PathName().empty());
    EXPECT_EQ(lume->Recent().Count(), 0);
    EXPECT_EQ(registry->GetString("Recent File List", "File1"), "");
    QAction* first = Router().Action(cmd::FileMru1);
    EXPECT_FALSE(Router().Query(cmd::FileMru1).enabled);
    EXPECT_TRUE(first->isVisible());
}

TEST_F(FrameTest, MostRecentFileOpensAndKeepsItsPlace)
{
    const QString kept = WriteFile("kept.lum");
    const QString older = WriteFile("older.lum");
    {
        platform::Registry store(registryPath);
        store.WriteString("Recent File List", "File1", dir.filePath("gone.lum").toStdString());
        store.WriteString("Recent File List", "File2", kept.toStdString());
        store.WriteString("Recent File List", "File3", older.toStdString());
    }
    Start();
    EXPECT_EQ(QString::fromStdString(document.PathName().string()), kept);
    ASSERT_EQ(lume->Recent().Count(), 2);
    EXPECT_EQ(lume->Recent().At(1), older.toStdString());
    EXPECT_EQ(Router().Action(cmd::FileMru1)->text(), QStringLiteral("&1 ") + RecentFileList::Abbreviate(kept));
    EXPECT_FALSE(Router().Action(cmd::FileMru1 + 2)->isVisible());

    // Opening from the list moves the file to the top.
    ASSERT_TRUE(Router().Execute(cmd::FileMru1 + 1));
    EXPECT_EQ(QString::fromStdString(document.PathName().string()), older);
    Stop();
    platform::Registry after(registryPath);
    EXPECT_EQ(after.GetString("Recent File List", "File1"), older.toStdString());
    EXPECT_EQ(after.GetString("Recent File List", "File2"), kept.toStdString());
}

TEST_F(FrameTest, CommandLineWithQuotes)
{
    EXPECT_EQ(CLumeApp::FileFromCommandLine(QStringLiteral("\"/tmp/a b/c.lum\" -x y")),
              QStringLiteral("/tmp/a b/c.lum"));
    EXPECT_EQ(CLumeApp::FileFromCommandLine(QStringLiteral("\"")), QString());
    EXPECT_EQ(CLumeApp::FileFromCommandLine(QStringLiteral("\"\"x")), QStringLiteral("\"x"));
    EXPECT_EQ(CLumeApp::FileFromCommandLine(QStringLiteral("/tmp/a b.lum")), QStringLiteral("/tmp/a b.lum"));

    const QString spaced = WriteFile(QStringLiteral("with blank/my news.lum"));
    Start(QStringLiteral("\"%1\" --other").arg(spaced));
    EXPECT_EQ(QString::fromStdString(document.PathName().string()), spaced);
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("my news.lum - Lumetra"));
}

TEST_F(FrameTest, SingleQuoteOrMissingFileGivesNewDocumentQuietly)
{
    Start(QStringLiteral("\""));
    EXPECT_TRUE(document.PathName().empty());
    Stop();
    Start(dir.filePath("nothing-here.lum"));
    EXPECT_TRUE(document.PathName().empty());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(FrameTest, UnreadableFileOpensNothingAndSaysSo)
{
    // A folder where the file should be cannot be read as one, even by root.
    const QString locked = dir.filePath("locked.lum");
    ASSERT_TRUE(QDir().mkpath(locked));
    Start(locked);
    EXPECT_TRUE(document.PathName().empty());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(QStringLiteral("locked.lum")));
}

TEST_F(FrameTest, MenusCarryTheirTextsAndKeys)
{
    Start();
    QStringList titles;
    for (QAction* top : Frame().menuBar()->actions())
        titles << top->text();
    EXPECT_EQ(titles, (QStringList{QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("編集(&E)"),
                                   QStringLiteral("ﾈｯﾄﾜｰｸ(&N)"), QStringLiteral("ｸﾞﾙｰﾌﾟ(&G)"),
                                   QStringLiteral("記事(&A)"), QStringLiteral("ﾍﾙﾌﾟ(&H)")}));
    EXPECT_EQ(Router().Action(cmd::FileSave)->text(), QStringLiteral("上書き保存(&S)\tCtrl+S"));
    EXPECT_EQ(Router().Action(cmd::FindPrev)->text(), QStringLiteral("上候補(&P)\tShift+F3"));
    EXPECT_EQ(Router().Action(cmd::LogWindow)->text(), QStringLiteral("ログウインドウ(&L)"));
    EXPECT_EQ(Router().Action(cmd::EditSignatures)->text(), QStringLiteral("署名の編集(&I)..."));
    EXPECT_EQ(Router().Action(cmd::AppAbout)->text(), QStringLiteral("バージョン情報(&A)..."));
    // Tool tips and fly-by prompts are the two halves of the command's string.
    EXPECT_EQ(Router().Action(cmd::Online)->toolTip(), QStringLiteral("オンライン/オフライン"));
    EXPECT_EQ(Router().Action(cmd::Online)->statusTip(), QStringLiteral("サーバに接続し、またはサーバから切断します"));

    auto keys = [&](unsigned id) { return Router().Action(id)->shortcuts(); };
    EXPECT_EQ(keys(cmd::EditCopy), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+C")),
                                                        QKeySequence(QStringLiteral("Ctrl+Ins"))}));
    EXPECT_EQ(keys(cmd::EditUndo), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Z")),
                                                        QKeySequence(QStringLiteral("Alt+Backspace"))}));
    EXPECT_EQ(keys(cmd::PrevArticle), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Up")),
                                                           QKeySequence(QStringLiteral("Ctrl+Shift+Space"))}));
    EXPECT_EQ(keys(cmd::NextUnread), QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Space"))});
    EXPECT_EQ(keys(cmd::PageForward), QList<QKeySequence>{QKeySequence(QStringLiteral("Space"))});
    EXPECT_EQ(keys(cmd::PageBackward), QList<QKeySequence>{QKeySequence(QStringLiteral("Shift+Space"))});
    EXPECT_EQ(keys(cmd::FindNext), QList<QKeySequence>{QKeySequence(QStringLiteral("F3"))});
    EXPECT_TRUE(keys(cmd::PrevPane).contains(QKeySequence(QStringLiteral("Shift+F6"))));
    EXPECT_EQ(keys(cmd::ContextHelp), QList<QKeySequence>{QKeySequence(QStringLiteral("Shift+F1"))});
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
                if (!named.isEmpty())
                    EXPECT_TRUE(item->shortcuts().contains(QKeySequence(named))) << item->text().toStdString();
            }
        }
    }

    EXPECT_EQ(ToolBarLayout(Frame().ToolBar(), Router()),
              (std::vector<unsigned>{57665, 0, 57601, 57603, 0, 57634, 0, 32771, 0, 32803, 32819, 0,
                                     32810, 32800, 0, 32801, 32820, 0, 32809, 0, 32836}));
    for (QAction* action : Frame().ToolBar()->actions()) {
        if (!action->isSeparator()) {
            EXPECT_EQ(action->icon().pixmap(QSize(40, 30)).size(), QSize(40, 30)) << Router().IdOf(action);
        }
    }
}

TEST_F(FrameTest, CommandStatesFollowTheDocument)
{
    Start();
    document.showAll_ = false;
    document.showUnread_ = true;
    CmdUI unread = Router().Query(cmd::ShowUnreadGroups);
    EXPECT_TRUE(unread.enabled);
    EXPECT_TRUE(unread.checked);
    document.showAll_ = true;
    EXPECT_FALSE(Router().Query(cmd::ShowUnreadGroups).enabled);
    EXPECT_TRUE(Router().Query(cmd::ShowAllGroups).checked);

    // Menus bring their items up to date as they open.
    QMenu* group = Frame().Menu(3);
    ASSERT_NE(group, nullptr);
    emit group->aboutToShow();
    EXPECT_FALSE(Router().Action(cmd::ShowUnreadGroups)->isEnabled());
    EXPECT_TRUE(Router().Action(cmd::ShowAllGroups)->isChecked());

    // Nobody handles these yet: disabled, and running them does nothing.
    EXPECT_FALSE(Router().Query(cmd::Subscribe).enabled);
    EXPECT_FALSE(Router().Execute(cmd::Subscribe));
    EXPECT_TRUE(Router().Query(cmd::FileNew).enabled);
    EXPECT_TRUE(Router().Query(cmd::FileSaveAs).enabled);

    // The document gets its commands, and a disabled one is not run.
    EXPECT_TRUE(Router().Execute(cmd::Online));
    EXPECT_EQ(document.online, 1);
    document.onlineEnabled = false;
    EXPECT_FALSE(Router().Execute(cmd::Online));
    EXPECT_EQ(document.online, 1);

    // The tool bar follows on the idle timer.
    EXPECT_TRUE(WaitFor([&] { return !Router().Action(cmd::Online)->isEnabled(); }));
    document.onlineEnabled = true;
    EXPECT_TRUE(WaitFor([&] { return Router().Action(cmd::Online)->isEnabled(); }));
}

TEST_F(FrameTest, TabCyclesThePanes)
{
    Start();
    Frame().activateWindow();
    Frame().ActivatePane(CMainFrame::GroupPane);
    ASSERT_TRUE(Router().Execute(cmd::NextPane));
    EXPECT_EQ(Frame().ActivePaneIndex(), int(CMainFrame::ArticlePane));
    QTest::keyClick(&Frame(), Qt::Key_Tab);
    EXPECT_EQ(Frame().ActivePaneIndex(), int(CMainFrame::BodyPane));
    QTest::keyClick(&Frame(), Qt::Key_Tab);
    EXPECT_EQ(Frame().ActivePaneIndex(), int(CMainFrame::GroupPane));
    QTest::keyClick(&Frame(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(Frame().ActivePaneIndex(), int(CMainFrame::BodyPane));
    ASSERT_TRUE(Router().Execute(cmd::PrevPane));
    EXPECT_EQ(Frame().ActivePaneIndex(), int(CMainFrame::ArticlePane));
}

TEST_F(FrameTest, StatusPaneShowsTheGroupAndFitsIt)
{
    Start();
    Frame().UpdateStatusPanes();
    QLabel* pane = Frame().StatusPane(1);
    EXPECT_EQ(pane->text(), QString());
    EXPECT_EQ(pane->contentsRect().width(), 50);
    document.group_ = "fj.test";
    document.articles_ = 12;
    Frame().UpdateStatusPanes();
    EXPECT_EQ(pane->text(), QStringLiteral("fj.test (12)"));
    EXPECT_EQ(pane->contentsRect().width(), pane->fontMetrics().horizontalAdvance(QStringLiteral("fj.test (12)")));
    // All of it is drawn: the ink ends where the text drawn on its own ends.
    auto inkRight = [](const QImage& image) {
        int right = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 160)
                    right = std::max(right, x);
        return right;
    };
    const QRect inside = pane->contentsRect();
    const QImage shot = pane->grab(inside.adjusted(0, 1, 0, -1)).toImage();
    QImage alone(inside.width() + 20, shot.height(), QImage::Format_RGB32);
    alone.fill(Qt::white);
    {
        QPainter painter(&alone);
        painter.setFont(pane->font());
        painter.setPen(Qt::black);
        painter.drawText(alone.rect(), Qt::AlignLeft | Qt::AlignVCenter, pane->text());
    }
    EXPECT_EQ(inkRight(shot), inkRight(alone)) << "the end of the text is cut off";
}

TEST_F(FrameTest, SaveAsNewAndTheSaveQuestion)
{
    Start();
    document.content_ = "[config]\r\nstrNntpServer=news\r\n";
    document.SetModified(true);
    chosenFile = dir.filePath("saved.lum");
    Frame().activateWindow();
    QTest::keyClick(&Frame(), Qt::Key_S, Qt::ControlModifier); // no name yet: asks for one
    EXPECT_EQ(saveAsked, 1);
    EXPECT_FALSE(document.IsModified());
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("saved.lum - Lumetra"));
    EXPECT_EQ(lume->Recent().At(0), chosenFile.toStdString());

    // Modified again: New asks; Cancel keeps everything.
    document.SetModified(true);
    answer = WindowHost::Cancel;
    ASSERT_TRUE(Router().Execute(cmd::FileNew));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first(), QStringLiteral("saved.lum への変更を保存しますか?"));
    EXPECT_EQ(QString::fromStdString(document.PathName().string()), chosenFile);

    answer = WindowHost::No;
    ASSERT_TRUE(Router().Execute(cmd::FileNew));
    EXPECT_TRUE(document.PathName().empty());
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("Lume - Lumetra"));

    // Open through the (stood-in) dialog.
    chosenFile = WriteFile("other.lum");
    ASSERT_TRUE(Router().Execute(cmd::FileOpen));
    EXPECT_EQ(openAsked, 1);
    EXPECT_EQ(QString::fromStdString(document.PathName().string()), chosenFile);
}

TEST_F(FrameTest, ClosingWaitsForNetworkWorkAndAsksTheComposeWindow)
{
    Start();
    FakeCompose compose;
    lume->SetComposeWindow(&compose);

    document.busy_ = true;
    EXPECT_FALSE(Frame().close());
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_FALSE(Frame().NewDocument());
    document.busy_ = false;

    compose.posting = true;
    EXPECT_FALSE(Frame().close());
    compose.posting = false;

    compose.allowClose = false;
    EXPECT_FALSE(Frame().close());
    EXPECT_EQ(compose.asked, 1);

    // The compose window reports its closing (queued).
    QMetaObject::invokeMethod(&Frame(), "OnComposeClosed", Qt::QueuedConnection);
    EXPECT_TRUE(WaitFor([&] { return lume->ComposeWindow() == nullptr; }));
    EXPECT_EQ(document.composeClosed_, 1);
    EXPECT_TRUE(Frame().close());
}

TEST_F(FrameTest, LogWindowCommandTogglesAndChecks)
{
    Start();
    EXPECT_FALSE(lume->Log()->isVisible());
    EXPECT_FALSE(Router().Query(cmd::LogWindow).checked);
    ASSERT_TRUE(Router().Execute(cmd::LogWindow));
    EXPECT_TRUE(lume->Log()->isVisible());
    EXPECT_TRUE(Router().Query(cmd::LogWindow).checked);
    EXPECT_TRUE(Router().Action(cmd::LogWindow)->isChecked());
    ASSERT_TRUE(Router().Execute(cmd::LogWindow));
    EXPECT_FALSE(lume->Log()->isVisible());
}

TEST_F(FrameTest, AboutBoxShowsTheVersion)
{
    Start();
    QString title, text;
    QTimer::singleShot(0, [&] {
        QWidget* about = QApplication::activeModalWidget();
        ASSERT_NE(about, nullptr);
        title = about->windowTitle();
        if (auto* label = about->findChild<QLabel*>(QStringLiteral("ctl1100")))
            text = label->text();
        if (const char* shots = getenv("LUMETRA_SCREENSHOTS"))
            about->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/about.png"));
        static_cast<QDialog*>(about)->accept();
    });
    ASSERT_TRUE(Router().Execute(cmd::AppAbout));
    EXPECT_EQ(title, QStringLiteral("バージョン情報"));
    EXPECT_EQ(text, QStringLiteral("Lumetra Version 1.0 (beta2)"));
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
    EXPECT_TRUE(WaitFor([&] { return QString::fromStdString(document.PathName().string()) == file; }));
    second.join();
    EXPECT_TRUE(handed);

    // No one listening under another name: the start goes on by itself.
    EXPECT_FALSE(app::SingleInstance(name + QStringLiteral("-none")).HandOff(file, 500));
}

TEST(LumeDocumentFrame, OpensAndSavesARealConfiguration)
{
    QTemporaryDir dir;
    platform::Registry registry(dir.filePath("registry").toStdString());
    const QString path = dir.filePath("demo.lum");
    std::ofstream(path.toStdString(), std::ios::binary)
        << "[config]\r\nstrNntpServer=news.example.jp\r\nnNntpPort=1119\r\nbShowAllGroup=YES\r\nstrMarkFile=news.rc\r\n";
    LumeDocument document(&registry);
    QStringList messages;
    SetMessageHook([&](const QString& text, WindowHost::Icon, bool) { messages << text; return int(WindowHost::Ok); });
    {
        CLumeApp lume(registry, document);
        ASSERT_TRUE(lume.InitInstance(path));
        EXPECT_EQ(document.Doc().Config().strNntpServer, "news.example.jp");
        EXPECT_EQ(lume.Frame()->windowTitle(), QStringLiteral("demo.lum - Lumetra"));
        EXPECT_FALSE(lume.Router().Query(cmd::ShowUnreadGroups).enabled);
        document.SetModified(true);
        ASSERT_TRUE(lume.Router().Execute(cmd::FileSave));
        EXPECT_FALSE(document.IsModified());
        std::ifstream saved(path.toStdString(), std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
        EXPECT_NE(content.find("strNntpServer=news.example.jp\r\n"), std::string::npos);
        lume.Frame()->close();
        lume.ExitInstance();
    }
    SetMessageHook({});
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}

namespace {
// A pane that copies: it takes 57634 while it is the active pane.
class CopyingPane : public PlaceholderPane {
public:
    using PlaceholderPane::PlaceholderPane;
    bool OnCommand(unsigned id) override
    {
        if (id == cmd::EditCopy) {
            ++copies;
            return true;
        }
        return PlaceholderPane::OnCommand(id);
    }
    bool OnUpdateCommand(CmdUI& state) override
    {
        return state.id == cmd::EditCopy || PlaceholderPane::OnUpdateCommand(state);
    }
    int copies = 0;
};

class CopyingDocument : public ConfigDocument {
public:
    bool OnCommand(unsigned id) override { return id == cmd::EditCopy && ++copies; }
    bool OnUpdateCommand(CmdUI& state) override { return state.id == cmd::EditCopy; }
    int copies = 0;
};
} // namespace

TEST(CommandRoute, ActivePaneFirstThenTheDocument)
{
    QTemporaryDir dir;
    platform::Registry registry(dir.filePath("registry").toStdString());
    CopyingDocument document;
    CopyingPane* body = nullptr;
    CMainFrame::SetPaneFactory([&](int index, UiDocument&, CMainFrame& frame) -> QWidget* {
        if (index != CMainFrame::BodyPane)
            return nullptr; // the placeholder
        body = new CopyingPane("CBodyView", frame, nullptr);
        return body;
    });
    {
        CLumeApp lume(registry, document);
        ASSERT_TRUE(lume.InitInstance({}));
        ASSERT_NE(body, nullptr);
        EXPECT_EQ(lume.Frame()->Pane(CMainFrame::BodyPane), body);
        EXPECT_EQ(document.Views().size(), 3u);

        lume.Frame()->ActivatePane(CMainFrame::GroupPane);
        EXPECT_TRUE(lume.Router().Execute(cmd::EditCopy));
        EXPECT_EQ(document.copies, 1);
        lume.Frame()->ActivatePane(CMainFrame::BodyPane);
        EXPECT_TRUE(lume.Router().Execute(cmd::EditCopy));
        EXPECT_EQ(body->copies, 1);
        EXPECT_EQ(document.copies, 1);

        // Views hear the document's broadcasts, except the one that sent it.
        document.UpdateAllViews(body, 14);
        EXPECT_TRUE(body->hints.empty() || body->hints.back() != 14);
        auto* group = dynamic_cast<PlaceholderPane*>(lume.Frame()->Pane(CMainFrame::GroupPane));
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->hints.back(), 14);
        lume.Frame()->close();
        lume.ExitInstance();
    }
    CMainFrame::SetPaneFactory({});
    EXPECT_TRUE(document.Views().empty());
}

TEST(RecentFiles, TopOfFourWithoutDuplicatesAndShortNames)
{
    RecentFileList list;
    for (const char* path : {"/a.lum", "/b.lum", "/c.lum", "/d.lum", "/e.lum", "/c.lum"})
        list.Add(path);
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.At(0), "/c.lum");
    EXPECT_EQ(list.At(1), "/e.lum");
    EXPECT_EQ(list.At(3), "/b.lum");
    list.Add("/home/user/R&D/news.lum");
    EXPECT_EQ(list.MenuText(0), QStringLiteral("&1 /home/user/R&&D/news.lum"));

    const QString longPath = QStringLiteral("/home/someone/very/deep/folder/tree/config.lum");
    const QString shown = RecentFileList::Abbreviate(longPath);
    EXPECT_LE(shown.size(), 30);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("/config.lum")));
    EXPECT_EQ(shown, QStringLiteral("/home/.../config.lum"));
}
