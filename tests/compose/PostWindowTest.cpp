// The post window and the article it builds: the form's rules as tables, and
// articles written in the window (or by lumetra-tool) read back from INN by
// Python's email package and the transfer-encoding peers.
#include "compose/CNewsPostWnd.h"
#include "compose/FollowUpDialog.h"
#include "integration/ServerSupport.h"
#include "message/HeaderFields.h"
#include "net/FakeServer.h"
#include "news/PostArticle.h"
#include "platform/Registry.h"
#include "support/TestFiles.h"
#include "tools/ToolCommands.h"
#include "ui/ScriptedDialogs.h"
#include "widgets/SjisText.h"

#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <map>
#include <sstream>

// The rows name only the fields they set.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using compose::CNewsPostWnd;
using news::PostForm;
using news::PostParams;

std::string S(const char* utf8) { return widgets::ToSjis(QString::fromUtf8(utf8)); }

struct BuildRow {
    const char* name;
    PostForm form;
    std::string realName;
    std::string header; // "Name: value|" for each field, in order; "" when nothing is posted
    std::vector<std::string> pieces;
};

TEST(PostParam, FieldsOrderAndPieces)
{
    const std::string tail = "X-Newsreader: Lumetra [version 1.00 Beta2]|From: ";
    const BuildRow rows[] = {
        {"only separators", {.newsgroups = " ,\t, "}, "", "", {}},
        {"lists normalised, empty fields left out",
         {.distribution = " jp , fj", .newsgroups = "a.test  \tb.test", .body = "x"}, "",
         "Distribution: jp,fj|Newsgroups: a.test,b.test|" + tail + "me@example.invalid|", {"x\r\n\r\n"}},
        {"every field, signature and references last",
         {.distribution = "jp", .newsgroups = "a.test", .subject = "s", .replyTo = "r@x", .followupTo = "poster",
          .body = "x\r\n", .references = "<p@x>", .signature = "sig"},
         "Real",
         "Distribution: jp|Followup-To: poster|Newsgroups: a.test|Reply-To: r@x|Subject: s|Organization: Org|" + tail +
             "Real <me@example.invalid>|References: <p@x>|",
         {"x\r\n\r\n", "-- \r\nsig"}},
        {"line ends never reach a header",
         {.newsgroups = "a.test\r\nb.test", .subject = "a\r\nControl: cancel"}, "",
         "Newsgroups: a.test,b.test|Subject: a  Control: cancel|" + tail + "me@example.invalid|", {"\r\n\r\n"}},
    };
    for (const BuildRow& row : rows) {
        PostParams settings{.strRealName = row.realName, .strMailAddress = "me@example.invalid"};
        if (!row.realName.empty())
            settings.strOrganization = "Org";
        const auto param = news::BuildPostParam(row.form, settings);
        std::string header;
        if (param) {
            for (std::size_t i = 0; i < param->fieldNames.size(); ++i)
                header += param->fieldNames[i] + " " + param->fieldValues[i] + "|";
        }
        EXPECT_EQ(header, row.header) << row.name;
        if (param) {
            EXPECT_EQ(param->bodyTexts, row.pieces) << row.name;
        }
    }
}

class PostWindow : public ::testing::Test {
protected:
    CNewsPostWnd* Open(const PostParams& settings)
    {
        auto* w = new compose::CNewsPostWnd(settings, registry_, dialogs_);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
        return w;
    }
    template <class T> static T* Find(QWidget* w, const char* name) { return w->findChild<T*>(QString::fromLatin1(name)); }
    // What an input method hands over when the user confirms a conversion.
    static void Commit(QWidget* target, const QString& text)
    {
        target->setFocus();
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(target, &event);
    }

    testutil::ScratchDir dir_;
    platform::Registry registry_{dir_ / "registry"};
    ScriptedDialogs dialogs_;
};

