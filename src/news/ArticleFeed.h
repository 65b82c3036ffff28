#pragma once
// Where the article walk of opening a group gets each article's header:
// the overview in chunks of the range, or HEAD per article when the server
// has no overview or a group's overview does not fit. Both send ahead of
// the walk and hand out answers in the walk's own order (newest first), so
// the walk decides everything exactly as asking one at a time would.

#include "net/Nntp.h"
#include "news/HeaderStore.h"
#include "news/ReadList.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <utility>
#include <optional>
#include <string>
#include <vector>

namespace news::detail {

// Gone articles in a row after which the walk stops: a server may claim a
// range of two billion and have none of it.
inline constexpr std::int64_t kMaxGoneInARow = 10'000;
// How many numbers the walk's first overview chunk spans under a read limit (-1: none).
std::int32_t FirstChunkSize(std::int64_t limit);

// The numbers a walk asks the server for: from hi down to lo, those not
// listed yet, not known (the header store answers for them) and, unless read
// ones are shown, not read. The one place that decides them.
class FetchPlan {
public:
    // listed: the numbers already in the list, sorted; known: sorted, joined ranges.
    FetchPlan(std::int64_t lo, std::int64_t hi, bool includeRead, const CReadList& marks,
              std::vector<std::int32_t> listed, std::vector<CReadSet> known = {});
    std::int64_t Lo() const { return lo_; }
    std::int64_t Hi() const { return hi_; }
    std::int64_t Total() const { return hi_ >= lo_ ? hi_ - lo_ + 1 : 0; }
    bool IncludeRead() const { return includeRead_; }
    bool Wanted(std::int64_t n) const;
    bool Listed(std::int32_t n) const { return std::binary_search(listed_.begin(), listed_.end(), n); }
    bool Known(std::int64_t n) const;
    // The lowest number from which up to top none is known: a chunk of the
    // range that starts there asks for nothing the store has.
    std::int64_t UnknownFloor(std::int64_t top) const;
    // The highest wanted number from `from` down to floor, or floor - 1;
    // a read run is passed in one step.
    std::int64_t NextWanted(std::int64_t from, std::int64_t floor) const;
    // The lowest number neither read (unless read ones are wanted) nor
    // stored: the walk ends there or above; Hi() + 1 when there is none.
    std::int64_t Bottom() const { return bottom_; }

private:
    std::int64_t lo_, hi_;
    bool includeRead_;
    const CReadList& marks_;
    std::vector<std::int32_t> listed_;
    std::vector<CReadSet> known_;
    std::int64_t bottom_;
    // The known range holding n, or the first one above it.
    std::vector<CReadSet>::const_iterator KnownAt(std::int64_t n) const;
};

// A group's headers in the store, for one walk: what it holds, and what the
// walk took from the server since, written back a batch at a time.
class StoredHeaders {
public:
    // Without a store (null) it answers for nothing and keeps nothing.
    StoredHeaders(HeaderStore* store, std::string server, std::string group, std::int64_t lo, std::int64_t hi);
    // The numbers of lo..hi the store answers for.
    const std::vector<CReadSet>& Known() const { return known_; }
    // The stored record of a known number; null for one the server no longer
    // had, or when the store could not be read (Failed()).
    HeaderRecord* Find(std::int32_t n);
    bool Failed() const { return failed_; }
    // The walk took the server's answer for n: its article, or null when gone.
    void Took(std::int32_t n, const CArticle* article);
    // Writes what was taken; also on the way out, so a Cancel keeps it.
    void Flush();
    ~StoredHeaders() { Flush(); }
    StoredHeaders(const StoredHeaders&) = delete;
    StoredHeaders& operator=(const StoredHeaders&) = delete;

private:
    HeaderStore* store_ = nullptr;
    std::string server_, group_;
    // A window of the stored records (by number), read as the walk comes
    // down to it: a walk that stops early, or passes read runs, reads little.
    std::vector<HeaderRecord> stored_;
    std::int64_t storedFrom_ = 0; // the window holds storedFrom_..its top
    bool failed_ = false;
    std::vector<CReadSet> known_;
    std::vector<HeaderRecord> taken_;
    std::vector<CReadSet> takenNumbers_;
    std::size_t takenCount_ = 0;
};

// What the walk has done so far; the feeds send no further ahead than it may still need.
struct WalkCounters {
    std::int64_t fetched = 0;
    std::int64_t unread = 0;
    std::int64_t goneInARow = 0;
    std::int64_t limit = -1; // -1: none
    // How many more answers the walk may use before the limit or the gone run stops it.
    std::int64_t Room() const;
};

enum class Answer {
    Header,  // header holds the article's header lines
    Gone,    // the server no longer has it: it counts as read
    Skip,    // some other refusal for this article alone
    Refused, // the server refuses service or the connection broke: the walk stops
};

class HeadFeed {
public:
    HeadFeed(net::CNntp& nntp, const FetchPlan& plan, const WalkCounters& counters);
    Answer Take(std::int32_t n, std::string& header);
    // Sends from n down from now on (after the overview gave up at n).
    void StartAt(std::int64_t n);
    // Reads and drops what is still ahead.
    void Finish();

private:
    enum class Got { Answered, AskAgain };
    struct Reply {
        std::int32_t number = 0;
        Answer answer = Answer::Skip;
        std::string header;
    };
    void SendAhead(std::int64_t n);
    Got Receive(std::int32_t n, Reply& reply);
    Answer AskOne(std::int32_t n, std::string& header);

