#pragma once
// What the windows ask the user and the desktop: message boxes, the file,
// font and URL dialogs, the panes' own dialogs, the login and certificate
// windows, context menus, and opening files with other programs. The frame,
// the panes and the document's host are given one; QtDialogs shows the real
// windows, tests give a scripted one.

#include "news/DocumentHost.h"
#include "dialogs/ArticleDialogs.h"
#include "dialogs/LoginDialog.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QPageLayout;
class QPrinter;
class QPoint;
class QWidget;

namespace message { class Desktop; }
namespace news { struct CArticle; class ScoreBook; struct NzbSummary; }

namespace dialogs {

class HelpWindow;

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box with the program's title. A question offers Yes, No and
    // Cancel when withCancel, else Yes and No. Returns IDOK, IDYES, IDNO or
    // IDCANCEL.
    virtual int Message(QWidget* parent, const QString& text, news::MessageIcon icon, bool withCancel = false) = 0;
    // A configuration file (*.lum) to open, or to save as (pre-filled with
    // current); "" when cancelled.
    virtual QString AskConfigFile(QWidget* parent, bool save, const QString& current) = 0;
    // Any file to save to, pre-filled with suggested; "" when cancelled.
    virtual QString AskSaveFile(QWidget* parent, const QString& suggested) = 0;
    // A file to read, "" when cancelled (filter in Qt's form).
    virtual QString AskOpenFile(QWidget* parent, const QString& title, const QString& filter);
    // An existing folder, starting at start; "" when cancelled.
    virtual QString AskFolder(QWidget* parent, const QString& title, const QString& start);
    // None when cancelled. qtOwn asks for Qt's dialog rather than the desktop's.
    virtual std::optional<QFont> AskFont(QWidget* parent, const QFont& current, const QString& title, bool qtOwn) = 0;
    // Dialogs 105 and 112: QDialog::Accepted, GroupSubscribeDialog::kAllFollowing
    // or QDialog::Rejected, with choice set.
    virtual int AskSubscribe(QWidget* parent, bool unsubscribe, const QString& path, int& choice) = 0;
    // Dialog 139: GroupFindDialog::kUp or kDown with text set, or 0.
    virtual int AskGroupFind(QWidget* parent, QString& text) = 0;
    // Dialog 115: IDOK with range set, or IDCANCEL.
    virtual int AskMarkRead(QWidget* parent, int& range) = 0;
    // Dialog 133: IDOK with request filled, or IDCANCEL.
    virtual int AskArticleSearch(QWidget* parent, ArticleSearchDialog::Request& request) = 0;
    // Dialog 135: IDYES with count set, IDNO or IDCANCEL.
    virtual int AskReadLimit(QWidget* parent, int& count) = 0;
    // Dialog 122: IDOK with start and end set, or IDCANCEL.
    virtual int AskReloadRange(QWidget* parent, int& start, int& end) = 0;
    // Dialog 113, pre-filled with initial: the accepted URL or none.
    virtual std::optional<QString> AskUrl(QWidget* parent, const QString& initial) = 0;
    // The settings sheet over values; true after OK.
    virtual bool EditSettings(QWidget* parent, news::SettingsValues& values) = 0;
    // The login window over form; true after OK with form filled.
    virtual bool AskLogin(QWidget* parent, LoginForm& form) = 0;
    // The window over a certificate that failed: true when the user trusts it.
    virtual bool AskTrustCertificate(QWidget* parent, const net::CertificateInfo& info) = 0;
    // The certificate of the running session, read-only.
    virtual void ShowCertificate(QWidget* parent, const net::CertificateInfo& info) = 0;
    // The colour chooser preset to current; none when cancelled.
    virtual std::optional<QColor> AskColour(QWidget* parent, const QColor& current) = 0;
    // A program to run (an existing file), pre-filled with current; "" when cancelled.
    virtual QString AskProgram(QWidget* parent, const QString& current) = 0;
    // The help window at page (a file name of res/help, "" for the contents).
    virtual void ShowHelp(QWidget* from, const QString& page) = 0;
    // Page setup, kept for the rest of the session; false when cancelled.
    virtual bool AskPageSetup(QWidget* parent) = 0;
    // The print dialog for printer, preset with the session's page setup.
    virtual bool AskPrinter(QWidget* parent, QPrinter& printer) = 0;
    // The text to post holds character, which the chosen code cannot carry:
    // send as UTF-8, replace it (and its like) with GETA MARK, or cancel.
    enum class UncarriedChoice { Utf8, Replace, Cancel };
    virtual UncarriedChoice AskUncarried(QWidget* parent, const QString& character) = 0;
    // Shows menu at globalPos and returns the chosen action (null: none).
    virtual QAction* ExecMenu(QMenu& menu, const QPoint& globalPos) = 0;
    // Opens or prints files with the desktop's programs.
    virtual message::Desktop& Desktop() = 0;
    // How many days a new score rule lasts (0: for ever), asked about the
    // rule described by what: IDOK with days set, or IDCANCEL.
    virtual int AskScoreExpiry(QWidget* parent, const QString& what, int& days);
    // The rule editor over the rules of group; articles is the open list, for testing a rule.
    virtual void EditScoreRules(QWidget* parent, news::ScoreBook& book, const std::string& group,
                                const std::vector<const news::CArticle*>& articles);
    // What an NZB download into folder saved and what it lacks (modal).
    virtual void ShowNzbSummary(QWidget* parent, const news::NzbSummary& summary, const QString& folder);
};