TEST_F(PostWindow, ClosingAsksOnlyAboutEdits)
{
    struct Row {
        bool edit;
        int answer;
        bool closes;
    } rows[] = {{false, news::IDNO, true}, {true, news::IDNO, false}, {true, news::IDYES, true}};
    for (const Row& row : rows) {
        QPointer<CNewsPostWnd> w = Open({});
        if (row.edit)
            QTest::keyClicks(w->Body(), QStringLiteral("draft"));
        dialogs_.messages.clear();
        dialogs_.answer = row.answer;
        w->close();
        EXPECT_EQ(dialogs_.messages.size(), row.edit ? 1 : 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(w.isNull(), row.closes) << row.edit << row.answer;
        delete w.data();
    }
}

// Dialog 118 driven as a user would, filling a fresh post window.
TEST_F(PostWindow, FollowUpDialogChoicesReachTheForm)
{
    const news::FollowUpSource source{
        "Newsgroups: fj.test,local.test\r\nSubject: =?ISO-2022-JP?B?GyRCRnxLXBsoQg==?=\r\nMessage-ID: <m1@x>\r\n", "a\r\n"};
    for (const QString button : {"ctl2", "ctl1"}) {
        CNewsPostWnd* w = Open({});
        QTimer::singleShot(0, [button] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_TRUE(dialog && dialog->objectName() == "dlg118");
            auto* list = Find<QListWidget>(dialog, "ctl1044");
            ASSERT_EQ(list->selectedItems().size(), 2);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
            Find<QLineEdit>(dialog, "ctl130")->selectAll();
            QTest::keyClicks(Find<QLineEdit>(dialog, "ctl130"), "| ");
            QTest::mouseClick(Find<QPushButton>(dialog, "ctl57670"), Qt::LeftButton);
            QTest::mouseClick(dialog->findChild<QPushButton*>(button), Qt::LeftButton);
        });
        const bool built = compose::BuildFollowUp(*w, source, registry_, dialogs_);
        EXPECT_EQ(built, button == "ctl1");
        EXPECT_EQ(registry_.GetString("FollowUp", "strQuoteString", "-"), built ? "| " : "-");
        const PostForm form = w->Form();
        EXPECT_EQ(widgets::FromSjis(form.newsgroups + "|" + form.references + "|" + form.subject + "|" + form.body),
                  built ? QStringLiteral("fj.test|<m1@x>|Re: 日本|In message <m1@x>\r\n   \"日本\"\r\n| a\r\n") : "|||");
        w->Destroy();
    }
    EXPECT_EQ(dialogs_.helpPages, QStringList({"posting.html#followup", "posting.html#followup"}));
}

TEST_F(PostWindow, SignatureDialogKeepsThreeSlots)
{
    news::CSignatureStore store(registry_);
    store.SetSignature(0, "one");
    store.SetSignature(2, "three");
    for (const bool ok : {false, true}) {
        QMetaObject::invokeMethod(qApp, [&] {
            QWidget* d = QApplication::activeModalWidget();
            // Slot 1 edited, 2 written, 3 emptied, back to 1: each keeps its own text.
            for (const char* radio : {"ctl1001", "ctl1002", "ctl1000"}) {
                Find<QPlainTextEdit>(d, "ctl101")->setPlainText(radio[6] == '1' ? "a\nb" : radio[6] == '2' ? "two" : "");
                QMetaObject::invokeMethod(Find<QObject>(d, radio), "click");
            }
            QMetaObject::invokeMethod(d, ok ? "accept" : "reject");
        }, Qt::QueuedConnection);
        EXPECT_EQ(compose::EditSignatures(nullptr, store), ok);
        EXPECT_EQ(store.GetSignature(0) + "|" + store.GetSignature(1) + "|" + store.GetSignature(2),
                  ok ? "a\r\nb|two|" : "one||three");
    }
}

struct ServerRow {
    const char* code;
    textcodec::KanjiCode kanji;
    int encoding; // -1: no attachment
    bool signature;
    bool viaTool;
};

class PostToServer : public PostWindow, public ::testing::WithParamInterface<ServerRow> {};

