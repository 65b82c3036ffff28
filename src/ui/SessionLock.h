#pragma once
// The status bar's lock: shown while the session is encrypted, with the kind
// of TLS and the certificate's subject in its tool tip; a click shows the
// certificate.

#include "net/ServerSecurity.h"

#include <QToolButton>

namespace news { class CLumeDoc; }
namespace dialogs { class Dialogs; }

namespace ui {

class SessionLock : public QToolButton {
public:
    SessionLock(dialogs::Dialogs& dialogs, QWidget* parent);

    // Follows the document's connection; cheap when nothing changed.
    void Follow(news::CLumeDoc& doc);
    bool Shown() const { return shown_; }
    const net::CertificateInfo& Certificate() const { return certificate_; }

private:
    dialogs::Dialogs& dialogs_;
    net::CertificateInfo certificate_;
    bool shown_ = false;
};

} // namespace ui
