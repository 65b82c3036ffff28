#include "news/ReadList.h"

#include <algorithm>
#include <limits>

namespace news {

namespace {

using i64 = std::int64_t;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::int32_t ReadMarkNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Saturate instead of overflowing: a hand-edited 99999999999 stays huge.
    constexpr i64 limit = i64(std::numeric_limits<std::int32_t>::max()) + 1;
    i64 value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit)
            value = limit;
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min<i64>(value, limit - 1));
}

bool CReadList::Add(std::int32_t n)
{
    if (n < 0)
        return false;
    if (IsRead(n))
        return true;
    SortedAdd(n);
    for (auto& r : sets_) {
        if (i64(r.m_nStart) == i64(n) + 1) {
            r.m_nStart = n;
            return true;
        }
        if (i64(r.m_nEnd) == i64(n) - 1) {
            r.m_nEnd = n;
            return true;
        }
    }
    sets_.emplace_back(n, n);
    return true;
}

namespace {
// Below this many ranges a plain walk is as quick as a search.
constexpr std::size_t kSearchFrom = 16;
} // namespace

const std::vector<CReadSet>& CReadList::Joined() const
{
    if (!sortedValid_) {
        sorted_.clear();
        for (const auto& r : sets_)
            if (r.m_nStart <= r.m_nEnd)
                sorted_.push_back(r);
        std::sort(sorted_.begin(), sorted_.end(),
                  [](const CReadSet& a, const CReadSet& b) { return a.m_nStart < b.m_nStart; });
        std::size_t keep = 0;
        for (const CReadSet& r : sorted_) {
            if (keep && i64(r.m_nStart) <= i64(sorted_[keep - 1].m_nEnd) + 1)
                sorted_[keep - 1].m_nEnd = std::max(sorted_[keep - 1].m_nEnd, r.m_nEnd);
            else
                sorted_[keep++] = r;
        }
        sorted_.resize(keep);
        sortedValid_ = true;
    }
    return sorted_;
}

namespace {

// The joined range that holds n, or end.
std::vector<CReadSet>::const_iterator RangeHolding(const std::vector<CReadSet>& joined, std::int32_t n)
{
    auto after = std::upper_bound(joined.begin(), joined.end(), n,
                                  [](std::int32_t v, const CReadSet& r) { return v < r.m_nStart; });
    return after != joined.begin() && n <= std::prev(after)->m_nEnd ? std::prev(after) : joined.end();
}

} // namespace

bool CReadList::IsRead(std::int32_t n) const
{
    if (sets_.size() < kSearchFrom) {
        for (const auto& r : sets_)
            if (r.m_nStart <= n && n <= r.m_nEnd)
                return true;
        return false;
    }
    const std::vector<CReadSet>& joined = Joined();
    return RangeHolding(joined, n) != joined.end();
}

std::int32_t CReadList::ReadRunStart(std::int32_t n) const
{
    const std::vector<CReadSet>& joined = Joined();
    const auto range = RangeHolding(joined, n);
    return range == joined.end() ? n : range->m_nStart;
}

std::int32_t CReadList::ReadRunEnd(std::int32_t n) const
{
    const std::vector<CReadSet>& joined = Joined();
    const auto range = RangeHolding(joined, n);
    return range == joined.end() ? n : range->m_nEnd;
}

void CReadList::SortedAdd(std::int32_t n)
{
    if (!sortedValid_)
        return;
    auto after = std::upper_bound(sorted_.begin(), sorted_.end(), n,
                                  [](std::int32_t v, const CReadSet& r) { return v < r.m_nStart; });
    if (after != sorted_.begin() && i64(std::prev(after)->m_nEnd) + 1 >= i64(n)) {
        auto prev = std::prev(after);
        prev->m_nEnd = std::max(prev->m_nEnd, n);
        if (after != sorted_.end() && i64(after->m_nStart) <= i64(prev->m_nEnd) + 1) {
            prev->m_nEnd = std::max(prev->m_nEnd, after->m_nEnd);
            sorted_.erase(after);
        }
    } else if (after != sorted_.end() && i64(after->m_nStart) - 1 <= i64(n)) {
        after->m_nStart = n;
    } else {
        sorted_.insert(after, CReadSet(n, n));
    }
}

std::int64_t CReadList::CountUnread(std::int32_t lo, std::int32_t hi)
{
    sortedValid_ = false;
    const i64 total = i64(hi) - i64(lo) + 1;
    if (total < 1)
        return 0;
    i64 count = total;
    std::size_t keep = 0;
    for (std::size_t i = 0; i < sets_.size(); ++i) {
        CReadSet r = sets_[i];
        if (r.m_nStart >= lo) {
            count -= i64(r.m_nEnd) - i64(r.m_nStart) + 1;
        } else if (r.m_nEnd < lo) {
            continue; // wholly below the server's range: dropped
        } else {
            r.m_nStart = lo;
            count -= i64(r.m_nEnd) - i64(lo) + 1;
        }
        sets_[keep++] = r;
    }
    sets_.resize(keep);
    return count < 0 ? 0 : count;
}

