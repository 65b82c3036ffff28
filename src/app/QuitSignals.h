#pragma once
// The signals that end a desktop program from outside (a logout, a shutdown,
// a closed terminal, Ctrl+C) arrive as a Qt signal on the GUI thread, so the
// program can leave through its own steps instead of dying in the middle.

#include <QObject>

class QSocketNotifier;

namespace app {

class QuitSignals : public QObject {
    Q_OBJECT
public:
    // Catches SIGTERM, SIGHUP and SIGINT for the life of the object; one at a time.
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

signals:
    void Received(int signalNumber);

private:
    void Drain();

    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace app
