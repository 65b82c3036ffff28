#pragma once
// The group pane: a title line over the tree of the document's groups under
// "NetNews". Opening a group here makes the article list load it.

#include "news/DocumentView.h"
#include "ui/CGroupTreeBox.h"
#include "ui/FramePane.h"

#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <utility>

class QLabel;
class QMenu;
namespace news { class CLumeDoc; struct CNewsGroup; }
namespace platform { class Registry; }

namespace widgets { class CTreeListItem; }
namespace dialogs { class Dialogs; }

namespace ui {


class CGroupView : public QWidget, public news::DocumentView, public FramePane, public GroupTreeOwner {
    Q_OBJECT
public:
    // frame may be null (the pane alone, in tests); the pane registers with
    // doc as a view.
    CGroupView(news::CLumeDoc& doc, platform::Registry& registry, dialogs::Dialogs& dialogs, PaneFrame* frame,
               QWidget* parent = nullptr);
    ~CGroupView() override;

    void OnUpdate(news::DocumentView* sender, news::Hint hint) override;
    QWidget* Widget() override { return this; }
    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(CmdUI& state) override;

    CGroupTreeBox& Tree() const { return *tree_; }
    QLabel& Title() const { return *title_; }
    widgets::CTreeListItem* Root() const override { return root_; }
    news::CLumeDoc& Doc() const { return doc_; }
    const std::string& SearchText() const { return search_; }

    // Title and tree back to their empty state.
    void Reset();
    // announce: tell the views with hint 4 afterwards.
    void BuildTree(bool announce = true);
    // Dotted name of node's components below the root ("" for the root).
    std::string FullPath(const widgets::CTreeListItem* node) const;
    void UpdateTitle() override;
    // Opens the group of the single selected row; false when there is none
    // (so a double-click may expand or collapse instead).
    bool OpenSelectedGroup() override;
    // Next (or previous) row with a group that has unread articles.
    void MoveToUnreadGroup(bool forward);
    bool HasUnread(news::CNewsGroup& group) const override;
    // Whether rows show " (unread count)" after the name.
    bool ShowsUnreadCounts() const override { return showCounts_; }
    // The context menu of the tree (shown by the caller).
    QMenu* MakeContextMenu();
    void ShowContextMenu(const QPoint& globalPos) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddGroup(news::CNewsGroup& group);
    void Subscribe(bool subscribe);
    void ExpandOneLevel();
    void ExpandAllBelow();
    void CollapseBelow();
    void CollapseLevel();
    void FindDialog();
    void Find(bool down);
    void ChooseFont();
    void ApplyColours();
    void SetTitleActive(bool active);
    widgets::CTreeListItem* SingleSelectedNode() const;
    bool Connected() const;

    news::CLumeDoc& doc_;
    platform::Registry& registry_;
    dialogs::Dialogs& dialogs_;
    PaneFrame* frame_;
    QLabel* title_;
    CGroupTreeBox* tree_;
    widgets::CTreeListItem* root_ = nullptr;
    std::string search_;
    bool showCounts_ = true;
    // Children by (parent, text) while the tree is built.
    std::map<std::pair<const widgets::CTreeListItem*, std::string>, widgets::CTreeListItem*> children_;
    // Bumped whenever the nodes are all replaced.
    unsigned generation_ = 0;
};

} // namespace ui