bool CReadList::Parse(std::string_view text)
{
    sortedValid_ = false;
    sets_.clear();
    // Tokens as strtok would cut them: the first ends at ':', '!', ',' or a
    // blank, every later one at ',' or a blank; empty tokens vanish.
    std::size_t pos = 0;
    bool first = true;
    while (pos < text.size()) {
        auto isDelim = [first](char c) {
            return c == ',' || c == ' ' || (first && (c == ':' || c == '!'));
        };
        while (pos < text.size() && isDelim(text[pos]))
            ++pos;
        if (pos >= text.size())
            break;
        std::size_t end = pos;
        while (end < text.size() && !isDelim(text[end]))
            ++end;
        std::string_view token = text.substr(pos, end - pos);
        pos = end + 1; // the delimiter that ended the token is consumed
        first = false;

        const std::size_t dash = token.find('-');
        if (dash != std::string_view::npos)
            sets_.emplace_back(ReadMarkNumber(token.substr(0, dash)), ReadMarkNumber(token.substr(dash + 1)));
        else {
            const std::int32_t n = ReadMarkNumber(token);
            sets_.emplace_back(n, n);
        }
    }
    return true;
}

std::size_t CReadList::Format(std::string& out, bool normalize)
{
    out.clear();
    if (normalize)
        Normalize();
    for (std::size_t i = 0; i < sets_.size(); ++i) {
        if (i)
            out += ',';
        out += std::to_string(sets_[i].m_nStart);
        if (sets_[i].m_nEnd != sets_[i].m_nStart) {
            out += '-';
            out += std::to_string(sets_[i].m_nEnd);
        }
    }
    return sets_.size();
}

void CReadList::Normalize()
{
    sortedValid_ = false;
    std::erase_if(sets_, [](const CReadSet& r) { return r.m_nStart < 0 || r.m_nEnd < 0; });

    // Ranges that neither overlap nor touch, in any order, leave the pass
    // nothing to join: skip its pairwise walk, which a long list makes slow.
    std::vector<CReadSet> byStart(sets_);
    std::sort(byStart.begin(), byStart.end(),
              [](const CReadSet& a, const CReadSet& b) { return a.m_nStart < b.m_nStart; });
    bool apart = true;
    for (std::size_t i = 0; i < byStart.size() && apart; ++i)
        apart = byStart[i].m_nStart <= byStart[i].m_nEnd &&
                (i == 0 || i64(byStart[i].m_nStart) > i64(byStart[i - 1].m_nEnd) + 1);
    if (apart)
        return;

    // One forward pass; merged ranges are marked dead and dropped at the end
    // so that the survivors keep their order.
    std::vector<bool> dead(sets_.size(), false);
    for (std::size_t i = 0; i < sets_.size(); ++i) {
        if (dead[i])
            continue;
        CReadSet& a = sets_[i];
        for (std::size_t j = i + 1; j < sets_.size(); ++j) {
            if (dead[j])
                continue;
            const CReadSet& b = sets_[j];
            if (a.m_nStart <= b.m_nStart && i64(b.m_nStart) <= i64(a.m_nEnd) + 1) {
                a.m_nEnd = std::max(a.m_nEnd, b.m_nEnd);
                dead[j] = true;
            } else if (i64(a.m_nStart) <= i64(b.m_nEnd) + 1 && b.m_nEnd <= a.m_nEnd) {
                a.m_nStart = std::min(a.m_nStart, b.m_nStart);
                dead[j] = true;
            } else if (b.m_nStart < a.m_nStart && b.m_nEnd > a.m_nEnd) {
                // A later range holding a whole earlier one replaces it, so
                // the numbers are not stored (and counted) twice.
                a = b;
                dead[j] = true;
            }
        }
    }
    std::size_t keep = 0;
    for (std::size_t i = 0; i < sets_.size(); ++i)
        if (!dead[i])
            sets_[keep++] = sets_[i];
    sets_.resize(keep);
}

bool CReadList::HasUnreadIn(std::int32_t first, std::int32_t last) const
{
    return CountUnreadIn(first, last) > 0;
}

std::int64_t CReadList::CountUnreadIn(std::int32_t first, std::int32_t last) const
{
    if (last < first)
        return 0;
    // Ranges clipped to first..last, sorted: the gaps are the unread numbers.
    std::vector<CReadSet> parts;
    parts.reserve(sets_.size());
    for (const auto& r : sets_) {
        const std::int32_t s = std::max(r.m_nStart, first);
        const std::int32_t e = std::min(r.m_nEnd, last);
        if (s <= e)
            parts.emplace_back(s, e);
    }
    std::sort(parts.begin(), parts.end(),
              [](const CReadSet& x, const CReadSet& y) { return x.m_nStart < y.m_nStart; });
    i64 next = first; // lowest number not yet known to be read
    i64 unread = 0;
    for (const auto& p : parts) {
        if (p.m_nStart > next)
            unread += p.m_nStart - next;
        next = std::max<i64>(next, i64(p.m_nEnd) + 1);
    }
    if (next <= last)
        unread += i64(last) - next + 1;
    return unread;
}

bool CReadList::Remove(std::int32_t n)
{
    sortedValid_ = false;
    bool removed = false;
    for (std::size_t i = 0; i < sets_.size(); ++i) {
        CReadSet& r = sets_[i];
        if (n < r.m_nStart || n > r.m_nEnd)
            continue;
        removed = true;
        if (r.m_nStart == r.m_nEnd) {
            sets_.erase(sets_.begin() + std::ptrdiff_t(i--));
        } else if (n == r.m_nStart) {
            ++r.m_nStart;
        } else if (n == r.m_nEnd) {
            --r.m_nEnd;
        } else {
            const CReadSet upper(n + 1, r.m_nEnd);
            r.m_nEnd = n - 1;
            sets_.insert(sets_.begin() + std::ptrdiff_t(++i), upper);
        }
    }
    return removed;
}

} // namespace news
