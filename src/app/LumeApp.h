#pragma once
// The application object: start-up, the commands that belong to the whole
// program (new, open, recent files, exit, about, the log window) and what is
// saved when it ends.

#include "ui/CommandRouter.h"
#include "ui/MainFrame.h"
#include "ui/RecentFiles.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

namespace platform { class Registry; }
namespace compose { class CNewsPostWnd; }
namespace news { struct FollowUpSource; struct PostParams; enum class PostWindowResult; }
namespace dialogs { class Dialogs; class LogWindow; }
namespace host { class HostedDocument; }

namespace app {

class SingleInstance;

// The compose window as the application sees it (it lives elsewhere).
class ComposeLink {
public:
    virtual ~ComposeLink() = default;
    // Asks the user as the window's own close would; false keeps it open.
    virtual bool QueryClose() = 0;
    virtual bool IsPosting() const = 0;
    virtual void Destroy() = 0;
    virtual void UpdateCommandStates() = 0;
};

class CLumeApp : public QObject, public ui::CommandTarget {
    Q_OBJECT
public:
    // The app owns none of these; the frame it makes gets the dialogs and
    // its panes from panes.
    CLumeApp(platform::Registry& registry, host::HostedDocument& document, dialogs::Dialogs& dialogs,
             ui::CMainFrame::PaneFactory panes, QObject* parent = nullptr);
    ~CLumeApp() override;

    // The start-up steps; commandLine is the raw command line after the
    // program name. false: the process must end without a window.
    bool InitInstance(const QString& commandLine);
    // The exit steps; returns the exit code.
    int ExitInstance();
    // The part of closing that asks nothing, for an end the user did not
    // choose here (a quit signal): unsaved read marks go to their recovery
    // file, the layout is kept, the compose window goes without a question.
    // The caller then leaves the event loop.
    void LeaveWithoutAsking();
    bool Leaving() const { return leaving_; }
    // Called on an idle timer: command states of the compose window and the frame.
    void OnIdle();

    // The file the command line names (quotes handled as the shell passes them).
    static QString FileFromCommandLine(const QString& commandLine);

    // Takes hand-offs from later starts: a configuration file (a full path)
    // or a news link.
    void ListenForHandOffs(SingleInstance* instance);
    // Opens a news: or nntp: link with the open configuration; true when its
    // group or article is shown. Failures are also written to stderr.
    bool OpenLink(const QString& link);

    ui::CMainFrame* Frame() const { return frame_.get(); }
    dialogs::LogWindow* Log() const { return log_.get(); }
    ui::CommandRouter& Router() { return router_; }
    ui::RecentFileList& Recent() { return recent_; }
    int Ctl3d() const { return ctl3d_; }

    void SetComposeWindow(ComposeLink* compose) { compose_ = compose; }
    ComposeLink* ComposeWindow() const { return compose_; }
    // Fills a fresh post window for a follow-up; false when the user cancelled.
    // By default dialog 118 asks and the followed article is quoted.
    using FollowUpBuilder = std::function<bool(compose::CNewsPostWnd& window, const news::FollowUpSource& source)>;
    void SetFollowUpBuilder(FollowUpBuilder builder) { followUp_ = std::move(builder); }
    // The document's post window, made and brought forward on its request.
    news::PostWindowResult OpenPostWindow(const news::PostParams& params, const news::FollowUpSource* source);
    bool ActivatePostWindow();

    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(ui::CmdUI& state) override;

private:
    // The host stops pointing at the frame before the frame goes.
    void DestroyFrame();
    std::vector<ui::CommandTarget*> Chain();
    bool QueryCloseCompose();

    platform::Registry& registry_;
    host::HostedDocument& document_;
    dialogs::Dialogs& dialogs_;
    ui::CMainFrame::PaneFactory panes_;
    ui::CommandRouter router_;
    ui::RecentFileList recent_;
    std::unique_ptr<ui::CMainFrame> frame_;
    std::unique_ptr<dialogs::LogWindow> log_;
    ComposeLink* compose_ = nullptr;
    std::unique_ptr<ComposeLink> postLink_;
    FollowUpBuilder followUp_;
    QTimer idle_;
    int ctl3d_ = 0;
    bool leaving_ = false;
};

} // namespace app
