#include "news/ArticleFeed.h"

#include "message/HeaderFields.h"
#include "net/NntpReply.h"

#include <algorithm>
#include <climits>

namespace news::detail {

namespace {

// A header longer than this is not a header: the server is not in step.
constexpr std::size_t kMaxHeaderBytes = 8u << 20;
// HEADs in flight at first and at most. The window grows by one per reply,
// so it doubles each round trip; 256 keep a 50 ms link busy at about 5 000
// headers a second while a server's queue of our replies stays small.
constexpr std::size_t kFirstWindow = 32;
constexpr std::size_t kMaxWindow = 256;
// How far ahead of the walk HEADs may be sent, in article numbers: the walk
// pumps the windows as it goes, sending must not run far ahead of it.
constexpr std::int64_t kLookAhead = 4096;
// Overview chunks: a few in flight keep a far link busy, and a chunk is small
// enough that the first screen does not wait for the whole group.
constexpr std::int64_t kChunk = 2000;
constexpr std::int64_t kSmallestChunk = 100;
constexpr std::int64_t kLastChunk = 500;
constexpr std::size_t kChunksAhead = 4;

// The data of the reply just read, at most kMaxHeaderBytes; false when the connection broke.
bool ReadBlock(net::CNntp& nntp, std::string& text)
{
    text.clear();
    std::string line;
    for (;;) {
        const int r = nntp.ReadDataLine(line);
        if (r < 0)
            return false;
        if (r == 0)
            return true;
        text += line;
        if (text.size() > kMaxHeaderBytes) {
            nntp.MarkBroken();
            return false;
        }
    }
}

// A header whose Message-ID is not the one its status line names belongs to
// another reply: the server is not answering in step.
bool SameArticle(const std::string& status, const std::string& header)
{
    const std::size_t open = status.find('<');
    const std::string id = message::GetHeaderField(header, "Message-ID", false);
    if (open == std::string::npos || id.empty())
        return true;
    const std::size_t close = status.find('>', open);
    return close != std::string::npos && id == status.substr(open, close + 1 - open);
}

// What a status line without data means for one article.
Answer ByCode(int code)
{
    if (net::reply::ArticleGone(code))
        return Answer::Gone;
    // Not the article's fault: the read state is left alone and the walk stops.
    return net::reply::RefusesService(code) ? Answer::Refused : Answer::Skip;
}

} // namespace

FetchPlan::FetchPlan(std::int64_t lo, std::int64_t hi, bool includeRead, const CReadList& marks,
                     std::vector<std::int32_t> listed, std::vector<CReadSet> known)
    : lo_(std::max<std::int64_t>(lo, 1)), hi_(std::min<std::int64_t>(hi, INT32_MAX)), includeRead_(includeRead),
      marks_(marks), listed_(std::move(listed)), known_(std::move(known)), bottom_(lo_)
{
    while (bottom_ <= hi_) {
        const auto number = static_cast<std::int32_t>(bottom_);
        if (!includeRead_ && marks_.IsRead(number))
            bottom_ = std::int64_t{marks_.ReadRunEnd(number)} + 1;
        else if (const auto it = KnownAt(bottom_); it != known_.end() && it->m_nStart <= bottom_)
            bottom_ = std::int64_t{it->m_nEnd} + 1;
        else
            break;
    }
}

std::vector<CReadSet>::const_iterator FetchPlan::KnownAt(std::int64_t n) const
{
    return std::lower_bound(known_.begin(), known_.end(), n,
                            [](const CReadSet& r, std::int64_t v) { return r.m_nEnd < v; });
}

bool FetchPlan::Known(std::int64_t n) const
{
    const auto it = KnownAt(n);
    return it != known_.end() && it->m_nStart <= n;
}

std::int64_t FetchPlan::UnknownFloor(std::int64_t top) const
{
    auto it = KnownAt(top);
    if (it != known_.end() && it->m_nStart <= top)
        return std::int64_t{it->m_nEnd} + 1;
    return it == known_.begin() ? lo_ : std::max<std::int64_t>(std::prev(it)->m_nEnd + std::int64_t{1}, lo_);
}

bool FetchPlan::Wanted(std::int64_t n) const
{
    const auto number = static_cast<std::int32_t>(n);
    return (includeRead_ || !marks_.IsRead(number)) && !Listed(number) && !Known(n);
}

std::int64_t FetchPlan::NextWanted(std::int64_t from, std::int64_t floor) const
{
    floor = std::max(floor, lo_);
    while (from >= floor && !Wanted(from)) {
        const auto number = static_cast<std::int32_t>(from);
        if (!includeRead_ && marks_.IsRead(number))
            from = marks_.ReadRunStart(number) - std::int64_t{1};
        else if (const auto it = KnownAt(from); it != known_.end() && it->m_nStart <= from)
            from = it->m_nStart - std::int64_t{1};
        else
            --from;
    }
    return from >= floor ? from : floor - 1;
}

std::int32_t FirstChunkSize(std::int64_t limit)
{
    WalkCounters fresh;
    fresh.limit = limit;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(fresh.Room(), kSmallestChunk, kChunk));
}

