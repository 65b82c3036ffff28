#pragma once
// Read article numbers of one group: a list of closed ranges kept in the order
// they were added or parsed, and its text form "1-120,125,130-131" as stored
// in a group record and in the read-marks file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace news {

// One range of read article numbers, both ends included. Nothing forces
// m_nStart <= m_nEnd: a malformed token such as "12-" reads as 12..0.
struct CReadSet {
    std::int32_t m_nStart = 0;
    std::int32_t m_nEnd = 0;

    CReadSet() = default;
    CReadSet(std::int32_t start, std::int32_t end) : m_nStart(start), m_nEnd(end) {}
    bool operator==(const CReadSet&) const = default;
};

class CReadList {
public:
    // Marks n read. Grows the first range that n touches (its start first,
    // then its end) or appends n..n; never joins two ranges. False for n < 0.
    bool Add(std::int32_t n);
    bool IsRead(std::int32_t n) const;
    // The first number of the run of read numbers that holds n; n when n is
    // not read. Lets a walk pass a long read range in one step.
    std::int32_t ReadRunStart(std::int32_t n) const;
    // The last number of that run; n when n is not read.
    std::int32_t ReadRunEnd(std::int32_t n) const;
    // Unread numbers of the server's range lo..hi (never negative). Whole
    // ranges starting at or above lo are subtracted, also their part above hi;
    // ranges wholly below lo are dropped and a range straddling lo is clipped.
    std::int64_t CountUnread(std::int32_t lo, std::int32_t hi);
    // Replaces the list by the ranges of a read-marks text. Always true.
    bool Parse(std::string_view text);
    // Writes the list as read-marks text; returns the number of ranges.
    std::size_t Format(std::string& out, bool normalize);
    // Drops ranges with a negative end, then joins overlapping and adjacent
    // ranges in one forward pass.
    void Normalize();
    void RemoveAll()
    {
        sets_.clear();
        sortedValid_ = false;
    }

    // True when some number of first..last is not read. Works on the ranges,
    // so a group of millions of articles costs no more than a small one.
    bool HasUnreadIn(std::int32_t first, std::int32_t last) const;
    // How many numbers of first..last are not read.
    std::int64_t CountUnreadIn(std::int32_t first, std::int32_t last) const;
    // Marks n unread wherever a range holds it (splitting that range).
    // False when n was not read.
    bool Remove(std::int32_t n);

    const std::vector<CReadSet>& Sets() const { return sets_; }
    std::size_t GetCount() const { return sets_.size(); }
    void Append(CReadSet set)
    {
        sets_.push_back(set);
        sortedValid_ = false;
    }

private:
    void SortedAdd(std::int32_t n);
    const std::vector<CReadSet>& Joined() const;

    std::vector<CReadSet> sets_;
    // The ranges sorted and joined, for IsRead on a long list: built on
    // demand, kept through Add, dropped by every other change.
    mutable std::vector<CReadSet> sorted_;
    mutable bool sortedValid_ = false;
};

// The number a read-marks token starts with: blanks skipped, an optional sign,
// the leading decimal digits (none read as 0), held to the 32-bit range.
std::int32_t ReadMarkNumber(std::string_view text);

} // namespace news
