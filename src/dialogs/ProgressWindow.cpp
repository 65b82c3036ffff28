#include "dialogs/ProgressWindow.h"

#include "platform/StringTable.h"

#include "widgets/SjisText.h"
#include "widgets/WindowLock.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace widgets;

namespace dialogs {

namespace {
// Closing through the title bar ends the window as Close() does.
class ProgressDialog : public QDialog {
public:
    ProgressDialog(QWidget* parent, std::function<void()> onClose)
        : QDialog(parent), onClose_(std::move(onClose)) {}
protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        if (onClose_)
            onClose_();
    }
    void reject() override {}
private:
    std::function<void()> onClose_;
};
} // namespace

int ProgressWindow::Percent(long long position, long long total)
{
    if (total <= 0)
        return 0;
    return int(position * 100 / total);
}

ProgressWindow::ProgressWindow(int delayMs, QWidget* mainWindow, ProgressCount* count)
    : delayMs_(delayMs), main_(mainWindow), count_(count)
{
    timer_.setSingleShot(false);
    connect(&timer_, &QTimer::timeout, this, &ProgressWindow::Tick);
}

ProgressWindow::~ProgressWindow()
{
    Close();
}

bool ProgressWindow::Open(const std::string& title)
{
    return OpenWindow(FromSjis(title));
}

bool ProgressWindow::Open(unsigned titleId)
{
    return OpenWindow(LoadText(titleId));
}

bool ProgressWindow::OpenFormatted(unsigned titleId, const std::vector<std::string>& args)
{
    return OpenWindow(FormatMessage(platform::LoadString(titleId), args));
}

bool ProgressWindow::OpenWindow(const QString& title)
{
    if (open_)
        return true;
    QPointer<ProgressWindow> self(this);
    auto* dialog = new ProgressDialog(main_, [self] { if (self) self->Close(); });
    dialog->setObjectName(QStringLiteral("dlg106"));
    dialog->setWindowTitle(title.isEmpty() ? QStringLiteral("Working") : title);
    dialog->setWindowModality(Qt::NonModal);
    dialog->setFont(JapaneseFont());
    text_ = new QLabel(dialog);
    text_->setObjectName(QStringLiteral("ctl1005"));
    text_->setAlignment(Qt::AlignCenter);
    text_->setMinimumWidth(300);
    bar_ = new QProgressBar(dialog);
    bar_->setObjectName(QStringLiteral("ctl1057"));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->hide();
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), dialog);
    cancel->setObjectName(QStringLiteral("ctl2"));
    connect(cancel, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    dialog_ = dialog;

    message_.clear();
    cancelled_ = false;
    open_ = true;
    timer_.start(delayMs_);
    if (count_)
        ++count_->open_;
    LockWindow(main_);
    dialog->setEnabled(true);
    return true;
}

void ProgressWindow::SetMessage(const std::string& text)
{
    message_ = FromSjis(text);
}

void ProgressWindow::Tick()
{
    if (!dialog_)
        return;
    if (!dialog_->isVisible())
        dialog_->show();
    text_->setText(message_);
    if (total_ > 0) {
        bar_->show();
        bar_->setValue(Percent(position_, total_));
    }
}

void ProgressWindow::Close()
{
    if (!open_)
        return;
    open_ = false;
    timer_.stop();
    // Nested windows: only the last one to close gives the main window back.
    if (count_)
        --count_->open_;
    UnlockWindow(main_);
    if (dialog_) {
        dialog_->hide();
        dialog_->deleteLater();
        dialog_ = nullptr;
    }
}

} // namespace dialogs
