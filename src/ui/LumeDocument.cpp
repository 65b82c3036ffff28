#include "ui/LumeDocument.h"

#include "net/Tcpip.h"
#include "platform/MessageFormat.h"
#include "platform/StringTable.h"
#include "ui/SjisText.h"
#include "ui/ConnectDialog.h"
#include "ui/Dialogs.h"
#include "ui/ProgressWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QProcess>
#include <QEventLoop>
#include <QCoreApplication>

using namespace news;


namespace ui {


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
    return std::make_unique<ProgressWindow>(delayMs, window_);
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

LumeDocument::LumeDocument(Dialogs& dialogs, platform::Registry* registry, PasswordStore* passwords)
    : host_(dialogs, passwords), doc_(&host_, registry)
{
    host_.SetDocument(&doc_);
}

bool LumeDocument::OnUpdateCommand(CmdUI& state)
{
    CommandState news;
    if (!doc_.OnUpdateCommand(state.id, news))
        return false;
    state.Enable(news.enabled);
    if (news.checkable)
        state.SetCheck(news.checked);
    return true;
}

// Reading may show a message and so repaint the panes: they let go first.
bool LumeDocument::OnNewDocument()
{
    if (!doc_.IsBusy())
        doc_.UpdateAllViews(nullptr, 0);
    return doc_.OnNewDocument();
}

bool LumeDocument::OnOpenDocument(const std::filesystem::path& path)
{
    if (!doc_.IsBusy())
        doc_.UpdateAllViews(nullptr, 0);
    return doc_.OnOpenDocument(path);
}

std::string LumeDocument::CurrentGroupName() const
{
    const CNewsGroup* group = doc_.GetCurrentGroup();
    return group ? group->m_strName : std::string();
}

int LumeDocument::ArticleCount() const
{
    return int(doc_.Articles().size());
}

} // namespace ui