std::int64_t WalkCounters::Room() const
{
    std::int64_t room = kMaxGoneInARow - goneInARow;
    if (limit != -1)
        room = std::min(room, limit - fetched);
    return std::max<std::int64_t>(room, 0);
}

// --- the header store ---

namespace {

// Answers a batch of this many numbers are written in one transaction: a
// kill loses at most one batch, and the writes stay a small part of the walk.
constexpr std::size_t kStoreBatch = 2000;
// Numbers of the stored records read at a time.
constexpr std::int64_t kStoreWindow = 8192;

} // namespace

StoredHeaders::StoredHeaders(HeaderStore* store, std::string server, std::string group, std::int64_t lo,
                             std::int64_t hi)
    : store_(store), server_(std::move(server)), group_(std::move(group))
{
    if (!store_)
        return;
    for (CReadSet r : store_->Covered(server_, group_)) {
        r.m_nStart = static_cast<std::int32_t>(std::max<std::int64_t>(r.m_nStart, lo));
        r.m_nEnd = static_cast<std::int32_t>(std::min<std::int64_t>(r.m_nEnd, hi));
        if (r.m_nStart <= r.m_nEnd)
            known_.push_back(r);
    }
    storedFrom_ = hi + 1;
}

HeaderRecord* StoredHeaders::Find(std::int32_t n)
{
    if (n < storedFrom_) {
        // The known numbers from n down to a window's size.
        std::int64_t from = n;
        for (auto it = known_.rbegin(); it != known_.rend(); ++it)
            if (it->m_nStart <= n) {
                from = std::max<std::int64_t>(it->m_nStart, std::int64_t{n} - kStoreWindow + 1);
                break;
            }
        if (!failed_) {
            stored_ = store_->Load(server_, group_, static_cast<std::int32_t>(from), n);
            // A store that could not be read answers for nothing more rather
            // than call its numbers gone.
            failed_ = stored_.empty() && !store_->LastError().empty();
        }
        storedFrom_ = from;
    }
    if (failed_)
        return nullptr;
    const auto it = std::lower_bound(stored_.begin(), stored_.end(), n,
                                     [](const HeaderRecord& r, std::int32_t v) { return r.number < v; });
    return it != stored_.end() && it->number == n ? &*it : nullptr;
}

void StoredHeaders::Took(std::int32_t n, const CArticle* article)
{
    if (!store_)
        return;
    if (article)
        taken_.push_back(RecordOf(*article, article->m_strReferences));
    // The walk goes down, so a run grows at its start.
    if (!takenNumbers_.empty() && takenNumbers_.back().m_nStart == n + 1)
        takenNumbers_.back().m_nStart = n;
    else
        takenNumbers_.emplace_back(n, n);
    if (++takenCount_ >= kStoreBatch)
        Flush();
}

void StoredHeaders::Flush()
{
    if (store_ && takenCount_ > 0)
        store_->Add(server_, group_, taken_, takenNumbers_);
    taken_.clear();
    takenNumbers_.clear();
    takenCount_ = 0;
}

// --- HEAD per article ---

