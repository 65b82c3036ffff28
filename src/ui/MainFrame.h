#pragma once
// The main window: group pane on the left, article list and body on the
// right, menu, tool bar 138, status bar, and the framework's document work
// (new, open, save, the "save changes?" question).

#include "ui/CommandRouter.h"
#include "ui/DocumentHost.h"

#include <QDialog>
#include <QFrame>
#include <QMainWindow>

#include <functional>

class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

namespace platform { class Registry; }

namespace ui {

class RecentFileList;
class CMainFrame;

// A pane until the real one is plugged in: a view of the document that passes
// Tab and Shift+Tab on to the next pane.
class PlaceholderPane : public QFrame, public CView {
    Q_OBJECT
public:
    PlaceholderPane(const char* viewClass, CMainFrame& frame, QWidget* parent);
    void OnUpdate(CView* sender, long hint) override;
    const char* ViewClass() const override { return viewClass_; }
    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(CmdUI& state) override;
    std::vector<long> hints;

private:
    const char* viewClass_;
    CMainFrame& frame_;
};

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

class CMainFrame : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    enum PaneIndex { GroupPane = 0, ArticlePane = 1, BodyPane = 2 };
    // Makes pane i; the widget must also be a CView. The default makes placeholders.
    using PaneFactory = std::function<QWidget*(int index, UiDocument& document, CMainFrame& frame)>;
    static void SetPaneFactory(PaneFactory factory);
    // Stands in for the file dialogs (tests): returns the chosen path or "".
    using FileDialogHook = std::function<QString(bool save)>;
    static void SetFileDialogHook(FileDialogHook hook);

    // With today's fonts, narrower panes clip every group name below the top
    // level and show three article rows.
    static constexpr int kDefaultGroupWidth = 200;
    static constexpr int kDefaultArticleHeight = 180;

    CMainFrame(CommandRouter& router, UiDocument& document, platform::Registry& registry,
               RecentFileList& recent, QWidget* parent = nullptr);
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

    // The compose window posts this when it has closed (queued).
    Q_INVOKABLE void OnComposeClosed();

    QWidget* Pane(int index) const { return panes_[index]; }
    CView* View(int index) const;
    CView* ActiveView() const;
    int ActivePaneIndex() const { return activePane_; }
    void ActivatePane(int index);
    void ActivateNextPane(bool forward);
    QSplitter* OuterSplitter() const { return outer_; }
    QSplitter* InnerSplitter() const { return inner_; }
    QToolBar* ToolBar() const { return toolBar_; }
    QLabel* StatusPane(int index) const;
    void UpdateStatusPanes();
    // Pane 2: the body's line position, as the document formats it.
    void SetLineIndicator(const QString& text);
    QMenu* Menu(int index) const;
    // The framework's document commands (save, save as).
    CommandTarget& DocumentCommands() { return docCommands_; }
    // Saves the window rectangle, pane sizes and bar state.
    void SaveLayout();
    void RebuildRecentMenu();

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
    void CreatePanes();
    void ApplyPaneSizes();
    QAction* Item(QMenu* menu, unsigned id, const QString& text);

    CommandRouter& router_;
    UiDocument& document_;
    platform::Registry& registry_;
    RecentFileList& recent_;
    DocCommands docCommands_{*this};
    QSplitter* outer_ = nullptr;
    QSplitter* inner_ = nullptr;
    QWidget* panes_[3] = {};
    int activePane_ = GroupPane;
    QToolBar* toolBar_ = nullptr;
    QLabel* indicator137_ = nullptr;
    QLabel* indicator136_ = nullptr;
    std::vector<QMenu*> menus_;
    QMenu* fileMenu_ = nullptr;
    QAction* recentAnchor_ = nullptr;
    int groupWidth_ = kDefaultGroupWidth;
    int articleHeight_ = kDefaultArticleHeight;
    bool sizesApplied_ = false;
    std::function<bool()> busyTest_;
    std::function<bool()> closeQuery_;
    std::function<void()> composeClosed_;
    std::function<void()> signatureEditor_;
};

} // namespace ui