class QtDialogs : public Dialogs {
public:
    int Message(QWidget* parent, const QString& text, news::MessageIcon icon, bool withCancel = false) override;
    QString AskConfigFile(QWidget* parent, bool save, const QString& current) override;
    QString AskSaveFile(QWidget* parent, const QString& suggested) override;
    std::optional<QFont> AskFont(QWidget* parent, const QFont& current, const QString& title, bool qtOwn) override;
    int AskSubscribe(QWidget* parent, bool unsubscribe, const QString& path, int& choice) override;
    int AskGroupFind(QWidget* parent, QString& text) override;
    int AskMarkRead(QWidget* parent, int& range) override;
    int AskArticleSearch(QWidget* parent, ArticleSearchDialog::Request& request) override;
    int AskReadLimit(QWidget* parent, int& count) override;
    int AskReloadRange(QWidget* parent, int& start, int& end) override;
    std::optional<QString> AskUrl(QWidget* parent, const QString& initial) override;
    bool EditSettings(QWidget* parent, news::SettingsValues& values) override;
    bool AskLogin(QWidget* parent, LoginForm& form) override;
    bool AskTrustCertificate(QWidget* parent, const net::CertificateInfo& info) override;
    void ShowCertificate(QWidget* parent, const net::CertificateInfo& info) override;
    std::optional<QColor> AskColour(QWidget* parent, const QColor& current) override;
    QString AskProgram(QWidget* parent, const QString& current) override;
    void ShowHelp(QWidget* from, const QString& page) override;
    bool AskPageSetup(QWidget* parent) override;
    bool AskPrinter(QWidget* parent, QPrinter& printer) override;
    UncarriedChoice AskUncarried(QWidget* parent, const QString& character) override;
    QAction* ExecMenu(QMenu& menu, const QPoint& globalPos) override;
    message::Desktop& Desktop() override;
    int AskScoreExpiry(QWidget* parent, const QString& what, int& days) override;
    void EditScoreRules(QWidget* parent, news::ScoreBook& book, const std::string& group,
                        const std::vector<const news::CArticle*>& articles) override;
    QtDialogs();
    ~QtDialogs() override;

private:
    std::unique_ptr<HelpWindow> help_;
    std::unique_ptr<QPageLayout> pageLayout_;
};

// The program's title, as windows and message boxes show it.
QString AppTitle();

} // namespace dialogs
