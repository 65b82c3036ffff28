#include "ui/SessionLock.h"

#include "dialogs/Dialogs.h"
#include "news/LumeDoc.h"

#include <QPainter>
#include <QPainterPath>

namespace ui {

namespace {

QIcon LockIcon()
{
    QIcon themed = QIcon::fromTheme(QStringLiteral("security-high"));
    if (!themed.isNull())
        return themed;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 90, 90), 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 1.5, 8, 9), 0, 180 * 16);
    p.drawLine(QPointF(4, 6), QPointF(4, 8));
    p.drawLine(QPointF(12, 6), QPointF(12, 8));
    p.setPen(QPen(QColor(120, 90, 0), 1));
    p.setBrush(QColor(230, 180, 40));
    p.drawRoundedRect(QRectF(2.5, 7.5, 11, 8), 1.5, 1.5);
    return QIcon(pixmap);
}

// Certificate texts are the TLS library's UTF-8.
QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

} // namespace

SessionLock::SessionLock(dialogs::Dialogs& dialogs, QWidget* parent) : QToolButton(parent), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("lock"));
    setAutoRaise(true);
    setIcon(LockIcon());
    setIconSize(QSize(16, 16));
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(this, &QToolButton::clicked, this, [this] {
        if (shown_)
            dialogs_.ShowCertificate(window(), certificate_);
    });
}

void SessionLock::Follow(news::CLumeDoc& doc)
{
    net::CNntp& nntp = doc.Nntp();
    const bool secure = doc.IsConnected() && nntp.Tcp().IsSecure();
    // Not while the session still starts: the certificate may yet be refused.
    if (secure == shown_ || (secure && doc.IsBusy()))
        return;
    shown_ = secure;
    certificate_ = {};
    if (secure) {
        const int port = doc.Config().UsedNntpPort();
        certificate_ = nntp.Tcp().PeerCertificate(port);
        certificate_.host = doc.Config().strNntpServer;
        certificate_.port = port;
        const bool startTls = doc.Config().nSecurity == static_cast<int>(net::Security::StartTls);
        setToolTip(QStringLiteral("%1 で暗号化しています\n発行先: %2")
                       .arg(startTls ? QStringLiteral("STARTTLS") : QStringLiteral("SSL/TLS"),
                            Utf8(certificate_.subject)));
    } else {
        setToolTip(QString());
    }
    setVisible(secure);
}

} // namespace ui
