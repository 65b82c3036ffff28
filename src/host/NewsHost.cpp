#include "host/NewsHost.h"
#include "host/PasswordStore.h"

#include "net/Tcpip.h"
#include "platform/MessageFormat.h"
#include "platform/StringTable.h"
#include "widgets/SjisText.h"
#include "dialogs/ConnectDialog.h"
#include "dialogs/Dialogs.h"
#include "dialogs/ProgressWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QProcess>
#include <QEventLoop>
#include <QCoreApplication>

using namespace dialogs;

using namespace news;
using namespace widgets;
using dialogs::CConnectDialog;
using dialogs::ProgressWindow;


namespace host {


int NewsHost::ShowMessage(unsigned id, MessageIcon icon, const std::vector<std::string>& args)
{
    return dialogs_.Message(window_, FormatMessage(platform::LoadString(id), args), icon);
}

int NewsHost::ShowMessageText(const std::string& text, MessageIcon icon)
{
    return dialogs_.Message(window_, FromSjis(text), icon);
}

void NewsHost::Beep() { QApplication::beep(); }

bool NewsHost::PutClipboardText(const std::string& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(FromSjis(text));
    return true;
}

bool NewsHost::StartProgram(const std::string& program, const std::vector<std::string>& args)
{
    if (program.empty())
        return false;
    QStringList list;
    for (const std::string& arg : args)
        list << QString::fromStdString(arg);
    QProcess process;
    process.setProgram(QFile::decodeName(QByteArray::fromStdString(program)));
    process.setArguments(list);
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

int NewsHost::AskReadLimit(int& count) { return dialogs_.AskReadLimit(window_, count); }

int NewsHost::AskReloadRange(int& start, int& end) { return dialogs_.AskReloadRange(window_, start, end); }


std::unique_ptr<DocumentProgress> NewsHost::MakeProgress(int delayMs)
{
    return std::make_unique<ProgressWindow>(delayMs, window_, progressWindows_);
}

void NewsHost::BeginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void NewsHost::EndWaitCursor() { QApplication::restoreOverrideCursor(); }
void NewsHost::PumpEvents() { QApplication::processEvents(QEventLoop::AllEvents, 10); }

int NewsHost::ConnectServer(const std::string& server, int port)
{
    if (connectStep_)
        return connectStep_(server, port);
    CConnectDialog dialog(window_);
    if (!dialog.Start(server, port))
        return -1;
    QEventLoop loop;
    bool connected = false;
    QObject::connect(&dialog, &CConnectDialog::Finished, &loop, [&](bool ok) {
        connected = ok;
        loop.quit();
    });
    loop.exec();
    return connected ? dialog.TakeSocket() : -1;
}

std::string NewsHost::CancelSecret(const std::string& address)
{
    // Asked once a run: a desktop without a secret service answers only
    // after the store's timeout.
    const auto kept = cancelSecrets_.find(address);
    if (kept != cancelSecrets_.end())
        return kept->second;
    return cancelSecrets_[address] = CancelLockSecret(passwords_, address);
}

} // namespace host
