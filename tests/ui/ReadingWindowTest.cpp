// The main window with its three real panes, as the newsreader runs: reading
// a group against INN, the search across bodies, what counts as read, the
// document's questions, and a window that stays quiet when nothing happens.
#include "app/LumeApp.h"
#include "app/PaneFactory.h"
#include "dialogs/ArticleDialogs.h"
#include "ui/CArticleView.h"
#include "widgets/CBodyText.h"
#include "ui/CBodyView.h"
#include "ui/CGroupTreeBox.h"
#include "ui/CGroupView.h"
#include "platform/CommandIds.h"
#include "host/PasswordStore.h"
#include "news/PostArticle.h"
#include "ui/MainFrame.h"
#include "message/HeaderFields.h"
#include "widgets/SjisText.h"
#include "dialogs/NzbSummaryDialog.h"
#include "../integration/ServerSupport.h"
#include "WindowFixture.h"
#include "WaitFor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <sys/socket.h>
#include <map>

using namespace dialogs;

using namespace news;

namespace cmd = platform::cmd;

using namespace ui;

namespace {

// Counts the paint events of every widget while installed.
class PaintCounter : public QObject {
public:
    PaintCounter() { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++counts[watched->metaObject()->className()];
        return false;
    }
    int Total() const
    {
        int n = 0;
        for (const auto& [name, count] : counts)
            n += count;
        return n;
    }
    std::string Text() const
    {
        std::string s;
        for (const auto& [name, count] : counts)
            s += name + " " + std::to_string(count) + "; ";
        return s;
    }
    std::map<std::string, int> counts;
};

class ReadingWindow : public uitest::WindowFixture {
protected:
    void SetUp() override { dialogs_.answer = IDNO; }
    void TearDown() override
    {
        if (lume_) {
            Doc().SetModifiedFlag(false);
            lume_->Frame()->close();
            lume_->ExitInstance();
        }
        lume_.reset();
        document_.reset();
    }
    // Starts the window on a configuration reading at most limit articles.
    void Start(int limit = 100)
    {
        const auto config = Config(limit, "bShowAllGroup=YES\n");
        lume_ = std::make_unique<app::CLumeApp>(*registry_, *document_, dialogs_,
                                                app::MakePanes(*document_, *registry_, dialogs_));
        ASSERT_TRUE(lume_->InitInstance(QString::fromStdString(config.string())));
        lume_->Frame()->resize(900, 640);
        lume_->Frame()->show();
    }
    // Starts the window, goes online and opens fj.test, where article 1 is
    // the first unread.
    void StartReadingFjTest()
    {
        Start();
        ASSERT_TRUE(lume_->Router().Execute(cmd::Online));
        OpenGroup("fj.test");
        ASSERT_EQ(Doc().CurrentArticle(), 1);
    }
    void OpenGroup(const char* name)
    {
        // Selected in the tree as the user would, so the panes agree.
        for (int r = 0; r < Groups().Tree().GetCount(); ++r) {
            if (Groups().FullPath(Groups().Tree().NodeOfRow(r)) == name) {
                Groups().Tree().SetSel(-1, false);
                Groups().Tree().SetRowSel(r, true);
            }
        }
        Doc().SetCurrentGroup(Doc().Groups().Find(name));
        Doc().UpdateAllViews(nullptr, Hint::Group);
    }
    CGroupView& Groups() { return *dynamic_cast<CGroupView*>(lume_->Frame()->Pane(CMainFrame::GroupPane)); }
    std::string SelectedGroup()
    {
        const std::vector<int> rows = Groups().Tree().GetSelItems();
        return rows.size() == 1 ? Groups().FullPath(Groups().Tree().NodeOfRow(rows.front())) : "";
    }
    // Article number and depth of every row of the list.
    std::vector<std::pair<int, int>> ListRows()
    {
        std::vector<std::pair<int, int>> rows;
        CArticleListBox& list = *Articles().List();
        for (int i = 0; i < list.GetCount(); ++i)
            rows.emplace_back(CArticleListBox::ArticleOf(list.NodeOfRow(i))->m_nNumber, list.Depth(list.NodeOfRow(i)));
        return rows;
    }
    CArticleView& Articles() { return *dynamic_cast<CArticleView*>(lume_->Frame()->Pane(CMainFrame::ArticlePane)); }
    CBodyView& Body() { return *dynamic_cast<CBodyView*>(lume_->Frame()->Pane(CMainFrame::BodyPane)); }
    QString BodyText() { return Body().Body()->toPlainText(); }
    // Lets the window settle, then counts what it paints while left alone.
    int IdlePaints(PaintCounter& counter)
    {
        QTest::qWait(400);
        counter.counts.clear();
        for (int i = 0; i < 40; ++i)
            QTest::qWait(10);
        return counter.Total();
    }

