#pragma once
// The post window: a form of header fields above the body editor, the send
// command and the signature commands. At most one exists; its owner learns
// of its closing through the closed handler.

#include "news/DocumentHost.h"
#include "news/PostArticle.h"
#include "news/Signatures.h"

#include <QMainWindow>

#include <functional>
#include <map>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace platform { class Registry; }
namespace dialogs { class Dialogs; }

namespace compose {

class CNewsPostWnd : public QMainWindow {
    Q_OBJECT
public:
    // settings are copied: the document may change or go while this window lives.
    CNewsPostWnd(const news::PostParams& settings, platform::Registry& registry, dialogs::Dialogs& dialogs,
                 QWidget* parent = nullptr);
    ~CNewsPostWnd() override;

    // Starts a follow-up: the form and the body (all Shift_JIS).
    void SetFollowUpFields(const std::string& distribution, const std::string& subject, const std::string& newsgroups,
                           const std::string& followupTo, const std::string& references, const std::string& body);
    // Starts the article replacing the one of header and body (Shift_JIS).
    void SetSupersedeFields(const std::string& header, const std::string& body);
    void SetClosedHandler(std::function<void()> handler) { closed_ = std::move(handler); }
    // Where Send takes the Cancel-Lock secret of the From address (none: no lock).
    using SecretSource = std::function<std::string(const std::string& address)>;
    void SetCancelSecretSource(SecretSource source) { cancelSecret_ = std::move(source); }

    // What Send would post now (Shift_JIS; soft line breaks as line ends).
    news::PostForm Form() const;
    // The send command: asks, posts, closes on success. True when posted.
    bool Send();
    bool IsPosting() const { return posting_; }
    // Asks about unsaved text as closing would; false keeps the window.
    bool QueryClose();
    // Closes without asking (the application is ending).
    void Destroy();
    bool IsModified() const;

    bool OnCommand(unsigned id);
    void UpdateCommandStates();
    QPlainTextEdit* Body() const;
    // The column indicator's value for the body editor's width and font.
    int Columns() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildForm();
    void BuildMenus();
    void RestoreLayout();
    void SaveLayout();
    void SetWordWrap(bool on);
    void InsertFile();
    void InsertText(const std::string& sjis);
    void UpdateColumns();
    int Ask(unsigned id);
    void ShowFailure(const news::PostOutcome& outcome);
    bool UpdateState(unsigned id, bool& checked) const;

    news::PostParams settings_;
    platform::Registry& registry_;
    dialogs::Dialogs& dialogs_;
    news::CSignatureStore signatures_;
    std::string references_;
    std::string supersedes_;
    // The id of an article whose answer was lost: sent again with it, the
    // server refuses a second copy.
    std::string unansweredId_;
    SecretSource cancelSecret_;
    bool wordWrap_ = true;
    bool autoInsert_ = false;
    bool posting_ = false;
    bool noQuestion_ = false;
    std::function<void()> closed_;

    QLineEdit* distribution_ = nullptr;
    QLineEdit* newsgroups_ = nullptr;
    QLineEdit* subject_ = nullptr;
    QLineEdit* replyTo_ = nullptr;
    QLineEdit* followupTo_ = nullptr;
    QLineEdit* attach_ = nullptr;
    QComboBox* encoding_ = nullptr;
    QPlainTextEdit* wrapBody_ = nullptr;
    QPlainTextEdit* plainBody_ = nullptr;
    QLabel* columns_ = nullptr;
    std::map<unsigned, QAction*> actions_;
};

// Dialog 103 behind the main window's signature command: edits the three
// signatures of store; an emptied one is removed. True on OK.
bool EditSignatures(QWidget* parent, news::CSignatureStore& store);

} // namespace compose
