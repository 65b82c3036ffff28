#include "ui/CGroupTreeBox.h"

#include "news/NewsGroup.h"
#include "ui/CGroupView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>

using namespace news;

namespace ui {

CGroupTreeBox::CGroupTreeBox(CGroupView& view, QWidget* parent) : CTreeListBox(parent), m_view(view) {}

void CGroupTreeBox::SetRowSel(int index, bool select)
{
    CTreeListBox::SetRowSel(index, select);
    m_view.UpdateTitle();
}

void CGroupTreeBox::OnSelChanged(int, CTreeListItem*)
{
    m_view.UpdateTitle();
}

void CGroupTreeBox::GetNodeImages(const CTreeListItem* node, int& image, int& selectedImage,
                                  int& expandedImage)
{
    CNewsGroup* group = GroupOf(node);
    if (node == m_view.Root()) {
        image = selectedImage = expandedImage = 0;
        return;
    }
    if (!group) {
        image = selectedImage = 1;
        expandedImage = 2;
        return;
    }
    int base;
    if (group->m_bNew) {
        base = 5;
    } else if (group->m_bSubscribed) {
        // Asked at every draw: reading articles changes the answer.
        group->m_bHasUnread = m_view.HasUnread(*group);
        base = group->m_bHasUnread ? 7 : 9;
    } else {
        base = group->m_bHasUnread ? 11 : 13;
    }
    image = expandedImage = base;
    selectedImage = base + 1;
}

std::string CGroupTreeBox::GetColumnText(const CTreeListItem* node, int)
{
    const CNewsGroup* group = GroupOf(node);
    if (!group)
        return node->m_strText;
    const std::string& name = group->m_strName;
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(dot + 1);
}

bool CGroupTreeBox::OnReflectDblClk()
{
    if (m_view.OpenSelectedGroup())
        return true;
    return CTreeListBox::OnReflectDblClk();
}

void CGroupTreeBox::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier))) {
        m_view.OpenSelectedGroup();
        return;
    }
    CTreeListBox::keyPressEvent(event);
}

void CGroupTreeBox::contextMenuEvent(QContextMenuEvent* event)
{
    m_view.ShowContextMenu(event->globalPos());
}

} // namespace ui