    std::unique_ptr<app::CLumeApp> lume_;
};

TEST_F(ReadingWindow, AWindowLeftAlonePaintsNothing)
{
    Start();
    PaintCounter counter;
    EXPECT_EQ(IdlePaints(counter), 0) << counter.Text();
    if (!inn_.Known())
        return;
    ASSERT_TRUE(lume_->Router().Execute(cmd::Online));
    OpenGroup("fj.test");
    ASSERT_GT(Articles().List()->GetCount(), 10);
    EXPECT_EQ(IdlePaints(counter), 0) << counter.Text();
}

TEST_F(ReadingWindow, GoingOnlineFillsTheGroupPaneAndTheListTakesItsCommands)
{
    SERVER_OR_SKIP();
    Start();
    auto& groups = *dynamic_cast<CGroupView*>(lume_->Frame()->Pane(CMainFrame::GroupPane));
    EXPECT_EQ(groups.Tree().GetCount(), 1);
    ASSERT_TRUE(lume_->Router().Execute(cmd::Online));
    ASSERT_TRUE(Doc().IsConnected()) << dialogs_.messages.join(u'|').toStdString();
    EXPECT_GT(groups.Tree().GetCount(), 4);
    EXPECT_TRUE(lume_->Router().Query(cmd::Online).checked);
    EXPECT_EQ(Articles().TitleText(), QStringLiteral("(no articles.)"));

    OpenGroup("fj.test");
    CArticleListBox& list = *Articles().List();
    EXPECT_TRUE(lume_->Router().Execute(cmd::NextArticle));
    EXPECT_EQ(list.GetCurSel(), 1);
    lume_->Frame()->ActivatePane(CMainFrame::ArticlePane);
    EXPECT_TRUE(lume_->Router().Query(cmd::SkipThread).enabled);
    EXPECT_TRUE(lume_->Router().Execute(cmd::SkipThread));
    EXPECT_EQ(list.GetCurSel(), 3);

    // The list's own context menu comes up on it.
    QStringList items;
    QTimer::singleShot(100, [&] {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : popup->actions())
                items << a->text();
            popup->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20), list.viewport()->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(list.viewport(), &event);
    EXPECT_TRUE(items.contains(QStringLiteral("現スレッドをスキップ(&S)"))) << items.join(u'|').toStdString();

    ASSERT_TRUE(lume_->Router().Execute(cmd::Online));
    EXPECT_EQ(groups.Tree().GetCount(), 1);
}

TEST_F(ReadingWindow, ReadingAGroupAndFindingAcrossBodies)
{
    SERVER_OR_SKIP();
    ASSERT_NO_FATAL_FAILURE(StartReadingFjTest());
    // The first unread article is shown and, being fetched, counts as read.
    EXPECT_TRUE(BodyText().contains(QStringLiteral("新しいニュースリーダを試しています")));
    EXPECT_TRUE(Doc().ReadList().IsRead(1));
    // The status bar tells where in the body the reader is.
    lume_->Frame()->UpdateStatusPanes();
    const int lines = int(Body().Body()->Lines().size());
    EXPECT_EQ(lume_->Frame()->StatusPane(2)->text(), QString::asprintf("%4d/%d", 1, lines));

    // Find across bodies from the article list: the walk stops at the first
    // body holding the text, selects it there, and only that one is marked.
    dialogs_.search = [](ArticleSearchDialog::Request& r) {
        r.text = "8 \x94\xd4\x96\xda"; // "8 番目" in Shift_JIS
        return IDOK;
    };
    lume_->Frame()->ActivatePane(CMainFrame::ArticlePane);
    ASSERT_TRUE(lume_->Router().Execute(cmd::Find));
    EXPECT_EQ(Doc().CurrentArticle(), 11);
    EXPECT_EQ(Body().Body()->textCursor().selectedText(), QStringLiteral("8 番目"));
    EXPECT_TRUE(Doc().ReadList().IsRead(11));
    EXPECT_FALSE(Doc().ReadList().IsRead(7)) << "walked past, never shown to the reader";
    EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join(u'|').toStdString();

    // Find next: nothing further down; the search comes back to article 11.
    ASSERT_TRUE(lume_->Router().Execute(cmd::FindNext));
    EXPECT_EQ(Doc().CurrentArticle(), 11);
    ASSERT_EQ(dialogs_.messages.size(), 1);
    EXPECT_TRUE(dialogs_.messages[0].contains(QStringLiteral("見つかりません"))) << dialogs_.messages[0].toStdString();
}

TEST_F(ReadingWindow, AnArticleCountsAsReadOnlyOnceItArrived)
{
    SERVER_OR_SKIP();
    ASSERT_NO_FATAL_FAILURE(StartReadingFjTest());

    // Still unread while the connection is busy elsewhere.
    ASSERT_TRUE(Doc().Nntp().TryLock());
    ASSERT_TRUE(lume_->Router().Execute(cmd::NextArticle));
    Doc().Nntp().Unlock();
    EXPECT_EQ(Doc().CurrentArticle(), 2);
    EXPECT_FALSE(Doc().ReadList().IsRead(2));
    EXPECT_EQ(Articles().List()->NodeOfRow(1)->image_, 2) << "the unread image stays";

    ASSERT_TRUE(lume_->Router().Execute(cmd::PrevArticle));
    ASSERT_TRUE(lume_->Router().Execute(cmd::NextArticle));
    EXPECT_EQ(Doc().CurrentArticle(), 2);
    EXPECT_TRUE(BodyText().contains(QStringLiteral("日本語がきちんと表示されますね")));
    EXPECT_TRUE(Doc().ReadList().IsRead(2));
    EXPECT_EQ(Articles().List()->NodeOfRow(1)->image_, 3);

    // A broken connection: not read either.
    ::shutdown(Doc().Nntp().Tcp().Socket(), SHUT_RDWR);
    ASSERT_TRUE(lume_->Router().Execute(cmd::NextArticle));
    EXPECT_FALSE(Doc().ReadList().IsRead(Doc().CurrentArticle()));
}

TEST_F(ReadingWindow, TheMiddleButtonAndPagingOnMoveToTheNextUnread)
{
    SERVER_OR_SKIP();
    ASSERT_NO_FATAL_FAILURE(StartReadingFjTest());
    QTest::mouseClick(Body().Body()->viewport(), Qt::MiddleButton, {}, QPoint(20, 20));
    ASSERT_TRUE(WaitFor([&] { return Doc().CurrentArticle() == 2; }, 3000));
    EXPECT_TRUE(BodyText().contains(QStringLiteral("日本語がきちんと表示されますね")));
    // A short article: the page command at its end goes on to the next unread.
    lume_->Frame()->ActivatePane(CMainFrame::BodyPane);
    ASSERT_TRUE(lume_->Router().Execute(cmd::PageForward));
    ASSERT_TRUE(WaitFor([&] { return Doc().CurrentArticle() == 3; }, 3000));
    EXPECT_TRUE(Doc().ReadList().IsRead(3));
}

TEST_F(ReadingWindow, TheLimitQuestionAsksForMoreInTheWindow)
{
    SERVER_OR_SKIP();
    dialogs_.readLimit = [](int& count) { return dialogs::QtDialogs().AskReadLimit(nullptr, count); };
    Start(3);
    ASSERT_TRUE(lume_->Router().Execute(cmd::Online));
    int asked = 0;
    std::function<void()> answer = [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QStringLiteral("dlg135")) {
            QTimer::singleShot(10, answer);
            return;
        }
        ++asked;
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("ctl1052"));
        // The limit grows by what was entered: 3, then 5.
        EXPECT_EQ(field->text(), asked == 1 ? QStringLiteral("3") : QStringLiteral("5"));
        if (asked == 1) {
            field->setText(QStringLiteral("2"));
            dialog->findChild<QPushButton*>(QStringLiteral("ctl6"))->click();
            QTimer::singleShot(10, answer);
        } else {
            dialog->findChild<QPushButton*>(QStringLiteral("ctl7"))->click();
        }
    };
    QTimer::singleShot(10, answer);
    OpenGroup("fj.test");
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(Articles().List()->GetCount(), 5);
    EXPECT_EQ(Doc().Articles().size(), 5u);
}

