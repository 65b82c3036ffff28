#include "dialogs/ConnectDialog.h"

#include "platform/WinsockError.h"
#include "widgets/SjisText.h"
#include "widgets/WindowLock.h"

#include <QCloseEvent>
#include <QHostInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSocketNotifier>
#include <QVBoxLayout>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace widgets;

namespace dialogs {

CConnectDialog::CConnectDialog(QWidget* parent, int showDelaySeconds)
    : QDialog(parent), parent_(parent), showDelay_(showDelaySeconds)
{
    setObjectName(QStringLiteral("dlg132"));
    setWindowTitle(QStringLiteral("接続中"));
    setFont(JapaneseFont());
    setModal(false);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("ctl1000"));
    status_->setMinimumWidth(360);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ctl1"));
    ok->hide();
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("ctl2"));
    connect(cancel, &QPushButton::clicked, this, &CConnectDialog::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);

    LockWindow(parent_);
    setEnabled(true);

    seconds_ = 0;
    connect(&timer_, &QTimer::timeout, this, &CConnectDialog::Tick);
    if (showDelay_ <= 0)
        show();
    timer_.start(1000);
}

CConnectDialog::~CConnectDialog()
{
    timer_.stop();
    if (lookupId_ >= 0)
        QHostInfo::abortHostLookup(lookupId_);
    // A socket nobody took (cancel, failure) is ours to close.
    CloseSocket();
    UnlockWindow(parent_);
}

QString CConnectDialog::StatusText() const
{
    return status_->text();
}

void CConnectDialog::SetStatus(const QString& text)
{
    status_->setText(text);
}

bool CConnectDialog::Start(const std::string& host, int port, bool asynchronous)
{
    CloseSocket();
    lastError_ = 0;
    attempt_ = 1;
    cancelled_ = false;
    notified_ = false;
    lookupPending_ = false;
    host_ = host;
    port_ = port;
    asynchronous_ = asynchronous;
    SetStatus(QStringLiteral("Connecting to %1.").arg(FromSjis(host)));
    return Connect();
}

bool CConnectDialog::Connect()
{
    // A retry may still be queued after Cancel.
    if (cancelled_)
        return false;
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket_ < 0) {
        lastError_ = platform::WinsockFromErrno(errno);
        return false;
    }
    address_ = sockaddr_in{};
    address_.sin_family = AF_INET;
    address_.sin_port = htons(quint16(port_));
    in_addr dotted{};
    if (::inet_pton(AF_INET, host_.c_str(), &dotted) == 1) {
        address_.sin_addr = dotted;
        TryConnect();
        return true;
    }
    // The look-up answers on the event loop; both modes use it so that the
    // window stays responsive.
    QPointer<CConnectDialog> self(this);
    lookupPending_ = true;
    lookupId_ = QHostInfo::lookupHost(FromSjis(host_), this, [self](const QHostInfo& info) {
        if (!self)
            return;
        int error = 0;
        quint32 address = 0;
        if (info.error() == QHostInfo::HostNotFound)
            error = platform::WSAHOST_NOT_FOUND;
        else if (info.error() != QHostInfo::NoError)
            error = platform::WSATRY_AGAIN; // mostly a name server that did not answer
        else {
            error = platform::WSANO_DATA;
            for (const QHostAddress& a : info.addresses()) {
                bool ok = false;
                const quint32 v4 = a.toIPv4Address(&ok);
                if (ok) {
                    address = v4;
                    error = 0;
                    break;
                }
            }
        }
        self->LookupDone(info.lookupId(), error, address);
    });
    return true;
}

void CConnectDialog::LookupDone(int lookupId, int error, quint32 address)
{
    if (lookupId != lookupId_)
        return;
    lookupId_ = -1;
    if (cancelled_)
        return;
    if (error) {
        CloseSocket();
        lookupPending_ = false;
        Fail(error);
        return;
    }
    lookupPending_ = false;
    address_.sin_addr.s_addr = htonl(address);
    TryConnect();
}

void CConnectDialog::TryConnect()
{
    if (cancelled_) {
        CloseSocket();
        return;
    }
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address_), sizeof address_) == 0) {
        ConnectDone();
        return;
    }
    if (errno != EINPROGRESS) {
        const int error = platform::WinsockFromErrno(errno);
        CloseSocket();
        Fail(error);
        return;
    }
    notifier_ = new QSocketNotifier(socket_, QSocketNotifier::Write, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
        int soError = 0;
        socklen_t length = sizeof soError;
        if (::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &soError, &length) != 0)
            soError = errno;
        if (soError == 0) {
            ConnectDone();
        } else {
            CloseSocket();
            Fail(platform::WinsockFromErrno(soError));
        }
    });
}

void CConnectDialog::ConnectDone()
{
    if (cancelled_) {
        CloseSocket();
        return;
    }
    // Hand the socket over in the ordinary (blocking) mode; the protocol code
    // chooses its own.
    const int flags = ::fcntl(socket_, F_GETFL);
    if (flags >= 0)
        ::fcntl(socket_, F_SETFL, flags & ~O_NONBLOCK);
    SetStatus(QStringLiteral("Connect success."));
    Notify(true);
}

void CConnectDialog::Fail(int error)
{
    lastError_ = error;
    SetStatus(QStringLiteral("[%1]Connect fail:code=[%2]:%3")
                  .arg(attempt_++)
                  .arg(error)
                  .arg(FromSjis(platform::WinsockErrorText(error))));
    RetryLater();
}

void CConnectDialog::RetryLater()
{
    QPointer<CConnectDialog> self(this);
    QTimer::singleShot(100, this, [self] {
        if (self && !self->cancelled_)
            self->Connect();
    });
}

void CConnectDialog::Tick()
{
    const int taken = seconds_++;
    if (taken >= showDelay_ && !isVisible())
        show();
    SetStatus(StatusText() + u'.');
}

void CConnectDialog::Cancel()
{
    if (cancelled_)
        return;
    SetStatus(QStringLiteral("Connect cancel."));
    cancelled_ = true;
    if (lookupId_ >= 0) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
    lookupPending_ = false;
    CloseSocket();
    Notify(false);
}

void CConnectDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
    Cancel();
}

void CConnectDialog::CloseSocket()
{
    if (notifier_) {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

int CConnectDialog::TakeSocket()
{
    if (notifier_)
        return -1;
    const int fd = socket_;
    socket_ = -1;
    return fd;
}

void CConnectDialog::Notify(bool connected)
{
    if (notified_)
        return;
    notified_ = true;
    // Delivered after the current handler returns, as a posted message is.
    // A Cancel pressed before delivery turns a success into a cancel: the
    // socket is closed by then and must not be attached.
    QMetaObject::invokeMethod(this, [this, connected] { emit Finished(connected && !cancelled_); },
                              Qt::QueuedConnection);
}

} // namespace dialogs
