#pragma once
// What must hold for any read-marks text, whoever wrote it.
#include "news/ReadList.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

inline void CheckReadList(std::string_view marks, std::int32_t first, std::int32_t last)
{
    news::CReadList list;
    list.Parse(marks);
    if (list.GetCount() > 64)
        return; // the brute-force comparisons below are quadratic

    // Normalizing joins ranges but never changes which numbers are read.
    std::vector<std::int64_t> probes = {0, first, last};
    for (const news::CReadSet& r : list.Sets())
        for (std::int64_t n : {std::int64_t(r.m_nStart) - 1, std::int64_t(r.m_nStart),
                               std::int64_t(r.m_nEnd), std::int64_t(r.m_nEnd) + 1})
            probes.push_back(n);
    std::erase_if(probes, [](std::int64_t n) { return n < 0 || n > INT32_MAX; });
    news::CReadList normal = list;
    normal.Normalize();
    for (std::int64_t n : probes)
        if (list.IsRead(std::int32_t(n)) != normal.IsRead(std::int32_t(n)))
            std::abort();

    // The written form reads back as the same list.
    std::string text;
    normal.Format(text, false);
    news::CReadList again;
    again.Parse(text);
    if (again.Sets() != normal.Sets())
        std::abort();

    // The range test agrees with asking number by number.
    if (first <= last && std::int64_t(last) - first < 512) {
        bool unread = false;
        for (std::int64_t n = first; n <= last && !unread; ++n)
            unread = !list.IsRead(std::int32_t(n));
        if (list.HasUnreadIn(first, last) != unread)
            std::abort();
    }
}

} // namespace fuzz