HeadFeed::HeadFeed(net::CNntp& nntp, const FetchPlan& plan, const WalkCounters& counters)
    : nntp_(nntp), plan_(plan), counters_(counters), next_(plan.Hi()), window_(kFirstWindow)
{
}

void HeadFeed::StartAt(std::int64_t n)
{
    Finish();
    next_ = n;
}

void HeadFeed::SendAhead(std::int64_t n)
{
    // No more go ahead than could be needed before the read limit or the run
    // of gone articles stops the walk.
    const auto room = std::min<std::int64_t>(static_cast<std::int64_t>(window_), counters_.Room());
    while (static_cast<std::int64_t>(ahead_.size()) < room) {
        next_ = plan_.NextWanted(next_, n - kLookAhead);
        if (next_ < plan_.Lo() || next_ < n - kLookAhead || !nntp_.RoomAhead(static_cast<std::size_t>(room)))
            return;
        if (!nntp_.SendAhead("HEAD " + std::to_string(next_)))
            return;
        ahead_.push_back(static_cast<std::int32_t>(next_--));
    }
}

HeadFeed::Got HeadFeed::Receive(std::int32_t n, Reply& reply)
{
    reply = Reply{n, Answer::Skip, {}};
    const net::CNntp::Ahead a = nntp_.ReadAhead(true);
    window_ = std::min(window_ + 1, kMaxWindow);
    const int code = nntp_.ReplyCode();
    // Lost, not this article's, or a login wanted: asked again on its own.
    if (a == net::CNntp::Ahead::Lost || a == net::CNntp::Ahead::Mismatch || code == net::reply::AuthRequired)
        return Got::AskAgain;
    if (a == net::CNntp::Ahead::Failed)
        reply.answer = Answer::Refused;
    else if (code == net::reply::HeadFollows) {
        const std::string status = nntp_.LastReply();
        if (!ReadBlock(nntp_, reply.header))
            reply.answer = Answer::Refused;
        else if (!SameArticle(status, reply.header))
            return Got::AskAgain;
        else
            reply.answer = Answer::Header;
    } else {
        reply.answer = ByCode(code);
    }
    return Got::Answered;
}

Answer HeadFeed::AskOne(std::int32_t n, std::string& header)
{
    // What is still ahead is read and dropped first; it goes out again after.
    ahead_.clear();
    buffered_.reset();
    next_ = n - 1;
    if (nntp_.Head(n))
        return ReadBlock(nntp_, header) ? Answer::Header : Answer::Refused;
    return ByCode(nntp_.ReplyCode());
}

Answer HeadFeed::Take(std::int32_t n, std::string& header)
{
    Reply reply;
    if (buffered_ && buffered_->number == n) {
        reply = std::move(*buffered_);
        buffered_.reset();
    } else {
        buffered_.reset();
        SendAhead(n);
        // Nothing went ahead for it (the connection is gone): what did is dropped.
        if (ahead_.empty() || ahead_.front() != n)
            return AskOne(n, header);
        ahead_.pop_front();
        if (Receive(n, reply) == Got::AskAgain)
            return AskOne(n, header);
    }
    // A "no such article" names no article: it is only taken as this one's
    // once the reply after it proves the replies are in step.
    if (reply.answer == Answer::Gone && !ahead_.empty()) {
        const std::int32_t m = ahead_.front();
        ahead_.pop_front();
        Reply after;
        if (Receive(m, after) == Got::AskAgain)
            return AskOne(n, header);
        buffered_ = std::move(after);
    }
    header = std::move(reply.header);
    return reply.answer;
}

void HeadFeed::Finish()
{
    // Replies still on their way are read, so the connection stays in step
    // for the next command; their articles were not asked for by the walk.
    if (!ahead_.empty() || nntp_.CommandsAhead() > 0)
        nntp_.DrainAhead();
    ahead_.clear();
    buffered_.reset();
}

// --- the overview ---

