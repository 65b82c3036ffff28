#include "news/GroupTable.h"

namespace news {

CNewsGroup* CGroupTable::Find(std::string_view name)
{
    const auto it = index_.find(name);
    return it == index_.end() ? nullptr : groups_[it->second].get();
}

const CNewsGroup* CGroupTable::Find(std::string_view name) const
{
    const auto it = index_.find(name);
    return it == index_.end() ? nullptr : groups_[it->second].get();
}

CNewsGroup* CGroupTable::Set(std::unique_ptr<CNewsGroup> group)
{
    CNewsGroup* raw = group.get();
    const auto it = index_.find(std::string_view(raw->m_strName));
    if (it == index_.end()) {
        groups_.push_back(std::move(group));
        index_.emplace(std::string_view(raw->m_strName), groups_.size() - 1);
        return raw;
    }
    // The key views the old group's name: re-key before that group goes.
    const std::size_t at = it->second;
    index_.erase(it);
    groups_[at] = std::move(group);
    index_.emplace(std::string_view(raw->m_strName), at);
    return raw;
}

void CGroupTable::RemoveAll()
{
    index_.clear();
    groups_.clear();
}

void CGroupTable::Reserve(std::size_t count)
{
    index_.reserve(count);
    groups_.reserve(count);
}

} // namespace news
