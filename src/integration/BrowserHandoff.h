#pragma once
// Handing a URL to the web browser.
//
// The conversation keeps the browser protocol's three steps: ask whether the
// browser is there, tell it to open the URL, bring its window forward. On this
// platform the "running browser" is the desktop's URL handler (xdg-open); when
// there is none, the program configured under WWWViewer/strPathName is started
// with the URL as its only argument. No shell ever sees the URL.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace platform { class Registry; }

namespace integration {

// Results of BrowserOpenUrl.
enum BrowserResult : int {
    kBrowserOk = 0,
    kBrowserNotRunning = 1, // no browser answered and no program path is set
    kBrowserStartFailed = 2, // the configured program could not be started
    kBrowserRefused = 3,     // the browser (or this side) refused the URL
};

// The client side of the browser conversation. The main window owns one
// (as a child object) for as long as it lives.
class BrowserChannel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Is a browser answering under this service name?
    virtual bool Probe(const QString& service, const QString& topic) = 0;
    // Asks the browser to open url; its window id, or nothing when refused.
    virtual std::optional<std::uint32_t> Open(const QString& service, const QString& url) = 0;
    // Brings the window forward; the outcome does not matter to the caller.
    virtual void Activate(const QString& service, std::uint32_t windowId) = 0;

    // The channel of a main window (or of the window holding a pane): its
    // child channel, a desktop channel made on first use when it has none.
    static BrowserChannel* Of(QWidget* mainWindow);
};

// The desktop's URL handler standing in for the browser's conversation.
// Only http, https and ftp URLs are passed on: anything else could make the
// handler open a local file or run a helper registered for an odd scheme.
class DesktopBrowserChannel : public BrowserChannel {
    Q_OBJECT
public:
    using BrowserChannel::BrowserChannel;
    bool Probe(const QString& service, const QString& topic) override;
    std::optional<std::uint32_t> Open(const QString& service, const QString& url) override;
    void Activate(const QString& service, std::uint32_t windowId) override;

    static bool IsAllowedScheme(const QString& url);
    // The handler program; overridable so tests need not touch PATH.
    static QString HandlerProgram();
};

// What OpenUrl builds for each hand-off.
struct CBrowserLink {
    int type = 0;             // WWWViewer/Type: 0 Netscape, 1 Internet Explorer
    QString programPath;      // WWWViewer/strPathName, may be empty
    BrowserChannel* channel = nullptr;
};

// "NETSCAPE" for type 0, "IExplore" for type 1, empty for any other type.
QString BrowserServiceName(int type);
// The URL as it may be handed on: CR, LF and NUL removed, blanks at either end
// dropped; nothing when what is left is empty or would read as an option.
std::optional<QString> CleanUrl(const QString& url);

int BrowserOpenUrl(const CBrowserLink& link, const QString& url);

// How OpenUrl shows its messages (string ids 61234 and 61235).
using BrowserMessageHandler = std::function<void(QWidget* parent, unsigned stringId)>;

// The whole hand-off for a main window, with the settings read from registry
// and failures handed to report: 61235 (start) and 61234 (conversation).
bool OpenUrl(QWidget* mainWindow, const QString& url, platform::Registry& registry, const BrowserMessageHandler& report);

} // namespace integration
