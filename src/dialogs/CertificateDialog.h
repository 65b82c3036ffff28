#pragma once
// "サーバ証明書の確認": a server's certificate was not accepted. The window
// says why and what the certificate is; trusting it is the user's choice,
// cancel the default.

#include "net/ServerSecurity.h"

#include <QDialog>
#include <QString>

namespace dialogs {

class CertificateDialog : public QDialog {
    Q_OBJECT
public:
    explicit CertificateDialog(const net::CertificateInfo& info, QWidget* parent = nullptr);

    // Why the connection stopped, in the window's words.
    static QString Reason(const net::CertificateInfo& info);
    // True when the user trusts this certificate for this server.
    static bool Ask(QWidget* parent, const net::CertificateInfo& info);
};

} // namespace dialogs
