// Opening a group, fetching its article headers, and its read state.
#include "message/HeaderFields.h"
#include "net/NntpReply.h"
#include "news/ArticleFeed.h"
#include "news/DocumentGuards.h"
#include "news/LumeDoc.h"
#include "platform/Registry.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <unordered_set>
#include <utility>

namespace news {

namespace {

class FetchDepth {
public:
    explicit FetchDepth(int& depth) : depth_(depth) { ++depth_; }
    ~FetchDepth() { --depth_; }
    FetchDepth(const FetchDepth&) = delete;
    FetchDepth& operator=(const FetchDepth&) = delete;

private:
    int& depth_;
};

} // namespace

CNewsGroup* CLumeDoc::SetCurrentGroup(CNewsGroup* group)
{
    CNewsGroup* previous = m_pCurrentGroup;
    if (busy_) {
        // The running fetch reads and marks this group's read list.
        Refuse();
        return previous;
    }
    StoreCurrentReadList();
    m_pCurrentGroup = group;
    groupGaps_ = -1;
    readList_.Parse(group ? group->m_strReadList : std::string());
    return previous;
}

void CLumeDoc::ClearArticles()
{
    if (fetchDepth_ > 0)
        return;
    articles_.clear();
}

void CLumeDoc::MarkArticleRead(int n)
{
    const auto it = std::find_if(articles_.begin(), articles_.end(),
                                 [n](const auto& a) { return a->m_nNumber == n; });
    if (it != articles_.end()) {
        MarkArticle(**it, true);
        return;
    }
    readList_.Add(n);
    StoreCurrentReadList();
    SetModifiedFlag(true);
    UpdateAllViews(nullptr, Hint::ReadMarks);
}

void CLumeDoc::MarkArticle(CArticle& article, bool read)
{
    if (read)
        readList_.Add(article.m_nNumber);
    else
        readList_.Remove(article.m_nNumber);
    StoreCurrentReadList();
    SetModifiedFlag(true);
    MarkCrossposts(article, read);
    UpdateAllViews(nullptr, Hint::ReadMarks);
}

void CLumeDoc::MarkCrossposts(CArticle& article, bool read)
{
    if (!read)
        article.m_bRead = false;
    // Groups outside the Xref (or a server without it) go by Message-ID
    // when their headers are fetched.
    if (!article.m_strMessageID.empty()) {
        if (read)
            readIds_.insert(article.m_strMessageID);
        else
            readIds_.erase(article.m_strMessageID);
    }
    for (const auto& [name, number] : ParseXref(article.m_strXref)) {
        CNewsGroup* group = groups_.Find(name);
        if (!group || group == m_pCurrentGroup)
            continue;
        CReadList marks;
        marks.Parse(group->m_strReadList);
        if (read == marks.IsRead(number) || !(read ? marks.Add(number) : marks.Remove(number)))
            continue;
        group->m_strReadList.clear();
        marks.Format(group->m_strReadList, true);
    }
}

bool CLumeDoc::OpenCurrentGroup()
{
    if (!m_pCurrentGroup)
        return false;
    BusyLock lock(*this);
    if (!lock)
        return false;
    if (!IsConnected())
        return false;
    CNewsGroup& group = *m_pCurrentGroup;
    SendOpeningAhead(group);
    int first = 1, last = 0;
    bool hasUnread = false;
    if (!OpenGroupLocked(group, first, last, hasUnread)) {
        openingAhead_ = false;
        overAheadLo_ = overAheadHi_ = 0;
        DropArticlesAhead();
        return false;
    }
    TrimStoredGroup(group, first, last);
    ClearArticles();
    const int limit = config_.nMaxReadArtcleCount < 0 ? -1 : config_.nMaxReadArtcleCount;
    const bool result = FetchArticlesLocked(first, last, config_.bShowOldArticle, limit);
    if (!result) {
        ClearArticles();
        StoreCurrentReadList();
        m_pCurrentGroup = nullptr;
        readList_.RemoveAll();
        currentArticle_ = -1;
        UpdateAllViews(nullptr, Hint::Group);
    }
    return result;
}

void CLumeDoc::SendOpeningAhead(const CNewsGroup& group)
{
    // GROUP, the overview's format when this session has not read it yet,
    // and the overview above what the store holds go out together: reopening
    // a group takes one round trip. The OVER is a guess at the range GROUP
    // will give; the walk drops its reply when it missed.
    DropArticlesAhead();
    openingAhead_ = false;
    overAheadLo_ = overAheadHi_ = 0;
    if (!nntp_.SendGroupAhead(group.m_strName))
        return;
    openingAhead_ = true;
    if (!OverviewWanted())
        return;
    const std::string over = nntp_.SendOverviewAhead();
    HeaderStore* store = Store();
    if (over != "OVER" || !store || !nntp_.RoomAhead(4))
        return;
    const std::vector<CReadSet> covered = store->Covered(StoreServer(), group.m_strName);
    // As many numbers as the walk's own first chunk would span.
    const std::int32_t span = detail::FirstChunkSize(config_.nMaxReadArtcleCount < 0 ? -1 : config_.nMaxReadArtcleCount);
    if (covered.empty() || covered.back().m_nEnd > INT32_MAX - span)
        return;
    const std::int32_t lo = covered.back().m_nEnd + 1, hi = covered.back().m_nEnd + span;
    if (nntp_.SendAhead("OVER " + std::to_string(lo) + "-" + std::to_string(hi))) {
        overAheadLo_ = lo;
        overAheadHi_ = hi;
    }
}

bool CLumeDoc::OpenGroup(CNewsGroup& group, int& first, int& last, bool& hasUnread)
{
    BusyLock lock(*this);
    if (!lock)
        return false;
    return OpenGroupLocked(group, first, last, hasUnread);
}

bool CLumeDoc::OpenGroupLocked(CNewsGroup& group, int& first, int& last, bool& hasUnread)
{
    // An empty range unless the server gives one: a refused GROUP fetches nothing.
    first = 1;
    last = 0;
    hasUnread = false;
    std::string reply;
    int count = 0, f = 0, l = 0;
    if (nntp_.Group(group.m_strName, reply, count, f, l)) {
        f = std::max(f, 0);
        l = std::max(l, 0);
        group.m_nFirst = first = f;
        group.m_nLast = last = l;
        groupGaps_ = l >= f ? std::max<std::int64_t>(std::int64_t{l} - f + 1 - count, 0) : 0;
        CReadList marks;
        marks.Parse(group.m_strReadList);
        marks.CountUnread(f, l);
        marks.Format(group.m_strReadList, true);
        hasUnread = marks.HasUnreadIn(f, l);
        return true;
    }
    if (nntp_.ReplyCode() == net::reply::NoSuchGroup) {
        ReportError(host_, msg::GroupNotFound, {group.m_strName});
        group.m_bSubscribed = false;
        return true;
    }
    ReportServerFailure(msg::ServerFailed);
    return false;
}

void CLumeDoc::UseHeaderStore(std::filesystem::path file)
{
    store_.Close();
    storePath_ = std::move(file);
    storeTried_ = false;
}

HeaderStore* CLumeDoc::Store()
{
    if (storePath_.empty())
        return nullptr;
    if (!storeTried_) {
        storeTried_ = true;
        if (!store_.Open(storePath_)) {
            nntp_.ReportStatus("header store %s not opened (%s): every header comes from the server",
                               storePath_.c_str(), store_.LastError().c_str());
            return nullptr;
        }
        if (!store_.SetAsideReason().empty())
            nntp_.ReportStatus("header store %s set aside and made anew: %s", storePath_.c_str(),
                               store_.SetAsideReason().c_str());
        const platform::Registry& reg = registry_;
        store_.Expire(static_cast<std::int64_t>(std::time(nullptr)), HeaderStoreExpiryDays(reg));
    }
    return store_.IsOpen() ? &store_ : nullptr;
}

std::string CLumeDoc::StoreServer() const
{
    return HeaderStore::ServerKey(config_.strNntpServer, config_.nNntpPort);
}

void CLumeDoc::TrimStoredGroup(const CNewsGroup& group, std::int64_t first, std::int64_t last)
{
    HeaderStore* store = Store();
    // An empty range, or a group the server does not know, leaves the store as it is.
    if (!store || last < first || last < 1)
        return;
    const std::string server = StoreServer();
    store->Touch(server, group.m_strName, static_cast<std::int64_t>(std::time(nullptr)));
    store->DropBelow(server, group.m_strName, static_cast<std::int32_t>(std::max<std::int64_t>(first, 1)));
    store->DropAbove(server, group.m_strName, static_cast<std::int32_t>(std::min<std::int64_t>(last, INT32_MAX)));
}

bool CLumeDoc::FetchArticles(int lo, int hi, bool includeRead, int limit)
{
    BusyLock lock(*this);
    if (!lock)
        return false;
    return FetchArticlesLocked(lo, hi, includeRead, limit);
}

bool CLumeDoc::FetchArticlesLocked(std::int64_t lo, std::int64_t hi, bool includeRead, std::int64_t limit)
{
    FetchDepth depth(fetchDepth_);
    // What opening the group sent ahead is read by the walk; anything else is dropped.
    std::optional<detail::OverAhead> early;
    if (overAheadLo_ > 0)
        early = detail::OverAhead{std::exchange(overAheadLo_, 0), std::exchange(overAheadHi_, 0)};
    if (!std::exchange(openingAhead_, false))
        DropArticlesAhead();
    HeaderStore* store = m_pCurrentGroup ? Store() : nullptr;
    detail::StoredHeaders stored(store, store ? StoreServer() : std::string(),
                                 store ? m_pCurrentGroup->m_strName : std::string(), lo, hi);
    const detail::FetchPlan plan(lo, hi, includeRead, readList_, ListedNumbers(), stored.Known());
    ProgressScope progress(host_, kProgressDelayMs, msg::ReadingArticleList);
    if (!progress)
        return false;
    progress->SetTotal(plan.Total());
    detail::WalkCounters counters;
    counters.limit = limit;
    detail::HeaderFeed feed(nntp_, plan, counters, OverviewWanted(), groupGaps_, early);
    PrepareScores();
    const WalkEnd end = WalkArticles(plan, feed, stored, counters, *progress.operator->());
    feed.Finish();
    // What came before a Cancel or a refusal stays stored.
    stored.Flush();
    ScoreList();
    if (!feed.FallbackReason().empty() && m_pCurrentGroup)
        headOnlyGroups_.insert(m_pCurrentGroup->m_strName);
    return ReportWalkEnd(end);
}

std::vector<std::int32_t> CLumeDoc::ListedNumbers() const
{
    std::vector<std::int32_t> listed;
    listed.reserve(articles_.size());
    for (const auto& a : articles_)
        listed.push_back(a->m_nNumber);
    std::sort(listed.begin(), listed.end());
    return listed;
}

bool CLumeDoc::OverviewWanted() const
{
    // A group whose overview did not fit is read by HEAD for the rest of the run.
    return useOverview_ && !(m_pCurrentGroup && headOnlyGroups_.count(m_pCurrentGroup->m_strName));
}

// The articles from the plan's top down, each decided as asking one at a
// time would: gone ones count as read, the read limit asks with dialog 135,
// a long run of gone ones or a refusal of service ends the walk.
CLumeDoc::WalkEnd CLumeDoc::WalkArticles(const detail::FetchPlan& plan, detail::HeaderFeed& feed,
                                         detail::StoredHeaders& stored, detail::WalkCounters& counters,
                                         DocumentProgress& progress)
{
    std::string text, header;
    std::int64_t i = 0;
    for (std::int64_t n = plan.Hi(); n >= plan.Lo(); --n, ++i) {
        if (host_)
            host_->PumpEvents();
        if (progress.Cancelled())
            return WalkEnd::Cancelled;
        text = std::to_string(i);
        text += '/';
        text += std::to_string(plan.Total());
        progress.SetMessage(text);
        progress.SetPosition(i);

        const auto number = static_cast<std::int32_t>(n);
        const bool read = readList_.IsRead(number);
        if (read && !plan.IncludeRead()) {
            // The rest of its read range in one step: a group of millions
            // of read numbers is passed as quickly as a small one.
            const std::int64_t first = std::max<std::int64_t>(readList_.ReadRunStart(number), plan.Lo());
            i += n - first;
            n = first;
            continue;
        }
        if (plan.Listed(number))
            continue;
        // The store answers as the server did when the header was fetched.
        std::unique_ptr<CArticle> article;
        detail::Answer answer;
        HeaderRecord* record = nullptr;
        if (plan.Known(number) && ((record = stored.Find(number)) || !stored.Failed())) {
            answer = record ? detail::Answer::Header : detail::Answer::Gone;
            if (record)
                article = std::make_unique<CArticle>(ArticleOf(std::move(*record)));
        } else {
            answer = feed.Take(number, header);
            if (answer == detail::Answer::Header)
                article = ParseArticle(number, header);
            if (answer == detail::Answer::Header || answer == detail::Answer::Gone)
                stored.Took(number, article.get());
        }
        switch (answer) {
        case detail::Answer::Gone:
            readList_.Add(number);
            if (++counters.goneInARow >= detail::kMaxGoneInARow)
                return WalkEnd::GoneRun;
            continue;
        case detail::Answer::Refused:
            return WalkEnd::Refused;
        case detail::Answer::Skip:
            continue;
        case detail::Answer::Header:
            break;
        }
        AddArticle(std::move(article), read);
        counters.goneInARow = 0;
        ++counters.fetched;
        if (!read)
            ++counters.unread;
        if (!MayReadMore(counters))
            break;
    }
    return WalkEnd::Done;
}

bool CLumeDoc::MayReadMore(detail::WalkCounters& counters)
{
    if (counters.limit == -1 || counters.fetched < counters.limit)
        return true;
    if (counters.unread < counters.limit)
        return false;
    int more = static_cast<int>(std::min<std::int64_t>(counters.limit, INT_MAX));
    if (!host_ || host_->AskReadLimit(more) != IDYES || more < 1)
        return false;
    counters.limit += more;
    return true;
}

bool CLumeDoc::ReportWalkEnd(WalkEnd end)
{
    switch (end) {
    case WalkEnd::Refused:
        ReportServerFailure(msg::ServerFailed);
        return false;
    case WalkEnd::GoneRun:
        if (host_)
            host_->ShowMessageText("The server has none of the last " + std::to_string(detail::kMaxGoneInARow) +
                                       " articles; the rest of the range was not read.",
                                   MessageIcon::Information);
        return true;
    case WalkEnd::Cancelled:
        return false;
    case WalkEnd::Done:
        break;
    }
    return true;
}

std::unique_ptr<CArticle> CLumeDoc::ParseArticle(std::int32_t n, const std::string& header)
{
    enum { References, InReplyTo, MessageId, Date, Xref, Subject, From, Lines, Bytes, kFields };
    static constexpr std::string_view kNames[kFields] = {"References:", "In-Reply-To:", "Message-ID:",
                                                         "Date:",       "Xref:",        "Subject:",
                                                         "From:",       "Lines:",       "Bytes:"};
    // Every article of a group passes here: the header is scanned once.
    std::size_t at[kFields];
    message::LocateHeaderFields(header, kNames, kFields, at);
    // Each value is made once and moved into the article.
    auto field = [&](int f, bool decode) {
        std::string value;
        if (at[f] != std::string::npos)
            message::ScanHeaderField(header, kNames[f], at[f], decode, value);
        return value;
    };
    auto article = std::make_unique<CArticle>();
    article->m_nNumber = n;
    article->m_strReferences = CArticle::ThreadChain(field(References, false), field(InReplyTo, false));
    article->m_strParentID = CArticle::LastOfChain(article->m_strReferences);
    article->m_strMessageID = CArticle::FromLastAngle(field(MessageId, true));
    if (const std::string date = field(Date, true); !date.empty())
        article->m_timeDate = message::ParseDate(date);
    article->m_strXref = field(Xref, true);
    article->m_strSubject = field(Subject, true);
    article->m_strFrom = field(From, true);
    article->m_nLines = std::atoll(field(Lines, false).c_str());
    article->m_nBytes = std::atoll(field(Bytes, false).c_str());
    return article;
}

void CLumeDoc::AddArticle(std::int32_t n, bool read, const std::string& header)
{
    AddArticle(ParseArticle(n, header), read);
}

// The one place an article becomes an entry of the list, whether its header
// came by HEAD, from the overview or from the store.
void CLumeDoc::AddArticle(std::unique_ptr<CArticle> article, bool read)
{
    article->m_bRead = read;
    if (!read && !article->m_strMessageID.empty() && readIds_.count(article->m_strMessageID)) {
        // Read already under another group this session.
        article->m_bRead = true;
        readList_.Add(article->m_nNumber);
        SetModifiedFlag(true);
    }
    ScoreArrival(*article);
    articles_.push_back(std::move(article));
}

void CLumeDoc::Reload()
{
    if (!m_pCurrentGroup)
        return;
    BusyLock lock(*this);
    if (!lock)
        return;
    if (!IsConnected())
        return;
    CNewsGroup& group = *m_pCurrentGroup;
    // The range the group was opened with may be old (articles posted since):
    // the server's current answer counts.
    int start = 0, end = 0;
    bool hasUnread = false;
    if (!OpenGroupLocked(group, start, end, hasUnread) || m_pCurrentGroup != &group)
        return;
    start = group.m_nFirst;
    end = group.m_nLast;
    if (!host_ || host_->AskReloadRange(start, end) != IDOK)
        return;
    if (start < group.m_nFirst)
        start = group.m_nFirst;
    if (end > group.m_nLast || end < 1)
        end = group.m_nLast;
    if (!FetchArticlesLocked(start, end, false, -1))
        ClearArticles();
    lock.Release();
    UpdateAllViews(nullptr, Hint::Group);
}

} // namespace news