TEST_P(PostToServer, ReadsBackAsWritten)
{
    REQUIRE_SERVER();
    const ServerRow row = GetParam();
    const std::string group = "local.test", tag = inttest::Tag();
    const std::string subject = S("日本語の題名 ") + tag;
    const std::string body = S("Hello.\r\n本文の二行目");
    const std::filesystem::path attach = dir_ / "picture.png";
    const std::string bytes = testutil::RandomBytes(3000, 7);
    testutil::WriteFile(attach, bytes);
    news::CSignatureStore(registry_).SetSignature(0, S("署名です"));
    news::CSignatureStore(registry_).SetSignAutoInsert(row.signature);
    const PostParams settings{.strRealName = S("試験 太郎"), .strMailAddress = "taro@example.invalid",
                              .strNntpServer = server->host, .nNntpPort = server->port, .PostKanjiCode = row.kanji};
    if (row.viaTool) {
        // Arguments come in the locale's code (UTF-8), as for any command.
        std::istringstream in(body);
        std::ostringstream out, err;
        ASSERT_EQ(tools::PostCommand({"--server", server->host, "--port", std::to_string(server->port), "--group", group,
                                      "--subject", "日本語の題名 " + tag, "--from", "taro@example.invalid",
                                      "--code", row.code},
                                     in, out, err),
                  0)
            << err.str();
    } else {
        QPointer<CNewsPostWnd> w = Open(settings);
        QTest::keyClicks(Find<QLineEdit>(w, "ctl1002"), QString::fromStdString(group));
        Commit(Find<QLineEdit>(w, "ctl1012"), widgets::FromSjis(subject));
        QTest::keyClicks(Find<QLineEdit>(w, "ctl1014"), QString::fromStdString(tag + "@example.invalid"));
        QTest::keyClicks(w->Body(), QStringLiteral("Hello."));
        QTest::keyClick(w->Body(), Qt::Key_Return);
        Commit(w->Body(), QStringLiteral("本文の二行目"));
        if (row.encoding >= 0) {
            Find<QLineEdit>(w, "ctl1015")->setText(QString::fromStdString(attach.string()));
            Find<QComboBox>(w, "ctl1032")->setCurrentIndex(row.encoding);
        }
        dialogs_.answer = news::IDYES;
        ASSERT_TRUE(w->Send()) << dialogs_.messages.join(u'\n').toStdString();
    }
    inttest::Poster poster(*server);
    const auto [lo, hi] = poster.Range(group);
    const std::string field = row.viaTool ? "Subject" : "Reply-To";
    const std::vector<int> found = poster.Find(group, lo, hi, tag, field);
    ASSERT_EQ(found.size(), 1u);
    std::ostringstream article, err;
    ASSERT_EQ(tools::FetchCommand({"--server", server->host, "--port", std::to_string(server->port), group,
                                   std::to_string(found[0])},
                                  article, err),
              0);
    testutil::WriteFile(dir_ / "article", article.str());
    std::vector<std::string> read = testutil::SplitLines(testutil::Shell(
        "python3 " LUMETRA_SOURCE_DIR "/tests/compose/read_post.py " + testutil::Quote(dir_ / "article") + " " + row.code));
    ASSERT_EQ(read.size(), 4u) << article.str();
    std::string text = "Hello.\\n本文の二行目";
    if (row.signature && !row.viaTool)
        text += "\\n\\n-- \\n署名です";
    EXPECT_EQ(read[0], "日本語の題名 " + tag);
    EXPECT_EQ(read[1], row.viaTool ? "taro@example.invalid" : "試験 太郎 <taro@example.invalid>");
    while (read[2].ends_with("\\n"))
        read[2].resize(read[2].size() - 2);
    EXPECT_EQ(read[2], text);
    EXPECT_EQ(read[3], row.encoding >= 0 && !row.viaTool ? testutil::Hex(bytes) : "");
}

INSTANTIATE_TEST_SUITE_P(Codes, PostToServer,
                         ::testing::Values(ServerRow{"jis", textcodec::KanjiCode::Jis, 0, true, false},
                                           ServerRow{"sjis", textcodec::KanjiCode::Sjis, 2, false, false},
                                           ServerRow{"euc", textcodec::KanjiCode::Euc, 1, true, false},
                                           ServerRow{"jis", textcodec::KanjiCode::Jis, -1, false, true}));

