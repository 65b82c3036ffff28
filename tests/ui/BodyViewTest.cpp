#include "WaitFor.h"

#include "widgets/BodyPrint.h"
#include "widgets/CBodyText.h"
#include "ui/CBodyView.h"
#include "widgets/SjisText.h"

#include "WindowFixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QPrinter>
#include <QProcess>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <cstdlib>

using namespace widgets;

using namespace ui;
using namespace net;
using namespace news;

namespace {

// stdout of a peer program, "" when it failed.
std::string RunPeer(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput().toStdString();
}

class HintRecorder : public DocumentView {
public:
    void OnUpdate(DocumentView*, news::Hint hint) override { hints.push_back(hint); }
    std::vector<news::Hint> hints;
};

class BodyViewTest : public uitest::WindowFixture {
protected:
    void SetUp() override
    {
        view = std::make_unique<CBodyView>(Doc(), *registry_, dialogs_, nullptr);
        view->resize(640, 480);
        // As the main window's pane factory wires it.
        document_->Host().SetShownArticle([this](std::string& h, std::string& d) { return view->ShownArticle(h, d); });
    }
    void TearDown() override
    {
        document_->Host().SetShownArticle({});
        view.reset();
    }

    // Connects to the test server and selects group; false without one that
    // holds the demo articles under the numbers the cases use.
    bool Connect(const std::string& group)
    {
        CNntp& nntp = Doc().Nntp();
        if (!inn_.Known() || !nntp.Open(inn_.host, 0, std::atoi(inn_.port)) || !nntp.ReadGreeting(true))
            return false;
        std::string reply;
        int count = 0, first = 0, last = 0;
        if (nntp.Group(group, reply, count, first, last) != 1)
            return false;
        const char* firstId = group == "local.japanese" ? "<legacy-sjis@example.jp>" : "<demo-qp@example.jp>";
        std::string head;
        const bool loaded = nntp.Head(1) == 1 && nntp.ReadData(head) && head.find(firstId) != std::string::npos;
        nntp.Group(group, reply, count, first, last);
        return loaded;
    }
    QString Text() const { return view->Body()->toPlainText(); }

    std::unique_ptr<CBodyView> view;
};

#define CONNECT_OR_SKIP(group)                                                                                 \
    if (!Connect(group))                                                                                       \
    GTEST_SKIP() << "LUMETRA_TEST_NNTP_HOST and LUMETRA_TEST_NNTP_PORT name no news server with the demo articles"

TEST_F(BodyViewTest, JapaneseInEveryCodeIsShownWithoutMojibake)
{
    CONNECT_OR_SKIP("local.japanese");
    const struct {
        int n;
        QString subject, body;
    } cases[] = {
        {1, QStringLiteral("Subject: シフトJISの件名"), QStringLiteral("シフトJISのままの本文です。")},
        {3, QStringLiteral("Subject: 生のJIS件名"), QStringLiteral("JIS のままの件名と本文です。")},
        // EUC-JP without a charset is read as EUC-JP, decided from all its bytes.
        {2, QStringLiteral("Subject: EUC-JPの件名"), QStringLiteral("EUC-JPの本文です。半角ｶﾀｶﾅもあります。")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        ASSERT_TRUE(view->ShowArticle(c.n));
        const QString text = Text();
        EXPECT_TRUE(text.contains(c.subject)) << text.toStdString();
        EXPECT_TRUE(text.contains(c.body)) << text.toStdString();
        EXPECT_FALSE(text.contains(QChar(0xFFFD)));
        // The hide list: these never show with the header lines filtered.
        EXPECT_FALSE(text.contains(QStringLiteral("Message-ID:")));
        EXPECT_FALSE(text.contains(QStringLiteral("Path:")));
        EXPECT_TRUE(text.contains(QStringLiteral("From: old@example.jp")));
        EXPECT_EQ(view->AttachmentList()->count(), 0);
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();

    // All header lines, undecoded.
    registry_->WriteInt("BodyView", "bShowHeader", 1);
    ASSERT_TRUE(view->ShowArticle(3));
    EXPECT_TRUE(Text().contains(QStringLiteral("Message-ID: <legacy-jis@example.jp>")));
    EXPECT_TRUE(Text().contains(QStringLiteral("Path: lumetra-test.localdomain!demo.localdomain"))) << Text().toStdString();
}

TEST_F(BodyViewTest, MultipartAttachmentIsListedAndSavesTheOriginalBytes)
{
    CONNECT_OR_SKIP("local.japanese");
    view->show();
    ASSERT_TRUE(view->ShowArticle(4));
    EXPECT_TRUE(Text().contains(QStringLiteral("Subject: 画像の添付"))) << Text().toStdString();
    EXPECT_TRUE(Text().contains(QStringLiteral("From: 山田 太郎 <yamada@example.jp>"))) << Text().toStdString();
    EXPECT_TRUE(Text().contains(QStringLiteral("画像を添付します。")));
    QListWidget* list = view->AttachmentList();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("check.png"));
    EXPECT_EQ(view->Body()->height() + list->height(), view->height());

    CmdUI state;
    state.id = 32849;
    ASSERT_TRUE(view->OnUpdateCommand(state));
    EXPECT_FALSE(state.enabled);
    list->setCurrentRow(0);
    ASSERT_TRUE(view->OnUpdateCommand(state));
    EXPECT_TRUE(state.enabled);

    // The article as fetched, then python's email package as the reference decoder.
    const auto article = dir_ / "article.txt";
    ASSERT_TRUE(view->SaveArticle(article));
    EXPECT_EQ(testutil::ReadFile(article), testutil::ReadFile(view->CachePath()));
    const std::string expected = RunPeer(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import email,sys\n"
                        "m=email.message_from_binary_file(open(sys.argv[1],'rb'))\n"
                        "[sys.stdout.buffer.write(p.get_payload(decode=True)) for p in m.walk() "
                        "if p.get_filename()=='check.png']"),
         QString::fromStdString(article.string())});
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(expected.substr(1, 3), "PNG");

