// The host's part in logging in: passwords kept for this run and in the
// desktop's secret store, the login and certificate windows.
#include "dialogs/Dialogs.h"
#include "host/NewsHost.h"
#include "host/PasswordStore.h"
#include "widgets/SjisText.h"

#include <string_view>

using namespace widgets;
using namespace dialogs;

using news::LumeConfig;

namespace host {

namespace {

// User names and passwords go into AUTHINFO lines.
bool FitsOneLine(const std::string& value)
{
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

std::string ServerKey(const std::string& server, int port) { return server + ':' + std::to_string(port); }

QString StoreKey(const std::string& user, const std::string& server, int port)
{
    return PasswordKey(FromSjis(user), FromSjis(server), port);
}

QString StoreKey(const LumeConfig& c) { return StoreKey(c.strUserName, c.strNntpServer, c.nNntpPort); }

} // namespace

std::optional<NewsHost::Login> NewsHost::KnownLogin(const std::string& server, int port, const std::string& user,
                                                    bool remember)
{
    const auto it = logins_.find(ServerKey(server, port));
    if (it != logins_.end() && !it->second.user.empty() && (user.empty() || it->second.user == user))
        return it->second;
    if (!remember || user.empty() || !passwords_)
        return std::nullopt;
    QString stored;
    if (!passwords_->Read(StoreKey(user, server, port), stored))
        return std::nullopt;
    Login login{user, ToSjis(stored)};
    if (!FitsOneLine(login.password))
        return std::nullopt;
    logins_[ServerKey(server, port)] = login;
    return login;
}

void NewsHost::KeepPassword(const QString& key, const QString& password)
{
    if ((passwords_ && passwords_->Write(key, password)) || storeWarned_)
        return;
    storeWarned_ = true;
    dialogs_.Message(window_,
                     QStringLiteral("パスワードをデスクトップのパスワード保管庫に保存できませんでした。"
                                    "このパスワードはプログラムを終了するまでのあいだだけ覚えておきます。"),
                     news::MessageIcon::Information);
}

bool NewsHost::AskLogin(const net::LoginRequest& request, std::string& user, std::string& password)
{
    const std::string serverKey = ServerKey(request.server, request.port);
    const bool remember = doc_ && doc_->Config().bRememberPassword;
    if (request.failedBefore) {
        logins_.erase(serverKey);
    } else if (const auto known = KnownLogin(request.server, request.port, request.user, remember)) {
        user = known->user;
        password = known->password;
        return true;
    }

    LoginForm form;
    form.server = FromSjis(request.server) + u':' + QString::number(request.port);
    form.reply = FromSjis(request.serverReply);
    form.user = FromSjis(request.user);
    form.remember = remember;
    if (!dialogs_.AskLogin(window_, form))
        return false;
    user = ToSjis(form.user);
    password = ToSjis(form.password);
    if (user.empty() || !FitsOneLine(user) || !FitsOneLine(password))
        return false;
    logins_[serverKey] = {user, password};

    const QString key = StoreKey(user, request.server, request.port);
    if (form.remember)
        KeepPassword(key, form.password);
    else if (remember && passwords_)
        passwords_->Remove(key);
    // The window's check is the configuration's: a remembered password is
    // found again next run only under the user name it was kept for.
    if (doc_) {
        LumeConfig& config = doc_->Config();
        const bool changed = config.bRememberPassword != form.remember ||
                             (form.remember && config.strUserName != user);
        if (changed) {
            config.bRememberPassword = form.remember;
            if (form.remember)
                config.strUserName = user;
            doc_->SetModifiedFlag();
        }
    }
    return true;
}

bool NewsHost::AskTrustCertificate(const net::CertificateInfo& info)
{
    return dialogs_.AskTrustCertificate(window_, info);
}

bool NewsHost::EditSettings(news::SettingsValues& values)
{
    const LumeConfig before = values.config;
    const auto known =
        KnownLogin(before.strNntpServer, before.nNntpPort, before.strUserName, before.bRememberPassword);
    const std::string shown = known && known->user == before.strUserName ? known->password : std::string();
    values.password = shown;
    const bool accepted = dialogs_.EditSettings(window_, values);
    const std::string typed = std::move(values.password);
    values.password.clear();
    if (!accepted)
        return false;
    ApplyPassword(before, values.config, shown, typed);
    return true;
}

void NewsHost::ApplyPassword(const LumeConfig& before, const LumeConfig& after, const std::string& shown,
                             const std::string& typed)
{
    const bool sameKey = StoreKey(before) == StoreKey(after);
    const bool cleared = typed.empty() && !shown.empty();
    if (passwords_ && before.bRememberPassword && !before.strUserName.empty() &&
        (!sameKey || !after.bRememberPassword || cleared))
        passwords_->Remove(StoreKey(before));
    const std::string serverKey = ServerKey(after.strNntpServer, after.nNntpPort);
    if (typed.empty() || !FitsOneLine(typed)) {
        if (cleared || !sameKey)
            logins_.erase(serverKey);
        return;
    }
    logins_[serverKey] = {after.strUserName, typed};
    if (after.bRememberPassword && !after.strUserName.empty() &&
        (typed != shown || !sameKey || !before.bRememberPassword))
        KeepPassword(StoreKey(after), FromSjis(typed));
}

} // namespace host
