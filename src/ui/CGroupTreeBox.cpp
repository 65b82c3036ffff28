#include "ui/CGroupTreeBox.h"

#include "news/NewsGroup.h"

#include <QContextMenuEvent>
#include <QKeyEvent>

using namespace widgets;

using namespace news;

namespace ui {

CGroupTreeBox::CGroupTreeBox(GroupTreeOwner& view, QWidget* parent) : CTreeListBox(parent), view_(view) {}

void CGroupTreeBox::SetRowSel(int index, bool select)
{
    CTreeListBox::SetRowSel(index, select);
    view_.UpdateTitle();
}

void CGroupTreeBox::OnSelChanged(int, CTreeListItem*)
{
    view_.UpdateTitle();
}

void CGroupTreeBox::GetNodeImages(const CTreeListItem* node, int& image, int& selectedImage,
                                  int& expandedImage)
{
    CNewsGroup* group = GroupOf(node);
    if (node == view_.Root()) {
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
        group->m_bHasUnread = view_.HasUnread(*group);
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
        return node->text_;
    const std::string& name = group->m_strName;
    const auto dot = name.rfind('.');
    std::string text = dot == std::string::npos ? name : name.substr(dot + 1);
    if (view_.ShowsUnreadCounts()) {
        if (const auto unread = news::CountUnread(*group); unread > 0)
            text += " (" + std::to_string(unread) + ')';
    }
    return text;
}

bool CGroupTreeBox::OnReflectDblClk()
{
    if (view_.OpenSelectedGroup())
        return true;
    return CTreeListBox::OnReflectDblClk();
}

void CGroupTreeBox::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier))) {
        view_.OpenSelectedGroup();
        return;
    }
    CTreeListBox::keyPressEvent(event);
}

void CGroupTreeBox::contextMenuEvent(QContextMenuEvent* event)
{
    view_.ShowContextMenu(event->globalPos());
}

} // namespace ui
