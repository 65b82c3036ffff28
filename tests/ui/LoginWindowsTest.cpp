// Security and login: the settings sheet's fields, the login and certificate
// windows, and where passwords are (and are never) kept.

#include "news/LumeDoc.h"
#include "platform/CommandIds.h"
#include "platform/Registry.h"
#include "dialogs/CertificateDialog.h"
#include "dialogs/ConfigSheet.h"
#include "host/HostedDocument.h"
#include "host/PasswordStore.h"

#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace dialogs;
using namespace host;

using namespace ui;

namespace {

const QString kKey = QStringLiteral("nntp:taro@news.example.jp:563");
const char* const kServer = "news.example.jp";

template <typename T>
T* Ctl(QWidget& window, int id) { return window.findChild<T*>(QStringLiteral("ctl%1").arg(id)); }

struct Fixture {
    QTemporaryDir dir;
    platform::Registry registry{dir.filePath("registry").toStdString()};
    ScriptedDialogs dialogs;
    MemoryPasswordStore store;
    HostedDocument document{dialogs, registry, &store};
    news::LumeConfig& config = document.Doc().Config();
    Fixture()
    {
        config.strNntpServer = kServer;
        config.nNntpPort = 563;
        config.nSecurity = 2;
        config.strTrustedCertificate = "AB:CD";
    }
};

struct SheetCase {
    const char* name;
    bool online;
    int security;          // chosen, -1 none
    const char* password;  // typed
    bool remember;
    const char* portShown; // after the choice
    const char* server;
    int port, securityAfter;
    bool stored;
};

TEST(LoginSettings, SheetCarriesSecurityAndLoginAndNeverWritesThePassword)
{
    const SheetCase cases[] = {
        {"none from SSL/TLS on 563 proposes 119", false, 0, "pw-run-only", false, "119", kServer, 119, 0, false},
        {"STARTTLS proposes 119 too", false, 1, "pw-starttls", false, "119", kServer, 119, 1, false},
        {"remembered password goes to the store only", false, -1, "s3cret-pw", true, "563", kServer, 563, 2, true},
        {"online: security and port stay, new server", true, 0, "pw-online-7", false, "563", "n2", 563, 2, false},
    };
    for (const SheetCase& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.dialogs.settings = [&](news::SettingsValues& values) {
            values.online = c.online;
            CConfigSheet sheet(f.dialogs, values);
            if (c.security >= 0)
                Ctl<QComboBox>(sheet, 1070)->setCurrentIndex(c.security);
            EXPECT_EQ(Ctl<QLineEdit>(sheet, 1043)->text(), c.portShown);
            EXPECT_NE(Ctl<QComboBox>(sheet, 1070)->isEnabled(), c.online);
            Ctl<QLineEdit>(sheet, 1042)->setText(c.server);
            Ctl<QLineEdit>(sheet, 1071)->setText("taro");
            Ctl<QLineEdit>(sheet, 1072)->setText(c.password);
            Ctl<QCheckBox>(sheet, 1073)->setChecked(c.remember);
            Ctl<QCheckBox>(sheet, 1074)->setChecked(true);
            sheet.accept();
            return true;
        };
        ASSERT_TRUE(f.document.Doc().OnCommand(platform::cmd::Settings));
        EXPECT_EQ(f.config.nNntpPort, c.port);
        EXPECT_EQ(f.config.nSecurity, c.securityAfter);
        EXPECT_EQ(f.config.strUserName, "taro");
        EXPECT_EQ(f.config.bRememberPassword, c.remember);
        EXPECT_TRUE(f.config.bAllowPlainPassword);
        EXPECT_EQ(f.config.strTrustedCertificate.empty(), f.config.strNntpServer == "n2");
        EXPECT_EQ(f.store.entries.count(kKey) ? f.store.entries[kKey] : QString(), c.stored ? c.password : "");

        ASSERT_TRUE(f.document.Doc().ExchangeConfig(f.dir.filePath("a.lum").toStdString(), true));
        for (QDirIterator it(f.dir.path(), QDir::Files); it.hasNext();) {
            QFile file(it.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_FALSE(file.readAll().contains(c.password)) << file.fileName().toStdString();
        }
    }
}

struct AskCase {
    const char* name;
    bool remember, inStore, inRun, failedBefore, windowShown;
    int storeReads;
};

TEST(LoginSettings, KeptPasswordUsedUnlessRefused)
{
    const AskCase cases[] = {
        {"remembered: from the store", true, true, false, false, false, 1},
        {"not remembered: store not asked", false, true, false, false, true, 0},
        {"known this run", false, false, true, false, false, 0},
        {"refused: asks again", true, true, true, true, true, 0},
    };
    for (const AskCase& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.config.strUserName = "taro";
        f.config.bRememberPassword = c.remember;
        if (c.inStore)
            f.store.entries[kKey] = QStringLiteral("old");
        f.dialogs.login = [](LoginForm& form) { return form.password = "new", true; };
        NewsHost& host = f.document.Host();
        std::string user, password;
        const net::LoginRequest request{"news.example.jp", 563, "taro", false, "480 Authentication required"};
        ASSERT_TRUE(!c.inRun || host.AskLogin(request, user, password));
        f.dialogs.logins.clear();
        f.store.reads = 0;
        ASSERT_TRUE(host.AskLogin({kServer, 563, "taro", c.failedBefore, "481"}, user, password));
        EXPECT_EQ(f.dialogs.logins.size(), c.windowShown ? 1u : 0u);
        EXPECT_EQ(f.store.reads, c.storeReads);
        EXPECT_EQ(user, "taro");
        EXPECT_EQ(password, c.windowShown || (c.inRun && !c.inStore) ? "new" : "old");
        if (c.windowShown) {
            EXPECT_EQ(f.dialogs.logins[0].server, "news.example.jp:563");
            EXPECT_EQ(f.dialogs.logins[0].remember, c.remember);
            EXPECT_EQ(f.store.entries[kKey], c.remember ? "new" : "old");
        }
    }
}

TEST(LoginSettings, CancelAndAStoreThatCannotKeepIt)
{
    Fixture f;
    f.store.writable = false;
    NewsHost& host = f.document.Host();
    std::string user, password;
    const net::LoginRequest request{"news.example.jp", 563, "", false, "480"};
    EXPECT_FALSE(host.AskLogin(request, user, password));
    f.dialogs.login = [](LoginForm& form) { return form.user = "taro", form.remember = true; };
    for (bool failedBefore : {false, true})
        EXPECT_TRUE(host.AskLogin({"news.example.jp", 563, "", failedBefore, "481"}, user, password));
    EXPECT_EQ(f.store.writes, 2);
    EXPECT_EQ(f.dialogs.messages.size(), 1); // said once
    EXPECT_TRUE(f.config.bRememberPassword);
    EXPECT_EQ(f.config.strUserName, "taro");
}

TEST(LoginWindow, TypedValuesAndNoLineBreaks)
{
    LoginDialog dialog({"news.example.jp:119", "<b>480</b> login", "", "", false});
    EXPECT_EQ(Ctl<QLabel>(dialog, 1076)->textFormat(), Qt::PlainText);
    EXPECT_EQ(dialog.PasswordField()->echoMode(), QLineEdit::Password);
    QTest::keyClicks(dialog.UserField(), "taro");
    dialog.UserField()->insert(QStringLiteral("花子"));
    QTest::keyClicks(dialog.PasswordField(), "pw");
    dialog.PasswordField()->insert("x\r\ny"); // a pasted line break is refused
    dialog.UserField()->insert(QString(QChar(0)));
    dialog.RememberBox()->click();
    LoginForm form;
    dialog.Take(form);
    EXPECT_EQ(form.user, QStringLiteral("taro花子"));
    EXPECT_EQ(form.password, "pw");
    EXPECT_TRUE(form.remember);
    Ctl<QPushButton>(dialog, 2)->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(CertificateWindow, SaysWhyAndShowsTheCertificate)
{
    using P = net::CertificateProblem;
    const std::pair<P, const char*> rows[] = {
        {P::Expired, "有効期限が切れています"},     {P::NotYetValid, "まだ始まっていません"},
        {P::WrongHost, "接続先(news.example.jp)と一致しません"}, {P::UnknownIssuer, "発行者が不明です"},
        {P::SelfSigned, "自己署名"},                  {P::Other, "(unable to get CRL)"},
    };
    for (const auto& [problem, words] : rows) {
        net::CertificateInfo info{"news.example.jp", 563, "CN=news", "CN=CA", "2026-01-01 00:00:00 UTC",
                                  "2027-01-01 00:00:00 UTC", "AB:CD", problem, "unable to get CRL"};
        CertificateDialog dialog(info);
        EXPECT_TRUE(dialog.findChild<QLabel*>("reason")->text().contains(QString::fromUtf8(words)))
            << int(problem);
        const auto* sha = dialog.findChild<QLabel*>("sha256");
        EXPECT_TRUE(sha->text() == "AB:CD" && sha->textInteractionFlags() & Qt::TextSelectableByMouse);
        EXPECT_TRUE(Ctl<QPushButton>(dialog, 2)->isDefault());
        EXPECT_TRUE(dialog.findChild<QLabel*>("validity")->text().contains("2027-01-01"));
    }
}

} // namespace

namespace {

// The Cancel-Lock secret is made once per address and kept in the store;
// with no store, or one that cannot keep it, there is no lock at all.
TEST(CancelLockSecret, MadeOnceAndKeptInTheStore)
{
    const struct {
        const char* name;
        bool store;
        bool writable;
        const char* address;
        bool secret;
    } rows[] = {
        {"store", true, true, "taro@example.invalid", true},
        {"no store", false, true, "taro@example.invalid", false},
        {"store that cannot keep it", true, false, "taro@example.invalid", false},
        {"no address", true, true, " ", false},
    };
    for (const auto& row : rows) {
        MemoryPasswordStore store;
        store.writable = row.writable;
        PasswordStore* given = row.store ? &store : nullptr;
        const std::string first = CancelLockSecret(given, row.address);
        EXPECT_EQ(!first.empty(), row.secret) << row.name;
        if (!row.secret) {
            EXPECT_TRUE(store.entries.empty()) << row.name;
            continue;
        }
        EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(first)).size(), 32) << first;
        EXPECT_EQ(store.entries.at(QStringLiteral("cancel-lock:taro@example.invalid")).toStdString(), first);
        EXPECT_EQ(CancelLockSecret(given, "Taro@Example.invalid"), first) << row.name;
        EXPECT_EQ(store.writes, 1);
        EXPECT_NE(CancelLockSecret(given, "hanako@example.invalid"), first);
    }
}

} // namespace
