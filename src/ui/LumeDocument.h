#pragma once
// The news document behind the windows: CLumeDoc seen through UiDocument, and
// the Qt side of what CLumeDoc asks of its host.

#include "news/DocumentHost.h"
#include "news/LumeDoc.h"
#include "ui/DocumentHost.h"

#include <QString>
#include <functional>

class QWidget;

namespace ui {

// Formats string-table entry text (Shift_JIS) with %s and %d taken from args in
// order. File paths come as UTF-8, other texts as Shift_JIS: each argument is
// read as UTF-8 when it is valid UTF-8, else as Shift_JIS.
QString FormatMessage(const std::string& format, const std::vector<std::string>& args);

class NewsHost : public ::DocumentHost {
public:
    explicit NewsHost(QWidget* window = nullptr) : window_(window) {}
    void SetWindow(QWidget* window) { window_ = window; }
    int ShowMessage(unsigned id, MessageIcon icon, const std::vector<std::string>& args) override;
    int ShowMessageText(const std::string& text, MessageIcon icon) override;
    void Beep() override;
    int AskReadLimit(int& count) override;
    int AskReloadRange(int& start, int& end) override;
    std::unique_ptr<DocumentProgress> MakeProgress(int delayMs) override;
    void PumpEvents() override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

    // The article list pane's connect step plugs in here.
    using ConnectStep = std::function<int(const std::string& server, int port)>;
    void SetConnectStep(ConnectStep step) { connectStep_ = std::move(step); }
    int ConnectServer(const std::string& server, int port) override;
    // Pane commands the document passes on go to the pane set here.
    using Forwarder = std::function<void(Pane pane, unsigned id)>;
    void SetForwarder(Forwarder forwarder) { forwarder_ = std::move(forwarder); }
    void ForwardCommand(Pane pane, unsigned id) override
    {
        if (forwarder_)
            forwarder_(pane, id);
    }

    // The body pane answers for the article it shows.
    using ShownArticle = std::function<bool(std::string& header, std::string& displayed)>;
    void SetShownArticle(ShownArticle source) { shownArticle_ = std::move(source); }
    bool GetShownArticle(std::string& header, std::string& displayed) override
    {
        return shownArticle_ && shownArticle_(header, displayed);
    }

private:
    QWidget* window_;
    ConnectStep connectStep_;
    Forwarder forwarder_;
    ShownArticle shownArticle_;
};

class LumeDocument : public UiDocument {
public:
    explicit LumeDocument(platform::Registry* registry = nullptr);
    CLumeDoc& Doc() { return doc_; }
    NewsHost& Host() { return host_; }

    bool OnNewDocument() override;
    bool OnOpenDocument(const std::filesystem::path& path) override;
    bool OnSaveDocument(const std::filesystem::path& path) override;
    bool IsModified() const override { return doc_.IsModified(); }
    void SetModified(bool modified) override { doc_.SetModifiedFlag(modified); }
    bool IsBusy() const override { return doc_.IsBusy(); }
    bool ShowAllGroup() const override { return doc_.Config().bShowAllGroup; }
    bool ShowUnreadGroup() const override { return doc_.Config().bShowUnreadGroup; }
    void OnComposeClosed() override {}
    std::string CurrentGroupName() const override;
    int ArticleCount() const override;
    bool AttachSocket(int fd) override;
    const std::filesystem::path& PathName() const override { return doc_.GetPathName(); }
    void SetPathName(std::filesystem::path path) override { doc_.SetPathName(std::move(path)); }

    bool OnCommand(unsigned id) override { return doc_.OnCommand(id); }
    bool OnUpdateCommand(CmdUI& state) override;

private:
    // Hands the document's broadcasts on to the panes.
    struct ViewBridge : DocumentView {
        explicit ViewBridge(LumeDocument& d) : document(d) {}
        void OnUpdate(DocumentView*, long hint) override { document.UpdateAllViews(nullptr, hint); }
        LumeDocument& document;
    };
    NewsHost host_;
    CLumeDoc doc_;
    ViewBridge bridge_{*this};
};

} // namespace ui
