#include "ui/LumeDocument.h"

#include "net/Tcpip.h"
#include "platform/MessageFormat.h"
#include "platform/StringTable.h"
#include "ui/SjisText.h"
#include "ui/ConnectDialog.h"
#include "ui/GroupReadDialogs.h"
#include "ui/ProgressWindow.h"
#include "ui/UiHost.h"

#include <QApplication>
#include <QEventLoop>
#include <QCoreApplication>

#include <unistd.h>

namespace ui {

QString FormatMessage(const std::string& format, const std::vector<std::string>& args)
{
    QString text;
    for (const platform::MessagePiece& piece : platform::FormatMessagePieces(format, args))
        text += piece.code == platform::TextCode::Utf8 ? QString::fromUtf8(piece.text) : FromSjis(piece.text);
    return text;
}

int NewsHost::ShowMessage(unsigned id, MessageIcon icon, const std::vector<std::string>& args)
{
    const QString text = FormatMessage(platform::LoadString(id), args);
    using Icon = ui::WindowHost::Icon;
    const Icon kind = icon == MessageIcon::Stop ? Icon::Error
                      : icon == MessageIcon::Information ? Icon::Information
                                                         : Icon::Question;
    return ui::ShowMessage(window_, text, kind, false);
}

int NewsHost::ShowMessageText(const std::string& text, MessageIcon icon)
{
    using Icon = ui::WindowHost::Icon;
    const Icon kind = icon == MessageIcon::Stop ? Icon::Error
                      : icon == MessageIcon::Information ? Icon::Information
                                                         : Icon::Question;
    return ui::ShowMessage(window_, FromSjis(text), kind, false);
}

void NewsHost::Beep() { QApplication::beep(); }

int NewsHost::AskReadLimit(int& count) { return ReadLimitDialog::Ask(window_, count); }

int NewsHost::AskReloadRange(int& start, int& end) { return ReloadRangeDialog::Ask(window_, start, end); }

namespace {
class NewsProgress : public DocumentProgress {
public:
    NewsProgress(int delayMs, QWidget* window) : window_(delayMs, window) {}
    bool Open(unsigned captionId) override { return window_.Open(captionId); }
    bool OpenFormatted(unsigned captionId, const std::vector<std::string>& args) override
    {
        return window_.Open(ToSjis(FormatMessage(platform::LoadString(captionId), args)));
    }
    void SetTotal(long long total) override { window_.SetTotal(total); }
    void SetPosition(long long position) override { window_.SetPosition(position); }
    void SetMessage(const std::string& text) override { window_.SetMessage(text); }
    bool Cancelled() const override { return window_.Cancelled(); }
    void Close() override { window_.Close(); }

private:
    ProgressWindow window_;
};
} // namespace

std::unique_ptr<DocumentProgress> NewsHost::MakeProgress(int delayMs)
{
    return std::make_unique<NewsProgress>(delayMs, window_);
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
    QObject::connect(&dialog, &CConnectDialog::finished, &loop, [&](bool ok) {
        connected = ok;
        loop.quit();
    });
    loop.exec();
    return connected ? dialog.TakeSocket() : -1;
}

LumeDocument::LumeDocument(platform::Registry* registry) : doc_(&host_, registry)
{
    doc_.AddView(&bridge_);
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

// The panes hold pointers into the group table and the article list, which
// the document empties before it reads: they let go first, since reading may
// show a message and so repaint them.
bool LumeDocument::OnNewDocument()
{
    if (!doc_.IsBusy())
        UpdateAllViews(nullptr, 0);
    return doc_.OnNewDocument();
}

bool LumeDocument::OnOpenDocument(const std::filesystem::path& path)
{
    if (!doc_.IsBusy())
        UpdateAllViews(nullptr, 0);
    return doc_.OnOpenDocument(path);
}

bool LumeDocument::OnSaveDocument(const std::filesystem::path& path)
{
    return doc_.OnSaveDocument(path);
}

std::string LumeDocument::CurrentGroupName() const
{
    const CNewsGroup* group = doc_.GetCurrentGroup();
    return group ? group->m_strName : std::string();
}

int LumeDocument::ArticleCount() const
{
    return int(const_cast<CLumeDoc&>(doc_).Articles().size());
}

bool LumeDocument::AttachSocket(int fd)
{
    // The document's connection takes sockets once its online work is in;
    // until then a handed socket is closed rather than leaked.
    if (fd >= 0)
        ::close(fd);
    return false;
}

} // namespace ui