TEST_F(ReadingWindow, ShowModesLeaveTheGroupTheArticleAndTheMarksAlone)
{
    SERVER_OR_SKIP();
    ASSERT_NO_FATAL_FAILURE(StartReadingFjTest());
    ASSERT_TRUE(lume_->Router().Execute(cmd::NextArticle));
    const std::string marks = Doc().Groups().Find("fj.test")->m_strReadList;
    // Each toggle in turn, back to where it started.
    for (unsigned id : {cmd::ShowAllGroups, cmd::ShowUnreadGroups, cmd::ShowUnreadGroups, cmd::ShowAllGroups}) {
        ASSERT_TRUE(lume_->Router().Execute(id)) << id;
        EXPECT_EQ(SelectedGroup(), "fj.test") << id;
        EXPECT_EQ(Doc().CurrentArticle(), 2) << id;
        EXPECT_EQ(Articles().List()->GetCurSel(), 1) << id;
        EXPECT_EQ(Doc().Groups().Find("fj.test")->m_strReadList, marks) << id;
    }
}

TEST_F(ReadingWindow, CrosspostsMarkingUnreadAndSorting)
{
    SERVER_OR_SKIP();
    ASSERT_NO_FATAL_FAILURE(StartReadingFjTest());
    // Article 1 goes by its Xref, article 2 (without one) by its Message-ID.
    for (const auto& a : Doc().Articles())
        if (a->m_nNumber == 2)
            a->m_strXref.clear();
    ASSERT_TRUE(lume_->Router().Execute(cmd::NextArticle));
    OpenGroup("fj.test.one");
    EXPECT_TRUE(Doc().ReadList().IsRead(1));
    EXPECT_TRUE(Doc().ReadList().IsRead(2));

    OpenGroup("fj.test");
    CArticleListBox& list = *Articles().List();
    const auto threaded = ListRows();
    ASSERT_EQ(threaded.front(), std::make_pair(1, 0));
    list.SetCurRow(0);
    ASSERT_TRUE(lume_->Router().Execute(cmd::MarkThreadUnread));
    for (int n : {1, 2, 3})
        EXPECT_FALSE(Doc().ReadList().IsRead(n)) << n;
    EXPECT_EQ(list.NodeOfRow(2)->image_, CArticleListBox::kImageUnread);
    // Through the read-marks file, in both groups of the crosspost.
    const std::filesystem::path marks = dir_ / "marks.rc";
    ASSERT_TRUE(Doc().SaveReadMarks(marks));
    CLumeDoc stored(nullptr, *registry_);
    ASSERT_TRUE(stored.LoadReadMarks(marks));
    for (const char* group : {"fj.test", "fj.test.one"}) {
        CReadList read;
        read.Parse(stored.Groups().Find(group)->m_strReadList);
        EXPECT_FALSE(read.IsRead(1)) << group;
    }

    // Date, date reversed, threaded again; the order survives a reload.
    QTest::mouseClick(Articles().Header()->Button(1), Qt::LeftButton);
    OpenGroup("fj.test");
    auto rows = ListRows();
    EXPECT_TRUE(std::all_of(rows.begin(), rows.end(), [](auto r) { return r.second == 0; }));
    EXPECT_EQ(rows.front().first, 16); // the one from 1999
    QTest::mouseClick(Articles().Header()->Button(1), Qt::LeftButton);
    EXPECT_EQ(ListRows().back().first, 16);
    QTest::mouseClick(Articles().Header()->Button(1), Qt::LeftButton);
    EXPECT_EQ(ListRows(), threaded);
}

