#pragma once
// "サーバ証明書の確認": a server's certificate was not accepted. The window
// says why and what the certificate is; trusting it is the user's choice,
// cancel the default. Read-only, it shows the certificate of the running
// session (the status bar's lock) with only a close button.

#include "net/ServerSecurity.h"

#include <QDialog>
#include <QString>

namespace dialogs {

class CertificateDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Ask, Show };
    explicit CertificateDialog(const net::CertificateInfo& info, QWidget* parent = nullptr, Mode mode = Mode::Ask);

    // Why the connection stopped, in the window's words.
    static QString Reason(const net::CertificateInfo& info);
    // True when the user trusts this certificate for this server.
    static bool Ask(QWidget* parent, const net::CertificateInfo& info);
    static void Show(QWidget* parent, const net::CertificateInfo& info);
};

} // namespace dialogs
