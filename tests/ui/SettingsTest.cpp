// The settings sheet through the document's command, the first start, and
// the help window's pages and commands.

#include "app/LumeApp.h"
#include "app/PaneFactory.h"
#include "news/LumeDoc.h"
#include "platform/CommandIds.h"
#include "platform/Registry.h"
#include "dialogs/ConfigSheet.h"
#include "dialogs/HelpWindow.h"
#include "host/HostedDocument.h"
#include "ui/MainFrame.h"

#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using namespace dialogs;

using namespace news;
using namespace ui;
using host::HostedDocument;
namespace cmd = platform::cmd;

namespace {

template <typename T = QWidget>
T* Control(QWidget& sheet, const char* page, int id)
{
    QWidget* p = sheet.findChild<QWidget*>(QString::fromLatin1(page));
    return p ? p->findChild<T*>(QStringLiteral("ctl%1").arg(id)) : nullptr;
}
void Type(QWidget& s, const char* page, int id, const char* text) { Control<QLineEdit>(s, page, id)->setText(text); }
void Click(QWidget& s, const char* page, int id) { Control<QPushButton>(s, page, id)->click(); }

struct HintRecorder : DocumentView {
    void OnUpdate(DocumentView*, news::Hint hint) override { hints.push_back(hint); }
    std::vector<news::Hint> hints;
};

struct SheetCase {
    const char* name;
    bool online;
    bool accepted;
    std::function<void(CConfigSheet&)> act; // ends with accept() or reject()
    const char* refusedField;               // named by the message, or null
    int code, port, wait, retry, limit;     // the configuration afterwards
    const char* colourKey;                  // written as 0x0000FF, or null
};

TEST(SettingsSheet, ChangesReachTheDocumentOnlyOnOk)
{
    const SheetCase cases[] = {
        {"SJIS shows as entry 2, EUC stores 2", false, true,
         [](CConfigSheet& s) {
             EXPECT_EQ(Control<QComboBox>(s, "dlg126", 1041)->currentText(), "SJIS");
             Control<QComboBox>(s, "dlg126", 1041)->setCurrentIndex(1);
             s.accept();
         },
         nullptr, 2, 8119, 30, 7, 50, nullptr},
        {"reset offline", false, true, [](CConfigSheet& s) { Click(s, "dlg128", 1039), s.accept(); }, nullptr, 1, 119, 12, 5,
         50, nullptr},
        {"online: numbers and reset disabled, kept", true, true,
         [](CConfigSheet& s) {
             EXPECT_FALSE(Control(s, "dlg128", 1043)->isEnabled());
             EXPECT_FALSE(Control(s, "dlg128", 1039)->isEnabled());
             Type(s, "dlg128", 1037, "99999");
             Type(s, "dlg128", 1091, "45"); // the header store's expiry is no connection setting
             s.accept();
         },
         nullptr, 1, 8119, 30, 7, 50, nullptr},
        {"cancel drops a chosen colour", false, false, [](CConfigSheet& s) { Click(s, "dlg137", 1032), s.reject(); },
         nullptr, 1, 8119, 30, 7, 50, nullptr},
        {"double-click on the attachment line", false, true,
         [](CConfigSheet& s) {
             auto* list = Control<QListWidget>(s, "dlg137", 1029);
             emit list->itemDoubleClicked(list->item(3));
             s.accept();
         },
         nullptr, 1, 8119, 30, 7, 50, "BinaryMarkColor"},
        {"port above 65535", false, false, [](CConfigSheet& s) { Type(s, "dlg128", 1043, "70000"), s.accept(); },
         "NNTPポート", 1, 8119, 30, 7, 50, nullptr},
        {"article limit 0", false, false, [](CConfigSheet& s) { Type(s, "dlg126", 1035, "0"), s.accept(); },
         "読み込む記事の最大数", 1, 8119, 30, 7, 50, nullptr},
        {"expiry of 0 days", false, false, [](CConfigSheet& s) { Type(s, "dlg128", 1091, "0"), s.accept(); },
         "ヘッダーを消すまでの日数", 1, 8119, 30, 7, 50, nullptr},
        {"retry not a number", false, false, [](CConfigSheet& s) { Type(s, "dlg128", 1038, "abc"), s.accept(); },
         "TCP RETRY", 1, 8119, 30, 7, 50, nullptr},
        {"wait 3600 and limit 100000 accepted", false, true,
         [](CConfigSheet& s) { Type(s, "dlg128", 1037, "3600"), Type(s, "dlg126", 1035, "100000"), s.accept(); },
         nullptr, 1, 8119, 3600, 7, 100000, nullptr},
    };
    for (const SheetCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        platform::Registry registry(dir.filePath("registry").toStdString());
        ScriptedDialogs dialogs;
        dialogs.colour = [](const QColor&) { return QColor(255, 0, 0); };
        HostedDocument document(dialogs, registry);
        LumeConfig& config = document.Doc().Config();
        config.PostKanjiCode = 1;
        config.nNntpPort = 8119;
        config.nTcpWaitSec = 30;
        config.nTcpRetryCount = 7;
        config.strMailAddress = "me@example.jp";
        HintRecorder view;
        document.Doc().AddView(&view);
        dialogs.settings = [&](SettingsValues& values) {
            values.online = c.online;
            CConfigSheet sheet(dialogs, values);
            c.act(sheet);
            return sheet.result() == QDialog::Accepted;
        };

        ASSERT_TRUE(document.Doc().OnCommand(cmd::Settings));
        const bool accepted = c.accepted;
        EXPECT_EQ(document.Doc().IsModified(), accepted);
        EXPECT_EQ(view.hints, accepted ? std::vector<news::Hint>{Hint::Article} : std::vector<news::Hint>{});
        EXPECT_EQ(dialogs.messages.size(), c.refusedField ? 1u : 0u);
        if (c.refusedField) {
            EXPECT_TRUE(dialogs.messages.value(0).contains(QString::fromUtf8(c.refusedField)));
        }
        EXPECT_EQ(config.PostKanjiCode, c.code);
        EXPECT_EQ(config.nNntpPort, c.port);
        EXPECT_EQ(config.nTcpWaitSec, c.wait);
        EXPECT_EQ(config.nTcpRetryCount, c.retry);
        if (accepted) {
            const net::TcpTimeouts& used = document.Doc().Nntp().Tcp().Timeouts();
            EXPECT_EQ(used.WaitSec(), config.UsedTcpWaitSec());
            EXPECT_EQ(used.RetryCount(), config.UsedTcpRetryCount());
        }
        EXPECT_EQ(config.nMaxReadArtcleCount, c.limit);
        EXPECT_EQ(config.strMailAddress, "me@example.jp");
        // OK writes all five colours; anything else writes none.
        EXPECT_EQ(registry.TypeOf("BodyView", "TextColor").has_value(), accepted);
        EXPECT_EQ(registry.GetInt("HeaderStore", "nExpireDays", 0), !accepted ? 0 : c.online ? 45 : 30);
        if (c.colourKey) {
            EXPECT_EQ(registry.GetInt("BodyView", c.colourKey, 0), 0x0000FF);
        }
        document.Doc().RemoveView(&view);
    }
}

// Every link of the help pages leads to a page (and anchor) that exists, and
// every page built in is listed in the contents.
TEST(Help, EveryLinkResolves)
{
    const QStringList pages = HelpWindow::Pages();
    QStringList sorted = pages;
    sorted.sort();
    EXPECT_EQ(QDir(HelpWindow::Folder()).entryList(QDir::Files, QDir::Name), sorted);
    const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
    for (const QString& page : pages) {
        QFile file(HelpWindow::Folder() + page);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page.toStdString();
        const QString text = QString::fromUtf8(file.readAll());
        for (auto it = href.globalMatch(text); it.hasNext();) {
            const QString link = it.next().captured(1);
            SCOPED_TRACE((page + QStringLiteral(" -> ") + link).toStdString());
            const QString target = link.section(u'#', 0, 0).isEmpty() ? page : link.section(u'#', 0, 0);
            ASSERT_TRUE(pages.contains(target));
            if (link.contains(u'#')) {
                QFile t(HelpWindow::Folder() + target);
                ASSERT_TRUE(t.open(QIODevice::ReadOnly));
                EXPECT_TRUE(t.readAll().contains(("name=\"" + link.section(u'#', 1) + "\"").toUtf8()));
            }
        }
    }
}

// The first start asks for a server and makes going online possible; the
// help and page setup commands reach their dialogs.
TEST(Help, FirstStartAndHelpCommands)
{
    QTemporaryDir dir;
    platform::Registry registry(dir.filePath("registry").toStdString());
    ScriptedDialogs dialogs;
    dialogs.answer = IDNO;
    HostedDocument document(dialogs, registry);
    bool firstStart = false;
    dialogs.settings = [&](SettingsValues& values) {
        firstStart = values.firstStart;
        values.config.strNntpServer = "news.example.jp";
        return true;
    };
    app::CLumeApp lume(registry, document, dialogs, app::MakePanes(document, registry, dialogs));
    ASSERT_TRUE(lume.InitInstance({}));
    QTRY_COMPARE(dialogs.settingsAsked, 1);
    EXPECT_TRUE(firstStart);
    EXPECT_TRUE(lume.Router().Query(cmd::Online).enabled);

    HelpWindow help;
    for (unsigned id : {cmd::Help, cmd::ContextHelp, cmd::HelpIndex, cmd::HelpUsing, cmd::DefaultHelp}) {
        ASSERT_TRUE(lume.Router().Execute(id)) << id;
        ASSERT_EQ(dialogs.helpPages.size(), qsizetype(1)) << id;
        const QString page = dialogs.helpPages.takeFirst();
        help.ShowPage(page);
        EXPECT_EQ(help.Browser()->source().toString(), page.isEmpty() ? HelpWindow::Pages().constFirst() : page);
    }
    ASSERT_TRUE(lume.Router().Execute(cmd::FilePrintSetup));
    EXPECT_EQ(dialogs.pageSetups, 1);
    lume.Frame()->close();
    lume.ExitInstance();
}

} // namespace
