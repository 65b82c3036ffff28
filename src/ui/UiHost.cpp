#include "ui/UiHost.h"

#include "platform/StringIds.h"
#include "ui/ProgressWindow.h"
#include "ui/SjisText.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPushButton>

namespace ui {

static MessageHook g_messageHook;

void SetMessageHook(MessageHook hook)
{
    g_messageHook = std::move(hook);
}

QString AppTitle()
{
    const QString title = LoadText(platform::IDS_57344);
    return title.isEmpty() ? QStringLiteral("Lumetra") : title;
}

int ShowMessage(QWidget* parent, const QString& text, WindowHost::Icon icon, bool withCancel)
{
    if (g_messageHook)
        return g_messageHook(text, icon, withCancel);
    QMessageBox box(parent);
    box.setWindowTitle(AppTitle());
    box.setText(text);
    box.setFont(JapaneseFont());
    switch (icon) {
    case WindowHost::Icon::Error:
        box.setIcon(QMessageBox::Critical);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case WindowHost::Icon::Information:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case WindowHost::Icon::Question:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(withCancel ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
                                          : QMessageBox::Yes | QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return WindowHost::Yes;
    case QMessageBox::No: return WindowHost::No;
    case QMessageBox::Cancel: return WindowHost::Cancel;
    default: return WindowHost::Ok;
    }
}

int QtWindowHost::MessageBox(const std::string& text, Icon icon, bool withCancel)
{
    return ShowMessage(main_, FromSjis(text), icon, withCancel);
}

std::unique_ptr<Progress> QtWindowHost::MakeProgress(int delayMs)
{
    return std::make_unique<ProgressWindow>(delayMs, main_);
}

void QtWindowHost::BeginWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtWindowHost::EndWaitCursor()
{
    QApplication::restoreOverrideCursor();
}

void QtWindowHost::PumpEvents(int ms)
{
    QDeadlineTimer deadline(ms);
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (!deadline.hasExpired());
}

} // namespace ui