    QString suggested;
    const auto target = dir_ / "saved.png";
    dialogs_.saveFile = [&](const QString& name) {
        suggested = name;
        return QString::fromStdString(target.string());
    };
    view->OnCommand(32849);
    EXPECT_EQ(suggested, QStringLiteral("check.png"));
    EXPECT_EQ(testutil::ReadFile(target), expected);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("添付ファイルを"))) << messages[0].toStdString();

    // The next article leaves no attachment behind.
    ASSERT_TRUE(view->ShowArticle(1));
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(view->Body()->height(), view->height());
}

TEST_F(BodyViewTest, FetchFailuresLeaveTheConnectionInStep)
{
    CONNECT_OR_SKIP("local.japanese");
    ASSERT_TRUE(view->ShowArticle(4));
    ASSERT_EQ(view->AttachmentList()->count(), 1);

    EXPECT_FALSE(view->ShowArticle(999));
    // The previous article's attachments went with its cache file.
    EXPECT_EQ(view->AttachmentList()->count(), 0);
    EXPECT_FALSE(view->ArticleShown());
    EXPECT_EQ(messages, QStringList{QStringLiteral("記事が見つかりません")});
    EXPECT_EQ(Text(), QStringLiteral("読み込み失敗"));

    // While another operation holds the connection nothing is sent.
    messages.clear();
    ASSERT_TRUE(Doc().Nntp().TryLock());
    EXPECT_FALSE(view->ShowArticle(1));
    Doc().Nntp().Unlock();
    EXPECT_TRUE(messages.isEmpty());

    // All of these left the server ready for the next command.
    ASSERT_TRUE(view->ShowArticle(1));
    EXPECT_TRUE(Text().contains(QStringLiteral("シフトJISのままの本文です。")));
    // What a follow-up quotes: the stored header lines and the text as shown.
    std::string header, displayed;
    ASSERT_TRUE(document_->Host().GetShownArticle(header, displayed));
    EXPECT_NE(header.find("<legacy-sjis@example.jp>\r\n"), std::string::npos);
    EXPECT_EQ(header.find("\r\n\r\n"), std::string::npos);
    EXPECT_EQ(FromSjis(displayed), Text().replace(u'\n', QStringLiteral("\r\n")));

    // Offline: the article shown is rendered again from its file (as for new
    // colours); another one gets no status from the server, a communication error.
    Doc().Nntp().Quit();
    messages.clear();
    EXPECT_TRUE(view->ShowArticle(1));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(view->ShowArticle(3));
    EXPECT_EQ(messages, QStringList{QStringLiteral("通信エラーが発生しました(CBodyView::UpdateView)。")});
}