HeaderFeed::HeaderFeed(net::CNntp& nntp, const FetchPlan& plan, const WalkCounters& counters, bool useOverview,
                       std::int64_t gaps, std::optional<OverAhead> early)
    : nntp_(nntp), plan_(plan), counters_(counters), heads_(nntp, plan, counters), overview_(useOverview),
      next_(plan.Hi()), arrived_(plan.Hi() + 1), gapsAllowed_(gaps)
{
    if (overview_) {
        support_ = nntp_.Overview();
        overview_ = support_.Usable() && nntp_.IsConnected();
        // Xref, where the overview lacks it, comes by HDR for the same range.
        needXref_ = overview_ && !support_.format.Has("Xref") && !support_.hdrCommand.empty();
    }
    if (early && !TakeEarly(*early) && nntp_.CommandsAhead() > 0)
        nntp_.DrainAhead();
}

bool HeaderFeed::TakeEarly(const OverAhead& early)
{
    // The chunk the walk would ask first, unless the guess missed: no new
    // articles, more than it asked for, a range that starts elsewhere, or
    // replies ahead that are not its alone.
    if (!overview_ || support_.overCommand != "OVER" || nntp_.CommandsAhead() != 1 || early.lo < plan_.Lo() ||
        early.lo > plan_.Hi() || plan_.Hi() > early.hi || plan_.UnknownFloor(plan_.Hi()) != early.lo)
        return false;
    const auto hi = static_cast<std::int32_t>(plan_.Hi());
    ahead_.push_back({Sent::Over, early.lo, hi, !needXref_, early.hi});
    if (needXref_) {
        if (!nntp_.SendAhead(support_.hdrCommand + " Xref " + std::to_string(early.lo) + "-" + std::to_string(hi)))
            return true; // the connection is gone: the walk finds out
        ahead_.push_back({Sent::Hdr, early.lo, hi, true});
    }
    next_ = early.lo - 1;
    return true;
}

Answer HeaderFeed::FallBack(std::int32_t n, std::string& header, const std::string& reason)
{
    fallback_ = reason;
    overview_ = false;
    records_.clear();
    texts_.clear();
    ahead_.clear();
    heads_.StartAt(n);
    nntp_.ReportStatus("overview given up for this group (%s): reading it by HEAD", reason.c_str());
    return heads_.Take(n, header);
}

void HeaderFeed::SendChunks()
{
    std::int64_t span = 0;
    for (const Sent& s : ahead_)
        if (s.kind == Sent::Over)
            span += s.hi - s.lo + 1;
    while (ahead_.size() < kChunksAhead * 2) {
        const std::int64_t room = counters_.Room() - span;
        if (room <= 0 && !ahead_.empty())
            return;
        const std::int64_t top = plan_.NextWanted(next_, plan_.Lo());
        if (top < plan_.Lo() || !nntp_.RoomAhead(kChunksAhead * 2 + 1))
            return;
        // The last chunk is a small one: it is what the walk still has to read
        // after the server's last line.
        const std::int64_t below = top - plan_.Bottom() + 1;
        const std::int64_t whole = below > kLastChunk ? std::min(kChunk, below - kLastChunk) : below;
        const std::int64_t size = std::clamp<std::int64_t>(std::min(room, whole), kSmallestChunk, kChunk);
        // A chunk stops where the store's numbers begin.
        const auto lo = static_cast<std::int32_t>(std::max(plan_.UnknownFloor(top), top - size + 1));
        const auto hi = static_cast<std::int32_t>(top);
        const std::string range = " " + std::to_string(lo) + "-" + std::to_string(hi);
        if (!nntp_.SendAhead(support_.overCommand + range))
            return;
        ahead_.push_back({Sent::Over, lo, hi, !needXref_});
        if (needXref_) {
            if (!nntp_.SendAhead(support_.hdrCommand + " Xref" + range))
                return;
            ahead_.push_back({Sent::Hdr, lo, hi, true});
        }
        span += hi - lo + 1;
        next_ = lo - 1;
    }
}

