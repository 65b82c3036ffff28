#include "integration/BrowserHandoff.h"

#include "platform/Registry.h"
#include "platform/StringIds.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

namespace integration {
namespace {

// Starts program with args alone, no shell; the pid on success.
std::optional<qint64> StartDetached(const QString& program, const QStringList& args)
{
    if (program.isEmpty())
        return std::nullopt;
    QProcess process;
    process.setProgram(program);
    process.setArguments(args);
    process.setStandardInputFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        return std::nullopt;
    return pid;
}

} // namespace

BrowserChannel* BrowserChannel::Of(QWidget* mainWindow)
{
    if (!mainWindow)
        return nullptr;
    // A pane may stand for its main window.
    QWidget* top = mainWindow->window();
    if (auto* channel = top->findChild<BrowserChannel*>(QString(), Qt::FindDirectChildrenOnly))
        return channel;
    return new DesktopBrowserChannel(top);
}

QString DesktopBrowserChannel::HandlerProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
}

bool DesktopBrowserChannel::IsAllowedScheme(const QString& url)
{
    const qsizetype colon = url.indexOf(u':');
    if (colon <= 0)
        return false;
    const QString scheme = url.left(colon).toLower();
    return scheme == u"http" || scheme == u"https" || scheme == u"ftp";
}

bool DesktopBrowserChannel::Probe(const QString&, const QString&)
{
    return !HandlerProgram().isEmpty();
}

std::optional<std::uint32_t> DesktopBrowserChannel::Open(const QString&, const QString& url)
{
    if (!IsAllowedScheme(url) || url.startsWith(u'-'))
        return std::nullopt;
    const auto pid = StartDetached(HandlerProgram(), {url});
    if (!pid)
        return std::nullopt;
    return static_cast<std::uint32_t>(*pid);
}

void DesktopBrowserChannel::Activate(const QString&, std::uint32_t)
{
    // The handler raises the browser's window itself.
}

QString BrowserServiceName(int type)
{
    switch (type) {
    case 0: return QStringLiteral("NETSCAPE");
    case 1: return QStringLiteral("IExplore");
    default: return {};
    }
}

std::optional<QString> CleanUrl(const QString& url)
{
    QString text;
    text.reserve(url.size());
    for (const QChar c : url) {
        if (c != u'\r' && c != u'\n' && c != QChar(0))
            text += c;
    }
    text = text.trimmed();
    if (text.isEmpty() || text.startsWith(u'-'))
        return std::nullopt;
    return text;
}

int BrowserOpenUrl(const CBrowserLink& link, const QString& rawUrl)
{
    // A URL comes from article text: whatever cannot be handed on safely is
    // refused before any program sees it.
    const std::optional<QString> url = CleanUrl(rawUrl);
    if (!url)
        return kBrowserRefused;

    const QString service = BrowserServiceName(link.type);
    const QString versionTopic = link.type == 1 ? QStringLiteral("WWW_QueryVersion") : QStringLiteral("WWW_Version");
    const bool running = !service.isEmpty() && link.channel && link.channel->Probe(service, versionTopic);

    if (!running) {
        if (link.programPath.isEmpty())
            return kBrowserNotRunning;
        return StartDetached(link.programPath, {*url}) ? kBrowserOk : kBrowserStartFailed;
    }

    const std::optional<std::uint32_t> window = link.channel->Open(service, *url);
    if (!window)
        return kBrowserRefused;
    link.channel->Activate(service, *window);
    return kBrowserOk;
}

bool OpenUrl(QWidget* mainWindow, const QString& url, platform::Registry& registry, const BrowserMessageHandler& report)
{
    CBrowserLink link;
    link.type = registry.GetInt("WWWViewer", "Type", 0);
    // A program path is a file name of this system, not Shift_JIS text.
    link.programPath = QFile::decodeName(QByteArray::fromStdString(registry.GetString("WWWViewer", "strPathName")));
    link.channel = BrowserChannel::Of(mainWindow);

    const int result = BrowserOpenUrl(link, url);
    if (result <= 0 || result > 3)
        return true;
    const unsigned id = result == kBrowserRefused ? platform::IDS_61234 : platform::IDS_61235;
    if (report)
        report(mainWindow, id);
    return false;
}

} // namespace integration
