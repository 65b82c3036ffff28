#pragma once
// One newsgroup as the server lists it and as the read-marks file remembers it.

#include <cstdint>
#include <string>

namespace news {

struct CNewsGroup {
    std::string m_strName;        // full dotted name; the key in the group table
    std::int32_t m_nFirst = 0;    // lowest article number the server reported
    std::int32_t m_nLast = 0;     // highest article number the server reported
    bool m_bPostAllowed = true;
    bool m_bSubscribed = true;
    bool m_bNew = true;           // not known from the read-marks file
    std::string m_strReadList;    // read marks, "1-120,125"
    bool m_bHasUnread = false;    // cache kept by the group pane
};

// False when the server reports first == last, even if that one article is
// unread; otherwise whether some number of first..last is not in the marks.
bool HasUnread(const CNewsGroup& group);
// Numbers of first..last not in the marks.
std::int64_t CountUnread(const CNewsGroup& group);

} // namespace news
