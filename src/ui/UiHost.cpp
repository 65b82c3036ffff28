#include "ui/UiHost.h"

#include "ui/CommandIds.h"
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
    const QString title = LoadText(res::AppTitle);
    return title.isEmpty() ? QStringLiteral("Lumetra") : title;
}

int ShowMessage(QWidget* parent, const QString& text, DocumentHost::Icon icon, bool withCancel)
{
    if (g_messageHook)
        return g_messageHook(text, icon, withCancel);
    QMessageBox box(parent);
    box.setWindowTitle(AppTitle());
    box.setText(text);
    box.setFont(JapaneseFont());
    switch (icon) {
    case DocumentHost::Icon::Error:
        box.setIcon(QMessageBox::Critical);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case DocumentHost::Icon::Information:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case DocumentHost::Icon::Question:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(withCancel ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
                                          : QMessageBox::Yes | QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return DocumentHost::Yes;
    case QMessageBox::No: return DocumentHost::No;
    case QMessageBox::Cancel: return DocumentHost::Cancel;
    default: return DocumentHost::Ok;
    }
}

int QtDocumentHost::MessageBox(const std::string& text, Icon icon, bool withCancel)
{
    return ShowMessage(main_, FromSjis(text), icon, withCancel);
}

std::unique_ptr<Progress> QtDocumentHost::MakeProgress(int delayMs)
{
    return std::make_unique<ProgressWindow>(delayMs, main_);
}

void QtDocumentHost::BeginWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtDocumentHost::EndWaitCursor()
{
    QApplication::restoreOverrideCursor();
}

void QtDocumentHost::PumpEvents(int ms)
{
    QDeadlineTimer deadline(ms);
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (!deadline.hasExpired());
}

} // namespace ui