HeaderFeed::Got HeaderFeed::ReadOver(const Sent& s)
{
    const int code = nntp_.ReplyCode();
    if (code != net::reply::OverviewFollows) {
        if (net::reply::ArticleGone(code) || code == net::reply::NoCurrentArticle)
            return Got::Ok; // none of the range is left
        // A server that will not give this group's overview may still give its heads.
        return code >= net::reply::FirstPermanentError ? Got::Unfit : Got::Refused;
    }
    std::string line;
    std::int64_t previous = s.lo - 1, lines = 0;
    bool fits = true;
    chunk_.clear();
    std::string& text = texts_.emplace_back();
    if (!spare_.empty()) {
        text.swap(spare_.back());
        spare_.pop_back();
        text.clear();
    }
    for (int r; (r = nntp_.ReadDataLine(line)) != 0;) {
        if (r < 0)
            return Got::Refused;
        // A line that does not parse, a number outside the range or out of
        // order: this overview cannot be trusted to say which articles exist.
        if (!fits || !net::ParseOverviewLine(line, support_.format, parsed_) || parsed_.number <= previous ||
            parsed_.number > s.asked) {
            fits = false;
            continue;
        }
        if (parsed_.number > s.hi)
            continue;
        previous = parsed_.number;
        chunk_.push_back({parsed_.number, &text, text.size(), parsed_.header.size(), {}});
        text += parsed_.header;
        ++lines;
    }
    records_.insert(records_.end(), std::make_move_iterator(chunk_.rbegin()), std::make_move_iterator(chunk_.rend()));
    chunk_.clear();
    gapsSeen_ += s.hi - s.lo + 1 - lines;
    return fits ? Got::Ok : Got::Unfit;
}

HeaderFeed::Got HeaderFeed::ReadHdr(const Sent& s)
{
    // Without Xref the crossposts go by Message-ID; nothing else is lost.
    if (!net::reply::DataFollows(nntp_.ReplyCode()))
        return net::reply::RefusesService(nntp_.ReplyCode()) && nntp_.ReplyCode() < 500 ? Got::Refused : Got::Ok;
    std::string line, value;
    std::int32_t number = 0;
    for (int r; (r = nntp_.ReadDataLine(line)) != 0;) {
        if (r < 0)
            return Got::Refused;
        if (!net::ParseHeaderLine(line, number, value) || number < s.lo || number > s.hi || value.empty())
            continue;
        const auto it = std::lower_bound(records_.begin(), records_.end(), number,
                                         [](const Record& r, std::int32_t v) { return r.number > v; });
        if (it != records_.end() && it->number == number && it->xref.empty() &&
            std::string_view(*it->text).substr(it->at, it->size).find("\r\nXref:") == std::string_view::npos)
            it->xref = "Xref: " + value + "\r\n";
    }
    return Got::Ok;
}

HeaderFeed::Got HeaderFeed::AskChunkOne(const Sent& s)
{
    // Everything still ahead is read and dropped by the ordinary command; the
    // chunks below go out again after it.
    ahead_.clear();
    next_ = s.lo - 1;
    const std::string range = " " + std::to_string(s.lo) + "-" + std::to_string(s.hi);
    Got got = Got::Ok;
    if (nntp_.DataCommand(support_.overCommand + range, net::reply::OverviewFollows) || nntp_.IsConnected())
        got = ReadOver(s);
    else
        return Got::Refused;
    if (got == Got::Ok && needXref_) {
        const int dataCode = support_.hdrCommand == "HDR" ? net::reply::HeadersFollow : net::reply::HeadFollows;
        if (nntp_.DataCommand(support_.hdrCommand + " Xref" + range, dataCode) || nntp_.IsConnected())
            got = ReadHdr(s);
        else
            got = Got::Refused;
    }
    if (got == Got::Ok)
        arrived_ = s.lo;
    return got;
}

HeaderFeed::Got HeaderFeed::ReadNext(std::string* headHeader, Answer* headAnswer)
{
    const Sent s = ahead_.front();
    ahead_.pop_front();
    const net::CNntp::Ahead a = nntp_.ReadAhead(true);
    const int code = nntp_.ReplyCode();
    if (a == net::CNntp::Ahead::Failed)
        return Got::Refused;
    if (a == net::CNntp::Ahead::Lost || a == net::CNntp::Ahead::Mismatch || code == net::reply::AuthRequired) {
        if (s.kind == Sent::Head)
            return Got::AskAgain;
        // The chunk this command belongs to is asked again whole.
        return AskChunkOne(s);
    }
    Got got = Got::Ok;
    switch (s.kind) {
    case Sent::Over:
        got = ReadOver(s);
        break;
    case Sent::Hdr:
        got = ReadHdr(s);
        break;
    case Sent::Head:
        if (code == net::reply::HeadFollows)
            *headAnswer = ReadBlock(nntp_, *headHeader) ? Answer::Header : Answer::Refused;
        else
            *headAnswer = ByCode(code);
        break;
    }
    if (got == Got::Ok && s.closesChunk)
        arrived_ = s.lo;
    return got;
}

