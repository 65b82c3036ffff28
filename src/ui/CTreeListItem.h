#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// What a caller gives to create one node.
struct TreeListItemInfo {
    std::string text;           // Shift_JIS; also the default sort key
    int expanded = 0;           // non-zero: the node starts expanded
    int selectedImage = 0;
    int image = 0;
    std::uintptr_t userValue = 0;
};

// One node of a CTreeListBox. Nodes are created and deleted only by the
// control; the links are read-only outside it.
class CTreeListItem {
public:
    static constexpr std::uint32_t Expanded = 1;

    // Only the first child of a parent carries the parent link.
    CTreeListItem* ParentLink() const { return m_pParent; }
    CTreeListItem* PrevSibling() const { return m_pPrev; }
    CTreeListItem* NextSibling() const { return m_pNext; }
    CTreeListItem* FirstChild() const { return m_pChild; }

    bool IsExpanded() const { return (m_nState & Expanded) != 0; }
    bool HasChildren() const { return m_pChild != nullptr; }

    std::uint32_t m_nState = 0;
    std::string m_strText;
    std::uintptr_t m_dwData = 0;
    int m_nSelImage = 0;
    int m_nImage = 0;
    int m_nExpandedImage = -1;

private:
    friend class CTreeListBox;

    CTreeListItem* m_pParent = nullptr;
    CTreeListItem* m_pPrev = nullptr;
    CTreeListItem* m_pNext = nullptr;
    CTreeListItem* m_pChild = nullptr;

    // Book-keeping so that walks up the tree and appends to long sibling
    // chains do not have to scan the chain.
    CTreeListItem* m_pOwner = nullptr;      // parent of every child, not only the first
    CTreeListItem* m_pLastChild = nullptr;
    int m_nChildren = 0;
    // The children as an array while sorted insertion searches a long chain;
    // dropped whenever the chain changes otherwise.
    std::unique_ptr<std::vector<CTreeListItem*>> m_pIndex;
};

} // namespace ui