// 表示 → 文字コード: the shown article, its row, what is copied and what a
// follow-up quotes are read in the chosen charset until another article.
TEST_F(ReadingWindow, TheCharsetMenuReadsTheShownArticleAgainUntilAnother)
{
    SERVER_OR_SKIP();
    Start();
    ASSERT_TRUE(lume_->Router().Execute(cmd::Online));
    OpenGroup("local.japanese");
    CArticleListBox& list = *Articles().List();
    int euc = -1;
    for (int r = 0; r < list.GetCount(); ++r)
        if (CArticleListBox::ArticleOf(list.NodeOfRow(r))->m_strMessageID == "<legacy-euc@example.jp>")
            euc = r;
    ASSERT_GE(euc, 0);
    auto show = [&](int row) {
        list.SetCurRow(row);
        list.OnSelChanged(row, list.NodeOfRow(row));
    };
    auto subject = [&] { return widgets::FromSjis(list.GetColumnText(list.NodeOfRow(euc), 0)); };
    const unsigned automatic = cmd::ReadAsAuto, sjis = cmd::ReadAsAuto + 2, eucJp = cmd::ReadAsAuto + 3;
    show(euc);
    const QString right = BodyText(), rightSubject = subject();
    ASSERT_TRUE(right.contains(QStringLiteral("EUC-JPの本文です"))) << right.toStdString();
    ASSERT_TRUE(rightSubject.contains(QStringLiteral("EUC-JPの件名")));
    EXPECT_TRUE(lume_->Router().Query(automatic).checked);

    // Chosen with the article list active, as from the menu bar.
    lume_->Frame()->ActivatePane(CMainFrame::ArticlePane);
    ASSERT_TRUE(lume_->Router().Execute(sjis));
    EXPECT_TRUE(lume_->Router().Query(sjis).checked);
    EXPECT_FALSE(lume_->Router().Query(automatic).checked);
    const QString wrong = BodyText();
    EXPECT_FALSE(wrong.contains(QStringLiteral("EUC-JPの本文です")));
    EXPECT_NE(subject(), rightSubject);
    Body().OnCommand(cmd::CopyAll);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), wrong);
    std::string header, displayed;
    ASSERT_TRUE(Body().ShownArticle(header, displayed));
    EXPECT_EQ(widgets::FromSjis(displayed), QString(wrong).replace(u'\n', QStringLiteral("\r\n")));
    // (Byte pairs no charset maps show differently in the row and in a header read again.)
    const QString quoted = widgets::FromSjis(message::GetHeaderField(header, "Subject", true));
    EXPECT_TRUE(quoted.startsWith(QStringLiteral("EUC-JP")) && !rightSubject.endsWith(quoted)) << header;

    ASSERT_TRUE(lume_->Router().Execute(eucJp));
    EXPECT_EQ(BodyText(), right);
    ASSERT_TRUE(lume_->Router().Execute(automatic));
    EXPECT_EQ(BodyText(), right);
    EXPECT_EQ(subject(), rightSubject);

    // Another article shown: automatic again, and so when it comes back.
    ASSERT_TRUE(lume_->Router().Execute(sjis));
    show(euc == 0 ? 1 : 0);
    EXPECT_TRUE(lume_->Router().Query(automatic).checked);
    EXPECT_EQ(subject(), rightSubject);
    show(euc);
    EXPECT_EQ(BodyText(), right);
    EXPECT_TRUE(lume_->Router().Query(automatic).checked);
    Doc().SetCurrentArticle(-1, nullptr);
    EXPECT_FALSE(lume_->Router().Query(automatic).enabled);
}

} // namespace

