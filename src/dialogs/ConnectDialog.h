#pragma once
// "接続中": resolves the server name without blocking, connects, and tries
// again 100 ms after every failure until it succeeds or the user cancels.
// Hidden for its first seconds so that quick connects show nothing. The end is
// reported once through Finished(), queued like a posted message; the
// receiver takes the socket (TakeSocket) and deletes the dialog.

#include <QDialog>
#include <QTimer>

#include <netinet/in.h>
#include <string>

class QLabel;
class QSocketNotifier;

namespace dialogs {

class CConnectDialog : public QDialog {
    Q_OBJECT
public:
    // Made hidden; parent is disabled while the dialog exists.
    explicit CConnectDialog(QWidget* parent, int showDelaySeconds = 3);
    ~CConnectDialog() override;

    // host is Shift_JIS (a name or a dotted address). false: nothing started.
    bool Start(const std::string& host, int port, bool asynchronous = true);
    // The connected socket, handed over once; -1 when there is none.
    int TakeSocket();
    int Socket() const { return socket_; }

    QString StatusText() const;
    int LastError() const { return lastError_; }
    int Attempt() const { return attempt_; }
    bool IsCancelled() const { return cancelled_; }

public slots:
    void Cancel();

signals:
    // connected: true after a successful connect, false after Cancel.
    void Finished(bool connected);

protected:
    void reject() override { Cancel(); }
    void closeEvent(QCloseEvent* event) override;

private:
    bool Connect();
    void LookupDone(int lookupId, int error, quint32 address);
    void TryConnect();
    void ConnectDone();
    void Fail(int error);
    void RetryLater();
    void Tick();
    void SetStatus(const QString& text);
    void CloseSocket();
    void Notify(bool connected);

    QLabel* status_ = nullptr;
    QTimer timer_;
    QSocketNotifier* notifier_ = nullptr;
    QWidget* parent_ = nullptr;
    int socket_ = -1;
    sockaddr_in address_{};
    std::string host_;
    int port_ = 0;
    bool asynchronous_ = true;
    int lookupId_ = -1;
    bool lookupPending_ = false;
    int lastError_ = 0;
    int attempt_ = 1;
    bool cancelled_ = false;
    bool notified_ = false;
    int seconds_ = 0;
    int showDelay_ = 3;
};

} // namespace dialogs