TEST_F(BodyViewTest, FindInBodyFollowsTheCaret)
{
    CONNECT_OR_SKIP("local.japanese");
    ASSERT_TRUE(view->ShowArticle(4));
    CBodyText* body = view->Body();
    // Down from the start: the first match, then the next one after it.
    ASSERT_EQ(body->FindText(1, QStringLiteral("boundary"), false), 1);
    const int first = body->textCursor().selectionStart();
    EXPECT_EQ(body->textCursor().selectedText(), QStringLiteral("boundary"));
    ASSERT_EQ(body->FindText(1, QStringLiteral("boundary"), false), 1);
    const int second = body->textCursor().selectionStart();
    EXPECT_GT(second, first);
    // Up from there: back to the first.
    ASSERT_EQ(body->FindText(0, QStringLiteral("boundary"), false), 1);
    EXPECT_EQ(body->textCursor().selectionStart(), first);
    EXPECT_EQ(body->FindText(0, QStringLiteral("boundary"), false), 0);
    // Case: only with ignoreCase.
    body->moveCursor(QTextCursor::Start);
    EXPECT_EQ(body->FindText(1, QStringLiteral("CHECK.PNG"), false), 0);
    EXPECT_EQ(body->FindText(1, QStringLiteral("CHECK.PNG"), true), 1);
    EXPECT_EQ(body->FindText(1, QString(), true), 0);

    // Copy all leaves the selection as it was.
    const QTextCursor before = body->textCursor();
    view->OnCommand(32816);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), body->toPlainText());
    EXPECT_EQ(body->textCursor().selectionStart(), before.selectionStart());
    EXPECT_EQ(body->textCursor().selectedText(), QStringLiteral("check.png"));
    view->OnCommand(57634);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("check.png"));
}

TEST_F(BodyViewTest, PagingPastTheEndsMovesToTheNextOrPreviousArticle)
{
    CONNECT_OR_SKIP("local.japanese");
    HintRecorder recorder;
    Doc().AddView(&recorder);
    view->resize(400, 90); // a few lines visible: the article needs paging
    view->show();
    ASSERT_TRUE(view->ShowArticle(4));
    QScrollBar* bar = view->Body()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);

    view->OnCommand(32823); // page back at the start
    ASSERT_TRUE(WaitFor([&] { return !recorder.hints.empty(); }));
    EXPECT_EQ(recorder.hints, std::vector<news::Hint>{news::Hint::PrevArticle});
    recorder.hints.clear();

    int pages = 0;
    while (bar->value() < bar->maximum() && pages < 100) {
        view->OnCommand(32821);
        ++pages;
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorder.hints.empty()); // scrolling did not move on
    view->OnCommand(32821);
    EXPECT_TRUE(recorder.hints.empty()); // posted, not called
    ASSERT_TRUE(WaitFor([&] { return !recorder.hints.empty(); }));
    EXPECT_EQ(recorder.hints, std::vector<news::Hint>{news::Hint::NextUnread});
    Doc().RemoveView(&recorder);
}

