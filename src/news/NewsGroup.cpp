#include "news/NewsGroup.h"

#include "news/ReadList.h"

namespace news {

bool HasUnread(const CNewsGroup& group)
{
    if (group.m_nLast == group.m_nFirst)
        return false;
    CReadList marks;
    marks.Parse(group.m_strReadList);
    return marks.HasUnreadIn(group.m_nFirst, group.m_nLast);
}

std::int64_t CountUnread(const CNewsGroup& group)
{
    CReadList marks;
    marks.Parse(group.m_strReadList);
    return marks.CountUnreadIn(group.m_nFirst, group.m_nLast);
}

} // namespace news
