#pragma once
// The window of a long server operation: a title, one line of text, a bar and
// Cancel. It appears only after its delay; while any such window is open the
// main window is disabled.

#include "news/DocumentHost.h"

#include <string>
#include <vector>

#include <QDialog>
#include <QPointer>
#include <QTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace dialogs {

// How many progress windows are open over one window, kept by that window
// (the frame) so it can tell that work is running.
class ProgressCount {
public:
    int Open() const { return open_; }

private:
    friend class ProgressWindow;
    int open_ = 0;
};

class ProgressWindow : public QObject, public news::DocumentProgress {
    Q_OBJECT
public:
    // count (may be null) counts this window while it is open.
    explicit ProgressWindow(int delayMs, QWidget* mainWindow = nullptr, ProgressCount* count = nullptr);
    ~ProgressWindow() override;

    // title is Shift_JIS; an empty title keeps the window's own.
    bool Open(const std::string& title);
    bool Open(unsigned titleId) override;
    bool OpenFormatted(unsigned titleId, const std::vector<std::string>& args) override;
    void SetTotal(long long total) override { total_ = total; }
    void SetPosition(long long position) override { position_ = position; }
    void SetMessage(const std::string& text) override;
    bool Cancelled() const override { return cancelled_; }
    void Close() override;

    QDialog* Dialog() const { return dialog_; }
    // Percentage shown for a position of total (0 when total is not positive).
    static int Percent(long long position, long long total);

private:
    bool OpenWindow(const QString& title);
    void Tick();

    int delayMs_;
    QPointer<QWidget> main_;
    QPointer<QDialog> dialog_;
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QTimer timer_;
    long long total_ = 0;
    long long position_ = 0;
    QString message_;
    bool cancelled_ = false;
    bool open_ = false;
    ProgressCount* count_;
};

} // namespace dialogs
