#pragma once
// One Lumetra per user: a second start hands its file to the running one over
// a local socket and ends.

#include <QObject>
#include <QString>

class QLocalServer;

namespace app {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The hand-off socket's name, per user, session and display.
    static QString DefaultName();
    // true when a running instance took path ("" just raises it).
    bool HandOff(const QString& path, int timeoutMs = 2000) const;
    // Starts answering hand-offs; replaces a stale socket of a crashed run.
    bool Listen();

signals:
    void OpenRequested(const QString& path);

private:
    QString name_;
    QLocalServer* server_ = nullptr;
};

} // namespace app