TEST_F(BodyViewTest, ManyAttachmentsAndNamesFromTheArticle)
{
    // Five uuencoded blocks, one of them named to climb out of any folder.
    std::string article = "From: a@example.jp\r\nSubject: files\r\nMessage-ID: <m@x>\r\n"
                          "Organization: Example\r\n\r\nfive files\r\n";
    const char* names[] = {"a.txt", "b.pdf", "../../evil.sh", "d.png", "e.zip"};
    for (const char* name : names)
        article += std::string("begin 644 ") + name + "\r\n#86)C\r\n`\r\nend\r\n\r\n";
    article += ".\r\n";
    const auto file = dir_ / "five.txt";
    testutil::WriteFile(file, article);

    view->show();
    ASSERT_TRUE(view->ShowArticleFile(file));
    EXPECT_TRUE(Text().contains(QStringLiteral("Organization: Example")));
    EXPECT_FALSE(Text().contains(QStringLiteral("Message-ID")));
    QListWidget* list = view->AttachmentList();
    ASSERT_EQ(list->count(), 5);
    view->resize(640, 100); // many attachments take at most half the pane
    EXPECT_EQ(list->height(), 50);
    EXPECT_EQ(view->Body()->height(), 50);

    list->setCurrentRow(2);
    QString suggested;
    const auto target = dir_ / "out.sh";
    dialogs_.saveFile = [&](const QString& name) {
        suggested = name;
        return QString::fromStdString(target.string());
    };
    view->OnCommand(32849);
    EXPECT_EQ(suggested, QStringLiteral("evil.sh"));
    EXPECT_EQ(testutil::ReadFile(target), "abc");

    // Viewing goes through the desktop; the file made for it goes with the pane.
    auto& desktop = dialogs_.desktop;
    desktop.ok = true;
    view->OnCommand(32789);
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0].filename(), "evil.sh");
    const auto viewed = desktop.opened[0];
    EXPECT_TRUE(std::filesystem::exists(viewed));
    desktop.ok = false;
    messages.clear();
    view->OnCommand(32850);
    EXPECT_TRUE(desktop.printed);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("添付ファイルの表示ができません。")));
    view.reset();
    EXPECT_FALSE(std::filesystem::exists(viewed));
}

TEST_F(BodyViewTest, AnArticleShownWhileTheWindowIsDisabledKeepsItsColours)
{
    // The article search shows bodies while its progress window disables the
    // main window; afterwards the text must not stay greyed out.
    const auto file = dir_ / "plain.txt";
    testutil::WriteFile(file, "From: a@example.jp\r\nSubject: s\r\n\r\nbody\r\n.\r\n");
    const QPalette app = QApplication::palette(view.get());
    view->setEnabled(false);
    ASSERT_TRUE(view->ShowArticleFile(file));
    view->setEnabled(true);
    const QPalette shown = view->Body()->palette();
    EXPECT_EQ(shown.color(QPalette::Active, QPalette::Base), app.color(QPalette::Active, QPalette::Base));
    EXPECT_EQ(shown.color(QPalette::Active, QPalette::Text), app.color(QPalette::Active, QPalette::WindowText));
}

TEST(BodyPrintLayout, PagesOfTheBody)
{
    // 100 lines, 50 per page with the header: 49 body lines a page, 3 pages.
    EXPECT_EQ(ComputeBodyPrintLayout(500, 10, 100).totalPages, 3);
    // A font taller than the page still prints (one line a page).
    EXPECT_EQ(ComputeBodyPrintLayout(10, 30, 4).totalPages, 5);
    EXPECT_EQ(PrintableLine(QStringLiteral("a\tb\r\nrest")), QStringLiteral("a       b"));
}

TEST_F(BodyViewTest, PrintsToPdfWithPageHeaders)
{
    CONNECT_OR_SKIP("local.japanese");
    ASSERT_TRUE(view->ShowArticle(4));
    QFont big = view->BodyFont();
    big.setPointSize(60); // about ten lines a page: several pages
    view->SetBodyFont(big);
    const auto pdf = dir_ / "article.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    const int pages = view->PrintArticle(printer);
    ASSERT_GT(pages, 1);
    const std::string text =
        RunPeer(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QString::fromStdString(pdf.string()),
                                           QStringLiteral("-")});
    ASSERT_FALSE(text.empty());
    for (int i = 1; i <= pages; ++i)
        EXPECT_NE(text.find("Page " + std::to_string(i) + "/" + std::to_string(pages)), std::string::npos) << text;
    EXPECT_EQ(text.find("Page " + std::to_string(pages + 1) + "/"), std::string::npos);
    EXPECT_NE(QString::fromStdString(text).indexOf(QStringLiteral("画像を添付")), -1) << text;
}

} // namespace
