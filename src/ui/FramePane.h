#pragma once
// What the main window and its panes know of each other: the frame sees a
// pane as a command target with a widget, a pane sees the frame only as the
// window it sits in.

#include "ui/CommandRouter.h"

class QMenu;
class QWidget;

namespace dialogs { class ProgressCount; }

namespace ui {

// A pane of the main window as the frame and the command router see it: it
// may handle commands while active. The document reaches it as a view.
class FramePane : public CommandTarget {
public:
    virtual QWidget* Widget() = 0;
    // For the status bar: the line the reader is at (1-based) and the line
    // count, when the pane shows lines of text.
    virtual bool LinePosition(int& line, int& count) const
    {
        (void)line;
        (void)count;
        return false;
    }
};

// The window a pane sits in, as the pane sees it.
class PaneFrame {
public:
    enum PaneIndex { GroupPane = 0, ArticlePane = 1, BodyPane = 2 };

    virtual QWidget* Pane(int index) const = 0;
    virtual void ActivatePane(int index) = 0;
    virtual void ActivateNextPane(bool forward) = 0;
    // The menu bar's menu at index, for context menus; null past the last.
    virtual QMenu* Menu(int index) const = 0;
    // The top-level window, the parent of the panes' dialogs.
    virtual QWidget* FrameWindow() = 0;
    // Counts the progress windows the panes open over the frame.
    virtual dialogs::ProgressCount* ProgressWindows() = 0;

protected:
    ~PaneFrame() = default;
};

} // namespace ui
