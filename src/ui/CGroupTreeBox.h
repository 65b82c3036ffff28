#pragma once
// The tree of the group pane: nodes are dotted name components, a node that
// stands for a group carries that CNewsGroup as its user value.

#include "ui/CTreeListBox.h"

namespace news { struct CNewsGroup; }

namespace ui {

class CGroupView;

class CGroupTreeBox : public CTreeListBox {
    Q_OBJECT
public:
    CGroupTreeBox(CGroupView& view, QWidget* parent);

    static news::CNewsGroup* GroupOf(const CTreeListItem* node)
    {
        return node ? reinterpret_cast<news::CNewsGroup*>(node->data_) : nullptr;
    }

    void SetRowSel(int index, bool select) override;
    void OnSelChanged(int index, CTreeListItem* node) override;
    void GetNodeImages(const CTreeListItem* node, int& image, int& selectedImage,
                       int& expandedImage) override;
    std::string GetColumnText(const CTreeListItem* node, int column) override;

protected:
    bool OnReflectDblClk() override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    CGroupView& view_;
};

} // namespace ui