TEST_F(PostWindow, RefusedPostKeepsTheWindowAndSaysWhy)
{
    REQUIRE_SERVER();
    QPointer<CNewsPostWnd> w = Open({.strMailAddress = "taro@example.invalid", .strNntpServer = server->host,
                                     .nNntpPort = server->port});
    QTest::keyClicks(Find<QLineEdit>(w, "ctl1002"), QStringLiteral("local.readonly"));
    QTest::keyClicks(w->Body(), QStringLiteral("kept"));
    dialogs_.answer = news::IDYES;
    EXPECT_FALSE(w->Send());
    ASSERT_FALSE(w.isNull());
    EXPECT_TRUE(dialogs_.messages.last().contains(QStringLiteral("441"))) << dialogs_.messages.last().toStdString();
    EXPECT_EQ(w->Body()->toPlainText(), QStringLiteral("kept"));
    w->Destroy();
}

// The newest article whose Reply-To holds tag, as INN has it ("" when none),
// and how many there are.
std::pair<std::string, std::size_t> TaggedArticle(const inttest::Server& s, const std::string& tag)
{
    inttest::Poster poster(s);
    const auto [lo, hi] = poster.Range("local.test");
    const std::vector<int> found = poster.Find("local.test", lo, hi, tag, "Reply-To");
    if (found.empty())
        return {"", 0};
    std::ostringstream article, err;
    tools::FetchCommand({"--server", s.host, "--port", std::to_string(s.port), "local.test", std::to_string(found[0])},
                        article, err);
    return {article.str(), found.size()};
}

std::string ReadBackScript(const inttest::Server& s, const std::string& id)
{
    return testutil::Shell("python3 " LUMETRA_SOURCE_DIR "/tests/integration/read_back.py " + s.host + " " +
                           std::to_string(s.port) + " '" + id + "' 2>&1");
}

// That article read by a strict mail reader: "defects", "subject", "body",
// and "count", "supersedes" (empty map when none arrived).
std::map<std::string, std::string> ReadBackTagged(const inttest::Server& s, const std::string& tag)
{
    const auto [article, count] = TaggedArticle(s, tag);
    std::map<std::string, std::string> fields;
    if (count == 0)
        return fields;
    fields["count"] = std::to_string(count);
    fields["supersedes"] = message::GetHeaderField(article, "Supersedes", false);
    std::istringstream lines(ReadBackScript(s, message::GetHeaderField(article, "Message-ID", false)));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t blank = line.find(' ');
        fields[line.substr(0, blank)] = blank == std::string::npos ? "" : line.substr(blank + 1);
    }
    while (fields["body"].ends_with("\\n"))
        fields["body"].resize(fields["body"].size() - 2);
    return fields;
}

// A character JIS cannot carry: the window asks, and what arrives is what the
// answer chose, read back exactly by a strict reader; on Cancel nothing does.
TEST_F(PostWindow, UncarriedCharacterIsAskedAbout)
{
    REQUIRE_SERVER();
    using Choice = dialogs::Dialogs::UncarriedChoice;
    const struct {
        Choice choice;
        const char* subject; // as read back; nullptr: nothing posted
        const char* body;
    } rows[] = {
        {Choice::Utf8, "丸数字 ① café", "本文 ① café 〜 −"},
        {Choice::Replace, "丸数字 〓 caf〓", "本文 〓 caf〓 〜 −"},
        {Choice::Cancel, nullptr, nullptr},
    };
    for (const auto& row : rows) {
        const std::string tag = inttest::Tag();
        QPointer<CNewsPostWnd> w = Open({.strMailAddress = "taro@example.invalid", .strNntpServer = server->host,
                                         .nNntpPort = server->port, .PostKanjiCode = textcodec::KanjiCode::Jis});
        QTest::keyClicks(Find<QLineEdit>(w, "ctl1002"), QStringLiteral("local.test"));
        Commit(Find<QLineEdit>(w, "ctl1012"), QStringLiteral("丸数字 ① café"));
        QTest::keyClicks(Find<QLineEdit>(w, "ctl1014"), QString::fromStdString(tag + "@example.invalid"));
        Commit(w->Body(), QStringLiteral("本文 ① café \u301C \u2212"));
        dialogs_.answer = news::IDYES;
        dialogs_.uncarried = row.choice;
        dialogs_.uncarriedAsked.clear();
        EXPECT_EQ(w->Send(), row.subject != nullptr);
        EXPECT_EQ(dialogs_.uncarriedAsked, QStringList{QStringLiteral("①")});
        auto back = ReadBackTagged(*server, tag);
        if (!row.subject) {
            EXPECT_TRUE(back.empty());
            EXPECT_FALSE(w.isNull());
            w->Destroy();
            continue;
        }
        EXPECT_EQ(back["count"], "1");
        EXPECT_EQ(back["defects"], "0") << back["error"];
        EXPECT_EQ(back["subject"], row.subject);
        EXPECT_EQ(back["body"], row.body);
    }
}

