#pragma once
// Dialog 113: asks for the URL to open when the selection holds none, and the
// jump-to-URL step that uses it.

#include <QDialog>
#include <QString>

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

// The selection when it holds "://", else what the user gives dialog 113
// (pre-filled with the selection); nothing when the dialog is cancelled.
std::optional<QString> UrlToOpen(QWidget* parent, const QString& selection);
// UrlToOpen, then the hand-off to the browser; false when cancelled or failed.
bool JumpToUrl(QWidget* mainWindow, const QString& selection);

// Stands in for showing dialog 113 (tests): the accepted URL or nothing.
using UrlDialogHook = std::function<std::optional<QString>(CUrlDialog& dialog)>;
void SetUrlDialogHook(UrlDialogHook hook);

} // namespace integration
