#include "news/GroupTable.h"

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
    const auto [it, inserted] = m_index.try_emplace(group->m_strName, m_groups.size());
    if (inserted)
        m_groups.push_back(std::move(group));
    else
        m_groups[it->second] = std::move(group);
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