// The server took the article but its answer was lost: sending again goes
// out with the id it recommended the first time, so it cannot post twice.
TEST_F(PostWindow, SendingAgainAfterALostAnswerKeepsTheMessageId)
{
    int connection = 0;
    std::vector<std::string> articles;
    FakeServer server(
        [&](FakePeer& p) {
            const std::string n = std::to_string(++connection);
            p.Greet("200 ok\r\n");
            p.Reply("340 send <offered" + n + "@server.invalid>\r\n");
            articles.push_back(p.ReadArticle());
            if (n == "2") {
                p.Send("240 article received\r\n");
                p.AnswerQuit();
            }
        },
        true, AF_INET, 2);
    QPointer<CNewsPostWnd> w = Open({.strMailAddress = "taro@example.invalid", .strNntpServer = "127.0.0.1",
                                     .nNntpPort = server.port()});
    QTest::keyClicks(Find<QLineEdit>(w, "ctl1002"), QStringLiteral("local.test"));
    QTest::keyClicks(w->Body(), QStringLiteral("once"));
    dialogs_.answer = news::IDYES;
    EXPECT_FALSE(w->Send());
    EXPECT_TRUE(dialogs_.messages.last().contains(QStringLiteral("投稿されている可能性"))) << dialogs_.messages.last().toStdString();
    EXPECT_TRUE(w->Send());
    server.Join();
    ASSERT_EQ(articles.size(), 2u);
    for (const std::string& article : articles)
        EXPECT_NE(article.find("\r\nMessage-ID: <offered1@server.invalid>\r\n"), std::string::npos) << article;
}

// Supersede from the window: the new article names the old one and its
// Cancel-Key opens the old one's lock; INN then holds only the new one.
TEST_F(PostWindow, SupersedeReplacesTheArticle)
{
    REQUIRE_SERVER();
    const std::string tag = inttest::Tag();
    const std::string secret = "window-secret-" + tag;
    const PostParams settings{.strMailAddress = "taro@example.invalid", .strNntpServer = server->host,
                              .nNntpPort = server->port};
    news::PostForm original;
    original.newsgroups = "local.test";
    original.subject = S("差し替え前 ") + tag;
    original.replyTo = tag + "@example.invalid";
    original.body = S("古い本文\r\n");
    original.cancelSecret = secret;
    const news::PostOutcome first = news::PostArticle(original, settings);
    ASSERT_TRUE(first.posted) << first.serverReply;

    const std::string text = TaggedArticle(*server, tag).first;
    ASSERT_NE(text.find(first.postedId), std::string::npos);
    QPointer<CNewsPostWnd> w = Open(settings);
    w->SetCancelSecretSource([&](const std::string& address) { return address == "taro@example.invalid" ? secret : ""; });
    w->SetSupersedeFields(text.substr(0, text.find("\n\r\n") + 1), S("古い本文\r\n"));
    const news::PostForm filled = w->Form();
    EXPECT_EQ(filled.subject + "|" + filled.replyTo + "|" + filled.newsgroups,
              original.subject + "|" + original.replyTo + "|local.test");
    EXPECT_TRUE(filled.body.starts_with(S("古い本文"))) << filled.body;
    w->Body()->setPlainText(QStringLiteral("新しい本文"));
    dialogs_.answer = news::IDYES;
    ASSERT_TRUE(w->Send()) << dialogs_.messages.join(u'\n').toStdString();

    auto back = ReadBackTagged(*server, tag);
    EXPECT_EQ(back["count"], "1");
    EXPECT_EQ(back["supersedes"], first.postedId);
    EXPECT_EQ(back["body"], "新しい本文");
    EXPECT_EQ(ReadBackScript(*server, first.postedId), "no such article\n");
}

} // namespace