// The user's own article can be taken back from the article menu: cancel and
// supersede are enabled for it only; cancel asks, and uses the key of the
// secret the password store keeps, so INN then has the article no more.
TEST_F(ReadingWindow, OwnArticleIsCancelledFromTheArticleMenu)
{
    SERVER_OR_SKIP();
    host::MemoryPasswordStore store;
    document_ = std::make_unique<host::HostedDocument>(dialogs_, *registry_, &store);
    const std::string group = "local.japanese";
    const std::string tag = "cancel" + std::to_string(::getpid()) + "x" + std::to_string(std::rand());
    const std::string own = "taro@example.invalid";
    news::PostParams settings{.strNntpServer = inn_.host, .nNntpPort = std::atoi(inn_.port)};
    std::string ownId;
    for (const std::string& from : {std::string("hanako@example.invalid"), own}) {
        news::PostForm form;
        form.newsgroups = group;
        form.subject = "mine? " + tag;
        form.body = from + " " + tag + "\r\n";
        form.cancelSecret = from == own ? host::CancelLockSecret(&store, own) : "";
        settings.strMailAddress = from;
        const news::PostOutcome outcome = news::PostArticle(form, settings);
        ASSERT_TRUE(outcome.posted) << outcome.serverReply;
        ownId = outcome.postedId;
    }
    ASSERT_FALSE(store.entries.empty());

    Start(100000);
    Doc().Config().strMailAddress = own;
    ASSERT_TRUE(lume_->Router().Execute(cmd::Online));
    OpenGroup(group.c_str());
    lume_->Frame()->ActivatePane(CMainFrame::ArticlePane);
    for (const std::string& from : {std::string("hanako@example.invalid"), own}) {
        dialogs_.search = [&](ArticleSearchDialog::Request& r) {
            r.text = from + " " + tag;
            return IDOK;
        };
        ASSERT_TRUE(lume_->Router().Execute(cmd::Find));
        ASSERT_TRUE(BodyText().contains(QString::fromStdString(from + " " + tag))) << from;
        for (const unsigned id : {cmd::CancelArticle, cmd::SupersedeArticle})
            EXPECT_EQ(lume_->Router().Query(id).enabled, from == own) << from << " " << id;
    }
    QMenu* article = lume_->Frame()->Menu(4);
    ASSERT_NE(article, nullptr);
    emit article->aboutToShow();
    for (const unsigned id : {cmd::CancelArticle, cmd::SupersedeArticle})
        EXPECT_TRUE(article->actions().contains(lume_->Router().Action(id))) << id;

    dialogs_.messages.clear();
    dialogs_.answers = {IDNO, IDYES};
    ASSERT_TRUE(lume_->Router().Execute(cmd::CancelArticle));
    EXPECT_EQ(dialogs_.messages.size(), 1) << "No posts nothing";
    ASSERT_TRUE(lume_->Router().Execute(cmd::CancelArticle));
    ASSERT_EQ(dialogs_.messages.size(), 3) << dialogs_.messages.join(u'|').toStdString();
    EXPECT_TRUE(dialogs_.messages[1].contains(QString::fromStdString(tag))) << dialogs_.messages[1].toStdString();
    EXPECT_EQ(dialogs_.messages[2], QStringLiteral("記事の取り消しを送りました。"));
    EXPECT_EQ(store.entries.size(), 1u);
    // INN acts on the cancel as it files it; a moment may pass.
    std::string stat;
    for (int i = 0; i < 50 && stat.find("\n430 ") == std::string::npos; ++i, QTest::qWait(100))
        stat = testutil::Shell("printf 'STAT %s\\r\\nQUIT\\r\\n' '" + ownId + "' | nc -q 2 " + inn_.host + " " +
                               inn_.port);
    EXPECT_NE(stat.find("\n430 "), std::string::npos) << stat;
}

