#include "news/GroupTable.h"

namespace news {

CNewsGroup* CGroupTable::Find(std::string_view name)
{
    const auto it = m_index.find(name);
    return it == m_index.end() ? nullptr : m_groups[it->second].get();
}

const CNewsGroup* CGroupTable::Find(std::string_view name) const
{
    const auto it = m_index.find(name);
    return it == m_index.end() ? nullptr : m_groups[it->second].get();
}

CNewsGroup* CGroupTable::Set(std::unique_ptr<CNewsGroup> group)
{
    CNewsGroup* raw = group.get();
    const auto it = m_index.find(std::string_view(raw->m_strName));
    if (it == m_index.end()) {
        m_groups.push_back(std::move(group));
        m_index.emplace(std::string_view(raw->m_strName), m_groups.size() - 1);
        return raw;
    }
    // The key views the old group's name: re-key before that group goes.
    const std::size_t at = it->second;
    m_index.erase(it);
    m_groups[at] = std::move(group);
    m_index.emplace(std::string_view(raw->m_strName), at);
    return raw;
}

void CGroupTable::RemoveAll()
{
    m_index.clear();
    m_groups.clear();
}

void CGroupTable::Reserve(std::size_t count)
{
    m_index.reserve(count);
    m_groups.reserve(count);
}

} // namespace news
