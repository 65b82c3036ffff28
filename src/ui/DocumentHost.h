#pragma once
// The seams between the windows and the document. The document (core code,
// no Qt) reaches the user only through WindowHost and Progress; the windows
// reach the document through UiDocument. Views get the document's broadcasts.

#include "ui/CommandRouter.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class CView;

// One long server operation's window: hidden until its delay has passed.
class Progress {
public:
    virtual ~Progress() = default;
    // title is Shift_JIS; an empty title keeps the window's own.
    virtual bool Open(const std::string& title) = 0;
    virtual bool Open(unsigned titleId) = 0;
    virtual void SetTotal(long long total) = 0;
    virtual void SetPosition(long long position) = 0;
    virtual void SetMessage(const std::string& text) = 0;
    virtual bool Cancelled() const = 0;
    virtual void Close() = 0;
};

// What the document asks of the user interface.
class WindowHost {
public:
    enum class Icon { Error, Information, Question };
    enum Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

    virtual ~WindowHost() = default;
    // text is Shift_JIS, already formatted. A question offers Yes, No and Cancel
    // when withCancel, else Yes and No.
    virtual int MessageBox(const std::string& text, Icon icon, bool withCancel = false) = 0;
    virtual std::unique_ptr<Progress> MakeProgress(int delayMs) = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // Lets queued window work run for about ms milliseconds (0: once).
    virtual void PumpEvents(int ms) = 0;
};

// The document as the windows see it. Besides these calls it is a command
// target of its own.
class UiDocument : public CommandTarget {
public:
    virtual bool OnNewDocument() = 0;
    virtual bool OnOpenDocument(const std::filesystem::path& path) = 0;
    virtual bool OnSaveDocument(const std::filesystem::path& path) = 0;
    virtual bool IsModified() const = 0;
    virtual void SetModified(bool modified) = 0;
    // true while a network operation runs (the connection's busy flag).
    virtual bool IsBusy() const = 0;
    virtual bool ShowAllGroup() const = 0;
    virtual bool ShowUnreadGroup() const = 0;
    // The compose window has closed: forget what was kept for it.
    virtual void OnComposeClosed() = 0;
    // Name and article count of the group the article list shows ("" when none).
    virtual std::string CurrentGroupName() const = 0;
    virtual int ArticleCount() const = 0;
    // The connect dialog succeeded: take over the connected socket.
    virtual bool AttachSocket(int fd) = 0;

    virtual const std::filesystem::path& PathName() const { return path_; }
    virtual void SetPathName(std::filesystem::path path) { path_ = std::move(path); }

    void AddView(CView* view);
    void RemoveView(CView* view);
    const std::vector<CView*>& Views() const { return views_; }
    void UpdateAllViews(CView* sender, long hint);

private:
    std::filesystem::path path_;
    std::vector<CView*> views_;
};

// A pane: gets the document's broadcasts and may handle commands while active.
class CView : public CommandTarget {
public:
    virtual void OnUpdate(CView* sender, long hint) = 0;
    virtual const char* ViewClass() const = 0;
    // For the status bar: the line the reader is at (1-based) and the line
    // count, when the view shows lines of text.
    virtual bool LinePosition(int& line, int& count) const
    {
        (void)line;
        (void)count;
        return false;
    }
};

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

} // namespace ui
