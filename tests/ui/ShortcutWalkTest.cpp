// Every window's keys, walked for collisions: a key two things answer to
// does neither (Qt says "Ambiguous shortcut overload" and drops it).

#include "app/LumeApp.h"
#include "app/PaneFactory.h"
#include "compose/CNewsPostWnd.h"
#include "dialogs/CertificateDialog.h"
#include "dialogs/ConfigSheet.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/LoginDialog.h"
#include "host/HostedDocument.h"
#include "news/SettingsValues.h"
#include "platform/Registry.h"

#include "ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>
#include <QTabBar>
#include <QTest>

#include <map>

namespace {

// What answers to one key, for the failure message.
using KeyOwners = std::map<QString, QStringList>;

QString Named(const QObject* o, const QString& text)
{
    return QStringLiteral("%1 \"%2\"").arg(o->objectName(), text);
}

void AddMnemonic(KeyOwners& keys, const QObject* owner, const QString& text)
{
    const QKeySequence mnemonic = QKeySequence::mnemonic(text);
    if (!mnemonic.isEmpty())
        keys[mnemonic.toString()] << Named(owner, text);
}

// The keys a window answers to: its actions' shortcuts, Alt with the menu
// bar's letters and those of the labels, buttons and tabs the user can see,
// and its own shortcut objects. The same action in a menu and a tool bar
// counts once.
KeyOwners KeysOf(QWidget* window)
{
    KeyOwners keys;
    QList<QAction*> actions = window->findChildren<QAction*>();
    actions += window->actions();
    std::set<QAction*> seen;
    for (QAction* a : actions) {
        if (!seen.insert(a).second || a->menu())
            continue;
        for (const QKeySequence& k : a->shortcuts())
            keys[k.toString()] << Named(a, a->text());
    }
    for (QMenuBar* bar : window->findChildren<QMenuBar*>())
        for (QAction* a : bar->actions())
            AddMnemonic(keys, bar, a->text());
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->buddy() && label->isVisibleTo(window))
            AddMnemonic(keys, label, label->text());
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (button->isVisibleTo(window))
            AddMnemonic(keys, button, button->text());
    for (QTabBar* tabs : window->findChildren<QTabBar*>())
        if (tabs->isVisibleTo(window))
            for (int i = 0; i < tabs->count(); ++i)
                AddMnemonic(keys, tabs, tabs->tabText(i));
    for (QShortcut* s : window->findChildren<QShortcut*>())
        keys[s->key().toString()] << Named(s, QStringLiteral("shortcut"));
    return keys;
}

// Within one menu each letter picks one item.
KeyOwners MenuLetters(QMenu* menu)
{
    KeyOwners keys;
    for (QAction* a : menu->actions())
        if (a->isVisible() && !a->isSeparator())
            AddMnemonic(keys, menu, a->text());
    return keys;
}

void ExpectNoCollision(const KeyOwners& keys, const QString& where)
{
    for (const auto& [key, owners] : keys)
        EXPECT_EQ(owners.size(), 1) << where.toStdString() << ": " << key.toStdString() << " is taken by "
                                    << owners.join(QStringLiteral(", ")).toStdString();
}

void WalkWindow(QWidget* window, const QString& name)
{
    ExpectNoCollision(KeysOf(window), name);
    for (QMenu* menu : window->findChildren<QMenu*>())
        ExpectNoCollision(MenuLetters(menu), name + QStringLiteral(" menu ") + menu->title());
}

class ShortcutWalk : public ::testing::Test {
protected:
    testutil::ScratchDir dir;
    ScriptedDialogs dialogs;
    platform::Registry registry{dir / "registry"};
};

TEST_F(ShortcutWalk, MainWindowAndItsMenus)
{
    host::HostedDocument document(dialogs, registry);
    app::CLumeApp lume(registry, document, dialogs, app::MakePanes(document, registry, dialogs));
    ASSERT_TRUE(lume.InitInstance({}));
    WalkWindow(lume.Frame(), QStringLiteral("main window"));
    lume.Frame()->close();
    lume.ExitInstance();
}

TEST_F(ShortcutWalk, PostWindowAndAltSSends)
{
    QPointer<compose::CNewsPostWnd> post = new compose::CNewsPostWnd({}, registry, dialogs);
    post->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(post));
    WalkWindow(post, QStringLiteral("post window"));
    const auto keys = KeysOf(post);
    ASSERT_TRUE(keys.count(QStringLiteral("Alt+S")));
    EXPECT_TRUE(keys.at(QStringLiteral("Alt+S")).front().contains(QStringLiteral("送信")));
    post->Destroy();
}

TEST_F(ShortcutWalk, DialogsAndTheHelpWindow)
{
    news::SettingsValues values;
    dialogs::CConfigSheet sheet(dialogs, values);
    WalkWindow(&sheet, QStringLiteral("settings"));
    dialogs::LoginDialog login({});
    WalkWindow(&login, QStringLiteral("login"));
    for (auto mode : {dialogs::CertificateDialog::Mode::Ask, dialogs::CertificateDialog::Mode::Show}) {
        dialogs::CertificateDialog certificate({}, nullptr, mode);
        WalkWindow(&certificate, QStringLiteral("certificate"));
    }

    // Without a window manager's frame, the help window closes by itself.
    dialogs::HelpWindow help;
    WalkWindow(&help, QStringLiteral("help"));
    for (bool byEscape : {true, false}) {
        help.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
        if (byEscape) {
            help.activateWindow();
            QTest::keyClick(&help, Qt::Key_Escape);
        } else {
            auto* close = help.findChild<QAbstractButton*>(QStringLiteral("close"));
            ASSERT_NE(close, nullptr);
            close->click();
        }
        EXPECT_FALSE(help.isVisible()) << byEscape;
    }
}

} // namespace
