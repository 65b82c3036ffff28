#pragma once
// The tree of the group pane: nodes are dotted name components, a node that
// stands for a group carries that CNewsGroup as its user value.

#include "widgets/CTreeListBox.h"

namespace news { struct CNewsGroup; }

namespace ui {

// What the tree asks of the pane that owns it.
class GroupTreeOwner {
public:
    virtual widgets::CTreeListItem* Root() const = 0;
    virtual void UpdateTitle() = 0;
    virtual bool OpenSelectedGroup() = 0;
    virtual bool HasUnread(news::CNewsGroup& group) const = 0;
    virtual bool ShowsUnreadCounts() const = 0;
    virtual void ShowContextMenu(const QPoint& globalPos) = 0;

protected:
    ~GroupTreeOwner() = default;
};

class CGroupTreeBox : public widgets::CTreeListBox {
    Q_OBJECT
public:
    CGroupTreeBox(GroupTreeOwner& view, QWidget* parent);

    static news::CNewsGroup* GroupOf(const widgets::CTreeListItem* node)
    {
        return node ? reinterpret_cast<news::CNewsGroup*>(node->data_) : nullptr;
    }

    void SetRowSel(int index, bool select) override;
    void OnSelChanged(int index, widgets::CTreeListItem* node) override;
    void GetNodeImages(const widgets::CTreeListItem* node, int& image, int& selectedImage,
                       int& expandedImage) override;
    std::string GetColumnText(const widgets::CTreeListItem* node, int column) override;

protected:
    bool OnReflectDblClk() override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    GroupTreeOwner& view_;
};

} // namespace ui