Answer HeaderFeed::CheckGap(std::int32_t n, std::string& header)
{
    // The first number a group's overview lacks is asked by HEAD, behind the
    // chunks already ahead: when the server still has it, the overview is
    // incomplete and is given up for the group.
    Answer answer = Answer::Skip;
    bool asked = false;
    if (nntp_.RoomAhead(kChunksAhead * 2 + 1) && nntp_.SendAhead("HEAD " + std::to_string(n))) {
        ahead_.push_back({Sent::Head, n, n, false});
        while (!ahead_.empty()) {
            const bool head = ahead_.front().kind == Sent::Head;
            const Got got = ReadNext(&header, &answer);
            if (got == Got::Refused)
                return Answer::Refused;
            if (got == Got::Unfit)
                return FallBack(n, header, "a line that does not parse or lies outside its range");
            if (head) {
                asked = got == Got::Ok;
                break;
            }
        }
    }
    if (!asked) {
        ahead_.clear();
        next_ = arrived_ - 1;
        answer = nntp_.Head(n) ? (ReadBlock(nntp_, header) ? Answer::Header : Answer::Refused)
                               : ByCode(nntp_.ReplyCode());
    }
    if (answer == Answer::Header)
        return FallBack(n, header, "an article the overview lacks");
    if (answer == Answer::Gone)
        gapsExplained_ = true;
    return answer;
}

Answer HeaderFeed::Take(std::int32_t n, std::string& header)
{
    if (!overview_)
        return heads_.Take(n, header);
    while (n < arrived_) {
        SendChunks();
        if (ahead_.empty()) {
            if (!nntp_.IsConnected())
                return Answer::Refused;
            // Nothing could go ahead: the chunk is asked on its own.
            const std::int64_t top = plan_.NextWanted(next_, plan_.Lo());
            const Sent s{Sent::Over, static_cast<std::int32_t>(std::max(plan_.UnknownFloor(top), top - kChunk + 1)),
                         static_cast<std::int32_t>(top), true};
            const Got got = AskChunkOne(s);
            if (got == Got::Refused)
                return Answer::Refused;
            if (got == Got::Unfit)
                return FallBack(n, header, "a chunk that does not fit");
            continue;
        }
        const Got got = ReadNext(nullptr, nullptr);
        if (got == Got::Refused)
            return Answer::Refused;
        if (got == Got::Unfit)
            return FallBack(n, header, "a line that does not parse or lies outside its range");
    }
    // Headers above n belong to numbers the walk passed (read or listed).
    while (!records_.empty() && records_.front().number > n)
        records_.pop_front();
    if (!records_.empty() && records_.front().number == n) {
        const Record& r = records_.front();
        header.assign(*r.text, r.at, r.size);
        header += r.xref;
        records_.pop_front();
        DropTaken();
        return Answer::Header;
    }
    DropTaken();
    // Gaps the group's count accounts for are taken as gone; beyond that (or
    // with no count, the first) each is asked.
    if (gapsAllowed_ >= 0 ? gapsSeen_ <= gapsAllowed_ : gapsExplained_)
        return Answer::Gone;
    return CheckGap(n, header);
}

void HeaderFeed::DropTaken()
{
    while (!texts_.empty() && (records_.empty() || records_.front().text != &texts_.front())) {
        if (spare_.size() < kChunksAhead * 2)
            spare_.push_back(std::move(texts_.front()));
        texts_.pop_front();
    }
}

void HeaderFeed::Finish()
{
    if (!ahead_.empty() || nntp_.CommandsAhead() > 0)
        nntp_.DrainAhead();
    ahead_.clear();
    records_.clear();
    texts_.clear();
    heads_.Finish();
}

} // namespace news::detail
