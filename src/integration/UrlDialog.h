#pragma once
// Dialog 113: asks for the URL to open when the selection holds none, and the
// jump-to-URL step that uses it.

#include <QDialog>
#include <QString>

#include "integration/BrowserHandoff.h"

#include <functional>
#include <optional>

class QLineEdit;

namespace integration {

class CUrlDialog : public QDialog {
    Q_OBJECT
public:
    explicit CUrlDialog(const QString& initial, QWidget* parent = nullptr);
    // The URL as accepted: "http://" before "www.", "ftp://" before "ftp.".
    QString Url() const { return url_; }
    QLineEdit* Edit() const { return edit_; }

    void accept() override;

private:
    QLineEdit* edit_;
    QString url_;
};

// The prefixes are matched case-sensitively: "WWW." stays as typed.
QString CompleteUrl(const QString& typed);

// Runs dialog 113 pre-filled with initial: the accepted URL or nothing.
std::optional<QString> AskUrl(QWidget* parent, const QString& initial);
using UrlAsker = std::function<std::optional<QString>(QWidget* parent, const QString& initial)>;

// The selection when it holds "://", else what ask gives (pre-filled with
// the selection); nothing when it is cancelled.
std::optional<QString> UrlToOpen(QWidget* parent, const QString& selection, const UrlAsker& ask);
// UrlToOpen, then the hand-off to the browser registry names; false when
// cancelled or failed.
bool JumpToUrl(QWidget* mainWindow, const QString& selection, const UrlAsker& ask, platform::Registry& registry,
               const BrowserMessageHandler& report);

} // namespace integration