    net::CNntp& nntp_;
    const FetchPlan& plan_;
    const WalkCounters& counters_;
    std::deque<std::int32_t> ahead_;
    std::int64_t next_;
    std::size_t window_;
    // The reply after a "gone", read to be sure the gone was this article's.
    std::optional<Reply> buffered_;
};

// An OVER sent right behind GROUP, before the group's range was known:
// from above the stored numbers up to hi.
struct OverAhead {
    std::int32_t lo = 0, hi = 0;
};

// The overview path, with HEAD as its fallback for the rest of the group.
class HeaderFeed {
public:
    // useOverview false: HEAD only. gaps: how many numbers of the group's
    // range the server says are not there (-1 unknown); more gaps than that
    // in the overview are each asked by HEAD. early: an OVER whose reply is
    // the only one still ahead; taken as the first chunk when it is the one
    // the walk needs, else read and dropped.
    HeaderFeed(net::CNntp& nntp, const FetchPlan& plan, const WalkCounters& counters, bool useOverview,
               std::int64_t gaps, std::optional<OverAhead> early = {});
    Answer Take(std::int32_t n, std::string& header);
    void Finish();
    // Why the overview was given up for this group; empty when it was not.
    const std::string& FallbackReason() const { return fallback_; }

private:
    struct Sent {
        enum Kind { Over, Hdr, Head } kind;
        std::int32_t lo, hi; // the chunk (Head: the article)
        bool closesChunk;    // the chunk has arrived once this reply is read
        // Asked up to here: numbers above hi came after GROUP and are passed over.
        std::int32_t asked = hi;
    };
    bool TakeEarly(const OverAhead& early);
    enum class Got { Ok, AskAgain, Refused, Unfit };
    void SendChunks();
    Got ReadNext(std::string* headHeader, Answer* headAnswer);
    Got ReadOver(const Sent& s);
    Got ReadHdr(const Sent& s);
    Got AskChunkOne(const Sent& s);
    Answer CheckGap(std::int32_t n, std::string& header);
    Answer FallBack(std::int32_t n, std::string& header, const std::string& reason);

    net::CNntp& nntp_;
    const FetchPlan& plan_;
    const WalkCounters& counters_;
    HeadFeed heads_;
    bool overview_;
    std::string fallback_;
    net::OverviewSupport support_;
    bool needXref_ = false;
    std::deque<Sent> ahead_;
    // The headers arrived and not yet taken, highest number first: chunks
    // arrive from the top down and the walk takes them in the same order.
    // A chunk's headers lie one after the other in one text, so an article
    // costs no allocation of its own.
    struct Record {
        std::int32_t number;
        const std::string* text;
        std::size_t at, size;
        std::string xref; // "Xref: ...\r\n" by HDR, when the overview lacks it
    };
    void DropTaken();
    std::deque<Record> records_;
    std::vector<Record> chunk_;     // one chunk's lines as they arrive, lowest first
    std::deque<std::string> texts_; // the chunks' texts, oldest first
    // Texts taken, kept for the next chunks: freeing and growing a large
    // text for every chunk cost more than reading the chunk.
    std::vector<std::string> spare_;
    net::OverviewRecord parsed_;
    std::int64_t next_;      // the highest number not asked for yet
    std::int64_t arrived_;   // every chunk from hi down to here has arrived
    bool gapsExplained_ = false;
    std::int64_t gapsAllowed_;
    std::int64_t gapsSeen_ = 0; // numbers of the chunks arrived that the overview lacks
};

} // namespace news::detail
