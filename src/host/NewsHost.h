#pragma once
// What the news document asks of the windows: messages, the progress window,
// the connect step, logins, the shown article and the post window.

#include "news/DocumentHost.h"
#include "news/LumeDoc.h"

#include <QString>
#include <functional>
#include <map>
#include <optional>

class QWidget;

namespace dialogs { class Dialogs; class ProgressCount; }

namespace host {

class PasswordStore;

class NewsHost : public news::DocumentHost {
public:
    // Login passwords are kept for this run, and in passwords (null: no
    // store) when the configuration says to remember them.
    explicit NewsHost(dialogs::Dialogs& dialogs, PasswordStore* passwords = nullptr) : dialogs_(dialogs), passwords_(passwords)
    {
    }
    // The document whose configuration says whom to log in as.
    void SetDocument(news::CLumeDoc* doc) { doc_ = doc; }
    // The window the messages and progress windows belong to (the frame),
    // and the count of that window's progress windows (may be null).
    void SetWindow(QWidget* window, dialogs::ProgressCount* progressWindows = nullptr)
    {
        window_ = window;
        progressWindows_ = progressWindows;
    }
    QWidget* Window() const { return window_; }
    int ShowMessage(unsigned id, news::MessageIcon icon, const std::vector<std::string>& args) override;
    int ShowMessageText(const std::string& text, news::MessageIcon icon) override;
    void Beep() override;
    int AskReadLimit(int& count) override;
    int AskReloadRange(int& start, int& end) override;
    bool EditSettings(news::SettingsValues& values) override;
    bool AskLogin(const net::LoginRequest& request, std::string& user, std::string& password) override;
    bool AskTrustCertificate(const net::CertificateInfo& info) override;
    std::unique_ptr<news::DocumentProgress> MakeProgress(int delayMs) override;
    std::string CancelSecret(const std::string& address) override;
    void PumpEvents() override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

    // The article list pane's connect step plugs in here.
    using ConnectStep = std::function<int(const std::string& server, int port)>;
    void SetConnectStep(ConnectStep step) { connectStep_ = std::move(step); }
    int ConnectServer(const std::string& server, int port) override;
    // Pane commands the document passes on go to the pane set here.
    using Forwarder = std::function<void(Pane pane, unsigned id)>;
    void SetForwarder(Forwarder forwarder) { forwarder_ = std::move(forwarder); }
    void ForwardCommand(Pane pane, unsigned id) override
    {
        if (forwarder_)
            forwarder_(pane, id);
    }

    // The body pane answers for the article it shows.
    using ShownArticle = std::function<bool(std::string& header, std::string& displayed)>;
    void SetShownArticle(ShownArticle source, std::function<bool()> shows = {})
    {
        shownArticle_ = std::move(source);
        showsArticle_ = std::move(shows);
    }
    bool GetShownArticle(std::string& header, std::string& displayed) override
    {
        return shownArticle_ && shownArticle_(header, displayed);
    }
    bool HasShownArticle() override { return showsArticle_ && showsArticle_(); }
    bool PutClipboardText(const std::string& text) override;
    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override;

    // The post window lives above ui: the application plugs it in here.
    using PostWindowOpener = std::function<news::PostWindowResult(const news::PostParams&, const news::FollowUpSource*)>;
    void SetPostWindow(PostWindowOpener open, std::function<bool()> activate)
    {
        openPost_ = std::move(open);
        activatePost_ = std::move(activate);
    }
    bool ActivatePostWindow() override { return activatePost_ && activatePost_(); }
    news::PostWindowResult OpenPostWindow(const news::PostParams& params, const news::FollowUpSource* source) override
    {
        return openPost_ ? openPost_(params, source) : news::PostWindowResult::CreateFailed;
    }

private:
    struct Login {
        std::string user;
        std::string password;
    };
    // This run's login for server, else the store's when remember is on.
    std::optional<Login> KnownLogin(const std::string& server, int port, const std::string& user, bool remember);
    // Into the store; says once per run when it cannot keep it.
    void KeepPassword(const QString& key, const QString& password);
    // After the settings sheet: what the store and this run keep follows it.
    void ApplyPassword(const news::LumeConfig& before, const news::LumeConfig& after, const std::string& shown,
                       const std::string& typed);

    dialogs::Dialogs& dialogs_;
    PasswordStore* passwords_;
    std::map<std::string, std::string> cancelSecrets_;
    news::CLumeDoc* doc_ = nullptr;
    std::map<std::string, Login> logins_; // this run's, by "server:port"
    bool storeWarned_ = false;
    QWidget* window_ = nullptr;
    dialogs::ProgressCount* progressWindows_ = nullptr;
    PostWindowOpener openPost_;
    std::function<bool()> activatePost_;
    ConnectStep connectStep_;
    Forwarder forwarder_;
    ShownArticle shownArticle_;
    std::function<bool()> showsArticle_;
};

} // namespace host
