#pragma once
// The children of one owner in chain order, by position, kept in short
// blocks: reaching a position, inserting and removing cost a search and a
// short move instead of a move of the whole array.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace widgets {

class CTreeListItem;

class SiblingIndex {
public:
    explicit SiblingIndex(const std::vector<CTreeListItem*>& chain) : size_(chain.size())
    {
        for (std::size_t i = 0; i < chain.size(); i += kBlock) {
            starts_.push_back(i);
            blocks_.emplace_back(chain.begin() + std::ptrdiff_t(i),
                                 chain.begin() + std::ptrdiff_t(std::min(chain.size(), i + kBlock)));
        }
        if (blocks_.empty()) {
            starts_.push_back(0);
            blocks_.emplace_back();
        }
    }

    std::size_t Size() const { return size_; }
    CTreeListItem* At(std::size_t i) const
    {
        const std::size_t b = BlockOf(i);
        return blocks_[b][i - starts_[b]];
    }
    // Puts node at position i (Size() appends).
    void Insert(std::size_t i, CTreeListItem* node)
    {
        const std::size_t b = BlockOf(i);
        auto& block = blocks_[b];
        block.insert(block.begin() + std::ptrdiff_t(i - starts_[b]), node);
        ++size_;
        for (std::size_t k = b + 1; k < starts_.size(); ++k)
            ++starts_[k];
        if (block.size() >= 2 * kBlock) {
            std::vector<CTreeListItem*> upper(block.begin() + std::ptrdiff_t(kBlock), block.end());
            block.resize(kBlock);
            blocks_.insert(blocks_.begin() + std::ptrdiff_t(b + 1), std::move(upper));
            starts_.insert(starts_.begin() + std::ptrdiff_t(b + 1), starts_[b] + kBlock);
        }
    }
    // Removes node, looked for by a binary search with compare (the node's
    // order against it); false when it is not where the search leads, as in
    // a chain that is not sorted.
    template <class Compare> bool Erase(const CTreeListItem* node, Compare compare)
    {
        std::size_t lo = 0, hi = size_;
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (compare(At(mid)) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        for (; lo < size_ && At(lo) != node; ++lo)
            if (compare(At(lo)) != 0)
                return false;
        if (lo == size_)
            return false;
        const std::size_t b = BlockOf(lo);
        auto& block = blocks_[b];
        block.erase(block.begin() + std::ptrdiff_t(lo - starts_[b]));
        --size_;
        for (std::size_t k = b + 1; k < starts_.size(); ++k)
            --starts_[k];
        if (block.empty() && blocks_.size() > 1) {
            blocks_.erase(blocks_.begin() + std::ptrdiff_t(b));
            starts_.erase(starts_.begin() + std::ptrdiff_t(b));
        }
        return true;
    }

private:
    // The block holding position i; the last one for i == Size().
    std::size_t BlockOf(std::size_t i) const
    {
        return std::size_t(std::upper_bound(starts_.begin(), starts_.end(), i) - starts_.begin()) - 1;
    }

    static constexpr std::size_t kBlock = 256;
    std::vector<std::vector<CTreeListItem*>> blocks_;
    std::vector<std::size_t> starts_; // position of each block's first node
    std::size_t size_ = 0;
};

} // namespace widgets