// ファイル → NZB を開く: a file that cannot be read says why; a download shows
// the file and segment in the progress window, Cancel there stops within the
// second file and leaves nothing of it, and the summary names the missing
// segment of the first. The link is slowed so the window is up long enough.
TEST_F(ReadingWindow, NzbDownloadShowsProgressCancelsAndSumsUp)
{
    SERVER_OR_SKIP();
    const inttest::Server server{inn_.host, std::atoi(inn_.port)};
    const std::string tag = inttest::Tag();
    const std::string small = testutil::RandomBytes(60000, 5), big = testutil::RandomBytes(1200000, 6);
    const std::vector<std::string> first = inttest::PostYencParts(server, "a.bin", small, 20000, tag + "a", {2});
    const std::vector<std::string> second = inttest::PostYencParts(server, "b.bin", big, 150000, tag + "b");
    ASSERT_EQ(first.size() + second.size(), 11u);
    std::string nzb = "<?xml version=\"1.0\"?>\n<nzb>";
    for (const auto& [name, ids] : {std::pair{"a.bin", first}, std::pair{"b.bin", second}}) {
        nzb += std::string("<file subject=\"&quot;") + name + "&quot; yEnc\"><segments>";
        for (std::size_t k = 0; k < ids.size(); ++k)
            nzb += "<segment bytes=\"1\" number=\"" + std::to_string(k + 1) + "\">" + ids[k] + "</segment>";
        nzb += "</segments></file>";
    }
    testutil::WriteFile(dir_ / "in.nzb", nzb + "</nzb>");
    testutil::WriteFile(dir_ / "bad.nzb", nzb);
    inttest::SlowLink slow(server, "--rtt-ms 2 --bandwidth 4M");
    ASSERT_NE(slow.port, 0);
    const std::string slowPort = std::to_string(slow.port);
    inn_.port = slowPort.c_str();
    Start();
    ASSERT_TRUE(lume_->Router().Execute(cmd::Online));
    EXPECT_TRUE(lume_->Frame()->Menu(0)->actions().contains(lume_->Router().Action(cmd::OpenNzb)));
    EXPECT_TRUE(lume_->Router().Query(cmd::OpenNzb).enabled);

    dialogs_.openFile = QString::fromStdString((dir_ / "bad.nzb").string());
    ASSERT_TRUE(lume_->Router().Execute(cmd::OpenNzb));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("bad.nzb")) && messages[0].contains(QStringLiteral("no element")))
        << messages[0].toStdString();
    EXPECT_EQ(dialogs_.foldersAsked, 0);

    const auto out = dir_ / "out";
    std::filesystem::create_directories(out);
    dialogs_.openFile = QString::fromStdString((dir_ / "in.nzb").string());
    dialogs_.folder = QString::fromStdString(out.string());
    QString seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* text = w->objectName() == QStringLiteral("dlg106") && w->isVisible()
                             ? w->findChild<QLabel*>(QStringLiteral("ctl1005")) : nullptr;
            if (text && text->text().startsWith(QStringLiteral("ファイル 2/2: b.bin (セグメント "))) {
                seen = text->text();
                EXPECT_TRUE(w->findChild<QWidget*>(QStringLiteral("ctl1057"))->isVisible());
                w->findChild<QPushButton*>(QStringLiteral("ctl2"))->click();
                watch.stop();
            }
        }
    });
    watch.start(20);
    ASSERT_TRUE(lume_->Router().Execute(cmd::OpenNzb));
    EXPECT_FALSE(seen.isEmpty());
    ASSERT_EQ(dialogs_.nzbSummaries.size(), 1u);
    const news::NzbSummary& summary = dialogs_.nzbSummaries[0];
    EXPECT_TRUE(summary.cancelled);
    ASSERT_EQ(summary.files.size(), 1u);
    EXPECT_EQ(summary.files[0].name, "a.damaged.bin");
    EXPECT_EQ(summary.files[0].missing, std::vector<unsigned>{2});
    EXPECT_EQ(std::filesystem::file_size(out / "a.damaged.bin"), small.size());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 1) << "nothing left of b.bin";
    const QString headline = NzbSummaryDialog::HeadlineText(summary);
    EXPECT_TRUE(headline.contains(QStringLiteral("1個のファイルのうち1個")) &&
                headline.contains(QStringLiteral("中止")))
        << headline.toStdString();
    EXPECT_TRUE(Doc().IsConnected() && !Doc().IsBusy() && lume_->Frame()->isEnabled());
}
