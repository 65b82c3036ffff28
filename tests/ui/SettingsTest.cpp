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


struct SheetCase {
    const char* name;
    bool online;
    bool accepted;
    std::function<void(CConfigSheet&)> act; // ends with accept() or reject()
    const char* refusedField;               // named by the message, or null
    int code, port, wait, retry, limit;     // the configuration afterwards
    const char* colourKey;                  // written as 0x0000FF, or null
};

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
