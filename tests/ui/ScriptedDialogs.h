#pragma once
// The dialogs and the desktop as a test scripts them. Messages are recorded
// and answered from answers, then answer. A dialog without a script answers
// as a user who cancels it would (the read limit: No).

#include "message/Attachment.h"
#include "dialogs/Dialogs.h"
#include "news/Nzb.h"

#include <QDialog>
#include <QStringList>

#include <deque>
#include <functional>

class ScriptedDialogs : public dialogs::Dialogs {
public:
    int Message(QWidget*, const QString& text, news::MessageIcon icon, bool withCancel) override
    {
        messages << text;
        icons.push_back(icon);
        if (onMessage)
            return onMessage(text, icon, withCancel);
        if (answers.empty())
            return answer;
        const int next = answers.front();
        answers.pop_front();
        return next;
    }
    QString AskConfigFile(QWidget*, bool save, const QString&) override
    {
        ++(save ? saveAsked : openAsked);
        return chosenFile;
    }
    QString AskSaveFile(QWidget*, const QString& suggested) override
    {
        return saveFile ? saveFile(suggested) : QString();
    }
    QString AskOpenFile(QWidget*, const QString&, const QString&) override { return openFile; }
    QString AskFolder(QWidget*, const QString&, const QString&) override { return ++foldersAsked, folder; }
    void ShowNzbSummary(QWidget*, const news::NzbSummary& summary, const QString&) override
    {
        nzbSummaries.push_back(summary);
    }
    std::optional<QFont> AskFont(QWidget*, const QFont& current, const QString&, bool) override
    {
        return font ? font(current) : std::nullopt;
    }
    int AskSubscribe(QWidget*, bool unsubscribe, const QString& path, int& choice) override
    {
        return subscribe ? subscribe(unsubscribe, path, choice) : int(QDialog::Rejected);
    }
    int AskGroupFind(QWidget*, QString& text) override { return groupFind ? groupFind(text) : 0; }
    int AskMarkRead(QWidget*, int& range) override { return markRead ? markRead(range) : news::IDCANCEL; }
    int AskArticleSearch(QWidget*, dialogs::ArticleSearchDialog::Request& request) override
    {
        return search ? search(request) : news::IDCANCEL;
    }
    int AskReadLimit(QWidget*, int& count) override { return readLimit ? readLimit(count) : news::IDNO; }
    int AskReloadRange(QWidget*, int& start, int& end) override
    {
        return reloadRange ? reloadRange(start, end) : news::IDCANCEL;
    }
    std::optional<QString> AskUrl(QWidget*, const QString& initial) override
    {
        return url ? url(initial) : std::nullopt;
    }
    UncarriedChoice AskUncarried(QWidget*, const QString& character) override
    {
        uncarriedAsked << character;
        return uncarried;
    }
    QAction* ExecMenu(QMenu& menu, const QPoint& globalPos) override
    {
        return contextMenu ? contextMenu(menu, globalPos) : nullptr;
    }
    bool EditSettings(QWidget*, news::SettingsValues& values) override
    {
        ++settingsAsked;
        return settings && settings(values);
    }
    bool AskLogin(QWidget*, dialogs::LoginForm& form) override
    {
        logins.push_back(form);
        return login && login(form);
    }
    bool AskTrustCertificate(QWidget*, const net::CertificateInfo& info) override
    {
        ++trustAsked;
        return trust && trust(info);
    }
    std::vector<net::CertificateInfo> certificatesShown;
    void ShowCertificate(QWidget*, const net::CertificateInfo& info) override { certificatesShown.push_back(info); }
    std::optional<QColor> AskColour(QWidget*, const QColor& current) override
    {
        return colour ? colour(current) : std::nullopt;
    }
    QString AskProgram(QWidget*, const QString&) override { return program; }
    void ShowHelp(QWidget*, const QString& page) override { helpPages << page; }
    bool AskPageSetup(QWidget*) override { return ++pageSetups, false; }
    bool AskPrinter(QWidget*, QPrinter&) override { return false; }
    message::Desktop& Desktop() override { return desktop; }
    int AskScoreExpiry(QWidget*, const QString& what, int& days) override
    {
        scoreRulesAsked << what;
        return scoreExpiry ? scoreExpiry(days) : news::IDCANCEL;
    }
    void EditScoreRules(QWidget*, news::ScoreBook& book, const std::string& group,
                        const std::vector<const news::CArticle*>& articles) override
    {
        if (scoreEditor)
            scoreEditor(book, group, articles);
    }

    QStringList messages;
    std::vector<news::MessageIcon> icons;
    std::deque<int> answers;
    int answer = news::IDOK;
    std::function<int(const QString& text, news::MessageIcon icon, bool withCancel)> onMessage;
    QString chosenFile;
    int openAsked = 0;
    int saveAsked = 0;
    std::function<QString(const QString& suggested)> saveFile;
    QString openFile, folder; // "" answers as Cancel
    int foldersAsked = 0;
    std::vector<news::NzbSummary> nzbSummaries;
    std::function<std::optional<QFont>(const QFont& current)> font;
    std::function<int(bool unsubscribe, const QString& path, int& choice)> subscribe;
    std::function<int(QString& text)> groupFind;
    std::function<int(int& range)> markRead;
    std::function<int(dialogs::ArticleSearchDialog::Request& request)> search;
    std::function<int(int& count)> readLimit;
    std::function<int(int& start, int& end)> reloadRange;
    std::function<std::optional<QString>(const QString& initial)> url;
    std::function<QAction*(QMenu& menu, const QPoint& globalPos)> contextMenu;
    UncarriedChoice uncarried = UncarriedChoice::Cancel;
    QStringList uncarriedAsked;
    std::function<bool(news::SettingsValues& values)> settings;
    int settingsAsked = 0;
    std::function<bool(dialogs::LoginForm& form)> login;
    std::vector<dialogs::LoginForm> logins; // as each login window was opened
    std::function<bool(const net::CertificateInfo& info)> trust;
    int trustAsked = 0;
    std::function<std::optional<QColor>(const QColor& current)> colour;
    QString program;
    QStringList helpPages;
    int pageSetups = 0;
    QStringList scoreRulesAsked;
    std::function<int(int& days)> scoreExpiry;
    std::function<void(news::ScoreBook&, const std::string&, const std::vector<const news::CArticle*>&)> scoreEditor;
    // Records what it is asked to open; opens nothing unless told it worked.
    struct Recorder : message::Desktop {
        bool OpenFile(const std::filesystem::path& f, bool print, const std::filesystem::path&) override
        {
            opened.push_back(f);
            printed = print;
            return ok;
        }
        std::vector<std::filesystem::path> opened;
        bool printed = false;
        bool ok = false;
    } desktop;
};
