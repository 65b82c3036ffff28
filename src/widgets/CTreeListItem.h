#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "widgets/SiblingIndex.h"

namespace widgets {

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
    CTreeListItem* ParentLink() const { return parent_; }
    CTreeListItem* PrevSibling() const { return prev_; }
    CTreeListItem* NextSibling() const { return next_; }
    CTreeListItem* FirstChild() const { return child_; }

    bool IsExpanded() const { return (state_ & Expanded) != 0; }
    bool HasChildren() const { return child_ != nullptr; }

    std::uint32_t state_ = 0;
    std::string text_;
    std::uintptr_t data_ = 0;
    int selImage_ = 0;
    int image_ = 0;
    int expandedImage_ = -1;

private:
    friend class CTreeListBox;

    CTreeListItem* parent_ = nullptr;
    CTreeListItem* prev_ = nullptr;
    CTreeListItem* next_ = nullptr;
    CTreeListItem* child_ = nullptr;

    // Book-keeping so that walks up the tree and appends to long sibling
    // chains do not have to scan the chain.
    CTreeListItem* owner_ = nullptr;      // parent of every child, not only the first
    CTreeListItem* lastChild_ = nullptr;
    int children_ = 0;
    // The children in order while sorted insertion searches a long chain;
    // kept through sorted insertions and removals, dropped whenever the
    // chain changes otherwise.
    std::unique_ptr<SiblingIndex> index_;
};

} // namespace widgets
