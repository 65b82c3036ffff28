#pragma once
// The main window: group pane on the left, article list and body on the
// right, menu, tool bar 138, status bar, and the framework's document work
// (new, open, save, the "save changes?" question).

#include "dialogs/ProgressWindow.h"
#include "ui/CommandRouter.h"
#include "ui/FramePane.h"
#include "news/DocumentHost.h"

#include <QMainWindow>

#include <functional>

class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

namespace platform { class Registry; }

namespace dialogs { class Dialogs; }

namespace ui {

class LumeDocument;
class RecentFileList;
class SessionLock;

class CMainFrame : public QMainWindow, public CommandTarget, public PaneFrame {
    Q_OBJECT
public:
    // Makes pane index (a PaneIndex), which the frame then owns.
    using PaneFactory = std::function<FramePane*(int index, CMainFrame& frame)>;

    // With today's fonts, narrower panes clip every group name below the top
    // level and show three article rows.
    static constexpr int kDefaultGroupWidth = 200;
    // Of the screen's free area, when no window rectangle was saved.
    static constexpr int kFirstSizePercent = 80;
    static constexpr int kDefaultArticleHeight = 180;

    CMainFrame(CommandRouter& router, LumeDocument& document, platform::Registry& registry,
               RecentFileList& recent, dialogs::Dialogs& dialogs, const PaneFactory& panes, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The framework's document operations.
    bool NewDocument();
    bool OpenDocumentFile(const QString& path);
    bool DoSave(bool saveAs);
    bool SaveModified();
    // A file name from the open or save dialog; "" when cancelled.
    QString AskFileName(bool save);
    QString DocumentTitle() const;
    void UpdateTitle();

    // Refuses new, open and close while network work or posting runs.
    void SetBusyTest(std::function<bool()> busy) { busyTest_ = std::move(busy); }
    // Asked before the frame closes (the compose window's own question).
    void SetCloseQuery(std::function<bool()> query) { closeQuery_ = std::move(query); }
    void SetComposeClosedHandler(std::function<void()> handler) { composeClosed_ = std::move(handler); }
    void SetSignatureEditor(std::function<void()> editor) { signatureEditor_ = std::move(editor); }
    bool IsBusy() const;
    // The progress windows that lock this frame, counted while open.
    dialogs::ProgressCount* ProgressWindows() override { return &progressWindows_; }

    // The compose window posts this when it has closed (queued).
    Q_INVOKABLE void OnComposeClosed();

    QWidget* Pane(int index) const override { return panes_[index] ? panes_[index]->Widget() : nullptr; }
    FramePane* View(int index) const { return panes_[index]; }
    FramePane* ActiveView() const { return panes_[activePane_]; }
    int ActivePaneIndex() const { return activePane_; }
    void ActivatePane(int index) override;
    void ActivateNextPane(bool forward) override;
    QSplitter* OuterSplitter() const { return outer_; }
    QSplitter* InnerSplitter() const { return inner_; }
    QToolBar* ToolBar() const { return toolBar_; }
    QLabel* StatusPane(int index) const;
    SessionLock* Lock() const { return lock_; }
    void UpdateStatusPanes();
    // Pane 2: the body's line position, as the document formats it.
    void SetLineIndicator(const QString& text);
    QMenu* Menu(int index) const override;
    QWidget* FrameWindow() override { return this; }
    // A pane command the document passes on (find next, and the like).
    void ForwardToPane(news::DocumentHost::Pane pane, unsigned id);
    // The framework's document commands (save, save as).
    CommandTarget& DocumentCommands() { return docCommands_; }
    // Saves the window rectangle, pane sizes and bar state.
    void SaveLayout();
    void RebuildRecentMenu();
    // NZB を開く: the file, the folder to save in, the download, its summary.
    void OpenNzb();

    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(CmdUI& state) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct DocCommands : CommandTarget {
        explicit DocCommands(CMainFrame& f) : frame(f) {}
        bool OnCommand(unsigned id) override;
        bool OnUpdateCommand(CmdUI& state) override;
        CMainFrame& frame;
    };

    void RestoreWindowRect();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreatePanes(const PaneFactory& factory);
    void ApplyPaneSizes();
    QAction* Item(QMenu* menu, unsigned id, const QString& text);

    CommandRouter& router_;
    LumeDocument& document_;
    platform::Registry& registry_;
    RecentFileList& recent_;
    dialogs::Dialogs& dialogs_;
    DocCommands docCommands_{*this};
    QSplitter* outer_ = nullptr;
    QSplitter* inner_ = nullptr;
    FramePane* panes_[3] = {};
    int activePane_ = GroupPane;
    QToolBar* toolBar_ = nullptr;
    QLabel* indicator137_ = nullptr;
    QLabel* indicator136_ = nullptr;
    SessionLock* lock_ = nullptr;
    std::vector<QMenu*> menus_;
    QMenu* fileMenu_ = nullptr;
    QAction* recentAnchor_ = nullptr;
    int groupWidth_ = kDefaultGroupWidth;
    int articleHeight_ = kDefaultArticleHeight;
    bool sizesApplied_ = false;
    std::function<bool()> busyTest_;
    dialogs::ProgressCount progressWindows_;
    std::function<bool()> closeQuery_;
    std::function<void()> composeClosed_;
    std::function<void()> signatureEditor_;
};

} // namespace ui
