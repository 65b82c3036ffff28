#pragma once
// The application object: start-up, the commands that belong to the whole
// program (new, open, recent files, exit, about, the log window) and what is
// saved when it ends.

#include "ui/CommandRouter.h"
#include "ui/DocumentHost.h"
#include "ui/RecentFiles.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace platform { class Registry; }
namespace ui { class CMainFrame; class LogWindow; class QtDocumentHost; }

namespace app {

class SingleInstance;

class CLumeApp : public QObject, public ui::CommandTarget {
    Q_OBJECT
public:
    // document: the configuration document; the app does not own it.
    CLumeApp(platform::Registry& registry, ui::UiDocument& document, QObject* parent = nullptr);
    ~CLumeApp() override;

    // The start-up steps; commandLine is the raw command line after the
    // program name. false: the process must end without a window.
    bool InitInstance(const QString& commandLine);
    // The exit steps; returns the exit code.
    int ExitInstance();
    // Called on an idle timer: command states of the compose window and the frame.
    void OnIdle();

    // The file the command line names (quotes handled as the shell passes them).
    static QString FileFromCommandLine(const QString& commandLine);

    // Takes hand-offs from later starts.
    void ListenForHandOffs(SingleInstance* instance);

    ui::CMainFrame* Frame() const { return frame_.get(); }
    ui::LogWindow* Log() const { return log_.get(); }
    ui::CommandRouter& Router() { return router_; }
    ui::RecentFileList& Recent() { return recent_; }
    ui::DocumentHost& Host();
    int Ctl3d() const { return ctl3d_; }

    void SetComposeWindow(ui::ComposeLink* compose) { compose_ = compose; }
    ui::ComposeLink* ComposeWindow() const { return compose_; }

    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(ui::CmdUI& state) override;

private:
    std::vector<ui::CommandTarget*> Chain();
    bool QueryCloseCompose();

    platform::Registry& registry_;
    ui::UiDocument& document_;
    ui::CommandRouter router_;
    ui::RecentFileList recent_;
    std::unique_ptr<ui::CMainFrame> frame_;
    std::unique_ptr<ui::LogWindow> log_;
    std::unique_ptr<ui::QtDocumentHost> host_;
    ui::ComposeLink* compose_ = nullptr;
    QTimer idle_;
    int ctl3d_ = 0;
};

} // namespace app
